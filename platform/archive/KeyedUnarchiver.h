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

    // Calls `element` for every element of the root array, in order, with its class name; an
    // element that is not a decodable archived object (no class, a class reference out of range,
    // a class name that is not a string) gets an empty name and no readable keys. Returns the
    // number of elements visited.
    int decodeRootArray(const std::function<void(const QString& className)>& element);

    // Reads a key of the element currently being decoded.
    bool containsValueForKey(const char* key) const;
    QString decodeString(const char* key) const; // null string when absent or not a string
    QDateTime decodeDate(const char* key) const; // invalid when absent or not a date
    double decodeDouble(const char* key) const;  // 0 when absent
    float decodeFloat(const char* key) const;
    int32_t decodeInt32(const char* key) const;
    bool decodeBool(const char* key) const;
    QByteArray decodeData(const char* key) const;      // empty when absent or not data
    ArchivedObject::Ptr decodeObject(const char* key); // null when absent

private:
    using Index = BinaryPropertyList::Index;
    Index value(const char* key) const;
    Index resolve(Index node) const; // follows a reference; kNone for $null or invalid
    QString stringFromEntry(Index entry) const;
    QString classNameOf(Index entry) const;
    ArchivedObject::Ptr foreignObject(uint64_t index, int depth);
    // A libplist copy of `object` in which every reference is renumbered by its place among
    // the references met so far; the original values are appended to `refs`.
    void* plistCopy(Index object, std::vector<uint64_t>& refs) const;

    // Binary archives are read in place; XML archives are converted to the binary form first.
    BinaryPropertyList m_plist;
    Index m_objects = BinaryPropertyList::kNone;
    uint64_t m_objectCount = 0;
    Index m_current = BinaryPropertyList::kNone;
    QString m_error;
    mutable QHash<Index, QString> m_classNames; // class names by class entry
    QHash<uint64_t, ArchivedObject::Ptr> m_foreign;
    std::vector<uint64_t> m_foreignPath; // references being copied, for cycle detection
};
