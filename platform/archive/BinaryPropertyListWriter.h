// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

// Writes a binary property list ("bplist00") object by object. Every value is an object with a
// number; containers refer to their items by number, so a container may be written before or
// after its items. Equal strings are stored once. Object references are four bytes wide, which
// every reader accepts. Linear in the number of objects (the system library's writer takes
// seconds for a large library's archive).
class BinaryPropertyListWriter
{
public:
    using Ref = uint32_t;

    // A number for an object whose contents come later (setArray / setDictionary).
    Ref reserve();

    // A string object; equal strings written with `shared` set are stored once.
    Ref string(const QString& value, bool shared = true);
    Ref integer(int64_t value);
    Ref real(double value);
    Ref boolean(bool value);
    Ref uid(uint64_t value);
    Ref data(const QByteArray& value);
    Ref array(const std::vector<Ref>& items);
    Ref dictionary(const std::vector<std::pair<Ref, Ref>>& entries); // (key string, value)
    void setArray(Ref ref, const std::vector<Ref>& items);
    void setDictionary(Ref ref, const std::vector<std::pair<Ref, Ref>>& entries);

    // Converts a libplist value (with everything inside it) into objects of this writer.
    Ref node(const void* plistNode);

    // The finished file, with `top` as its root object.
    QByteArray finish(Ref top);

private:
    Ref begin(Ref ref); // records where object `ref` starts
    Ref next();
    void appendBigEndian(uint64_t value, int size);
    void appendMarker(uint8_t type, uint64_t length);
    void appendUnsignedInteger(uint64_t value);

    QByteArray m_out = QByteArrayLiteral("bplist00");
    std::vector<uint64_t> m_offsets;
    QHash<QString, Ref> m_strings;
};
