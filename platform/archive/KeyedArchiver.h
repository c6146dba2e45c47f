// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/archive/ArchivedObject.h"
#include "platform/archive/BinaryPropertyListWriter.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <cstdint>
#include <vector>

class Archivable;

// Writes the keyed-archive object graph as a binary property list:
// {"$version": 100000, "$archiver": "NSKeyedArchiver", "$top": {"root": UID},
//  "$objects": ["$null", ...]}. The root is an NSMutableArray of the given objects; each object
// is a dictionary whose "$class" refers to a {"$classname", "$classes"} entry, followed by its
// keys in the order they are encoded. Strings are plain strings, dates NSDate entries with
// "NS.time" (seconds since 2001-01-01 UTC), absent objects the null reference UID 0.
class KeyedArchiver
{
public:
    KeyedArchiver();
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    static QByteArray archivedDataWithRootArray(const std::vector<const Archivable*>& objects);

    // Called by an object's encodeWithCoder for the object being written.
    void encodeString(const char* key, const QString& value); // a null string is the null reference
    void encodeDate(const char* key,
                    const QDateTime& value); // an invalid date is the null reference
    void encodeDouble(const char* key, double value);
    void encodeFloat(const char* key, float value);
    void encodeInt32(const char* key, int32_t value);
    void encodeBool(const char* key, bool value);
    void encodeObject(const char* key, const ArchivedObject::Ptr& value);

private:
    uint64_t reserveEntry(); // a number in the object table whose entry is set later
    uint64_t newEntry(BinaryPropertyListWriter::Ref ref);
    uint64_t classReference(const QString& className, const QStringList& hierarchy);
    uint64_t encodeArchivable(const Archivable& object);
    uint64_t encodeForeign(const ArchivedObject::Ptr& object);
    void setKey(const char* key, BinaryPropertyListWriter::Ref value);

    BinaryPropertyListWriter m_writer;
    std::vector<BinaryPropertyListWriter::Ref>
        m_entries; // the archive's object table, "$null" first
    // Keys of the object being encoded.
    std::vector<std::pair<BinaryPropertyListWriter::Ref, BinaryPropertyListWriter::Ref>>*
        m_current = nullptr;
    QHash<QString, uint64_t> m_classes;
    QHash<const char*, BinaryPropertyListWriter::Ref> m_keys;
    QHash<const ArchivedObject*, uint64_t> m_foreign;
};
