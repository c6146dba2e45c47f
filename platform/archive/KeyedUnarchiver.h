// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/archive/ArchivedObject.h"
#include "platform/archive/BinaryPropertyList.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// Reads a keyed archive (binary or XML property list) whose root object is an array. Each
// element is handed to a callback with its class name; the callback reads the element's keys
// through the decode functions. Reading is defensive: references out of range, entries of the
// wrong type and reference cycles decode as absent values instead of failing, and values of a
// related type (an integer where a real is expected, a mutable string entry) are accepted.
//
// A binary property list may name one container from several places, so a few hundred bytes can
// describe a foreign object that expands to millions of values once copied. The copies are
// bounded (see kMaxForeignNodes and kMaxForeignBytes); an archive that goes past the bound makes
// the unarchiver invalid, and the caller treats it as any other unreadable archive.
class KeyedUnarchiver
{
public:
    explicit KeyedUnarchiver(const QByteArray& data);
    ~KeyedUnarchiver();
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

    // False when the data is not a keyed archive with an array at its root.
    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    // The largest file accepted as an archive.
    static constexpr qsizetype kMaxArchiveSize = 512 * 1024 * 1024;

    // The most values (containers and the values in them) and the most bytes of text and data
    // one foreign object graph may expand to when it is copied: a real location object has a few
    // dozen values. All the foreign objects of an archive together may expand to no more than
    // these plus one value and one byte per byte of the archive, which an archive whose
    // containers each appear in one place never exceeds.
    static constexpr uint64_t kMaxForeignNodes = 10000;
    static constexpr uint64_t kMaxForeignBytes = 1024 * 1024;

    // Calls `element` for every element of the root array, in order, with its class name; an
    // element that is not a decodable archived object (no class, a class reference out of range,
    // a class name that is not a string) gets an empty name and no readable keys. Returns the
    // number of elements visited. Stops early when a foreign object goes past the bounds above,
    // after which isValid() is false.
    int decodeRootArray(const std::function<void(const QString& className)>& element);

    // Reads a key of the element currently being decoded.
    bool containsValueForKey(const char* key) const;
    QString decodeString(const char* key) const; // null string when absent or not a string
    QDateTime decodeDate(const char* key) const; // invalid when absent or not a date
    double decodeDouble(const char* key) const;  // 0 when absent
    float decodeFloat(const char* key) const;
    int32_t decodeInt32(const char* key) const;
    bool decodeBool(const char* key) const;
    QByteArray decodeData(const char* key) const; // empty when absent or not data
    // Null when absent, and when the object's graph goes past the bounds (the unarchiver is
    // then invalid).
    ArchivedObject::Ptr decodeObject(const char* key);

private:
    using Index = BinaryPropertyList::Index;
    Index value(const char* key) const;
    Index resolve(Index node) const; // follows a reference; kNone for $null or invalid
    QString stringFromEntry(Index entry) const;
    QString classNameOf(Index entry) const;
    ArchivedObject::Ptr foreignObject(uint64_t index, int depth);
    // A libplist copy of `object` in which every reference is renumbered by its place among
    // the references met so far; the original values are appended to `refs`. Null once the copy
    // goes past the bounds.
    void* plistCopy(Index object, std::vector<uint64_t>& refs);
    // Counts one copied value of `bytes` bytes against the bounds; false (with the error set)
    // when that goes past them.
    bool spend(uint64_t bytes);

    // Binary archives are read in place; XML archives are converted to the binary form first.
    BinaryPropertyList m_plist;
    Index m_objects = BinaryPropertyList::kNone;
    uint64_t m_objectCount = 0;
    Index m_current = BinaryPropertyList::kNone;
    QString m_error;
    mutable QHash<Index, QString> m_classNames; // class names by class entry
    QHash<uint64_t, ArchivedObject::Ptr> m_foreign;
    std::vector<uint64_t> m_foreignPath; // references being copied, for cycle detection
    // What the foreign object being decoded and all foreign objects so far have expanded to.
    uint64_t m_objectNodes = 0;
    uint64_t m_objectBytes = 0;
    uint64_t m_totalNodes = 0;
    uint64_t m_totalBytes = 0;
    uint64_t m_archiveBytes = 0;
};
