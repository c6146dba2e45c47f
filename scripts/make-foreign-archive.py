#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a recordings archive the way another keyed-archive producer lays it out, for the
loader's tests: NSMutableArray root, NSDate dates, NSMutableString and NSString strings, and a
location object of a class the program does not know (with a nested object of its own).

Usage: make-foreign-archive.py OUT_RECORDINGS_PLIST OUT_CATEGORIES_PLIST
"""
import plistlib
import sys
from plistlib import UID


def build_recordings():
    objects = ["$null"]

    def add(obj):
        objects.append(obj)
        return UID(len(objects) - 1)

    def reserve():
        objects.append(None)
        return len(objects) - 1

    root_index = reserve()
    array_class = add({"$classname": "NSMutableArray",
                       "$classes": ["NSMutableArray", "NSArray", "NSObject"]})
    recording_class = add({"$classname": "Recording", "$classes": ["Recording", "NSObject"]})
    date_class = add({"$classname": "NSDate", "$classes": ["NSDate", "NSObject"]})
    mstring_class = add({"$classname": "NSMutableString",
                         "$classes": ["NSMutableString", "NSString", "NSObject"]})
    location_class = add({"$classname": "CLLocation", "$classes": ["CLLocation", "NSObject"]})
    timestamp = add({"NS.time": 260000000.5, "$class": date_class})
    location = add({
        "$class": location_class,
        "kCLLocationCodingKeyCoordinateLatitude": 37.331689,
        "kCLLocationCodingKeyCoordinateLongitude": -122.030731,
        "kCLLocationCodingKeyAltitude": 12.0,
        "kCLLocationCodingKeyHorizontalAccuracy": 65.0,
        "kCLLocationCodingKeyTimestamp": timestamp,
    })

    first = add({
        "$class": recording_class,
        "fileName": add("REC20090415093012.wav"),
        "name": add({"NS.string": "Interview mit Jürgen", "$class": mstring_class}),
        "date": add({"NS.time": 261480612.0, "$class": date_class}),
        "duration": 125.25,
        "category": add("Interviews"),
        "location": location,
        "locationString": add("Cupertino CA 95014 US"),
        "quality": add("MQ"),
        "channels": 1,
        "playtime": 12.5,
        "hideweb": True,
    })
    # An older record: no location, no channels, playtime or hideweb keys.
    second = add({
        "$class": recording_class,
        "fileName": add("REC20090416101500.wav"),
        "name": add("Groceries"),
        "date": add({"NS.time": 261570900.0, "$class": date_class}),
        "duration": 7,
        "category": add("*****"),
        "location": UID(0),
        "locationString": UID(0),
        "quality": add("LQ"),
    })
    objects[root_index] = {"NS.objects": [first, second], "$class": array_class}
    return {"$version": 100000, "$archiver": "NSKeyedArchiver",
            "$top": {"root": UID(root_index)}, "$objects": objects}


def build_categories():
    objects = ["$null"]

    def add(obj):
        objects.append(obj)
        return UID(len(objects) - 1)

    category_class = add({"$classname": "Category", "$classes": ["Category", "NSObject"]})
    items = [add({"$class": category_class, "name": add(name)})
             for name in ["*****", "Interviews", "Groceries & Errands"]]
    array_class = add({"$classname": "NSArray", "$classes": ["NSArray", "NSObject"]})
    root = add({"NS.objects": items, "$class": array_class})
    return {"$version": 100000, "$archiver": "NSKeyedArchiver",
            "$top": {"root": root}, "$objects": objects}


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        plistlib.dump(build_recordings(), f, fmt=plistlib.FMT_BINARY, sort_keys=False)
    with open(sys.argv[2], "wb") as f:
        plistlib.dump(build_categories(), f, fmt=plistlib.FMT_BINARY, sort_keys=False)
