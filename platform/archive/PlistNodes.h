// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// Reading and walking libplist trees. (Looking an array item up by index walks the array from
// its start, so every loop over a container goes through these.)
class PlistNodes
{
public:
    // The tree of an XML property list, or null when it is not one; the caller frees it. Real
    // numbers are read the same under every locale (libplist reads them with the C library's
    // number functions, which follow the locale: under a decimal comma "12.25" would be 12).
    static void* fromXml(const QByteArray& text);
    static std::vector<void*> arrayItems(void* array);
    static std::vector<std::pair<QByteArray, void*>> dictItems(void* dict);
    static QString stringValue(void* node);
    // Whether `node` is a string node holding exactly `text`.
    static bool stringEquals(void* node, const char* text);
    // Scalars; each expects a node of its own type. Integers are read as the signed 64-bit
    // numbers that archives hold.
    static int64_t integerValue(void* node);
    static double realValue(void* node);
    static bool boolValue(void* node);
    // Replaces every reference (UID) inside `node` by map(old value), in document order.
    static void mapReferences(void* node, const std::function<uint64_t(uint64_t)>& map);
};
