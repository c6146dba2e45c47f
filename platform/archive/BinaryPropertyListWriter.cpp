// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/archive/BinaryPropertyListWriter.h"

#include "platform/archive/PlistNodes.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int kRefSize = 4;
constexpr uint64_t kUnset = ~0ULL;
} // namespace

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::next()
{
    m_offsets.push_back(kUnset);
    return Ref(m_offsets.size() - 1);
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::reserve()
{
    return next();
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::begin(Ref ref)
{
    m_offsets[ref] = uint64_t(m_out.size());
    return ref;
}

void BinaryPropertyListWriter::appendBigEndian(uint64_t value, int size)
{
    char bytes[8] = {};
    for (int i = 0; i < size; ++i)
        bytes[i] = char((value >> (8 * (size - 1 - i))) & 0xFF);
    m_out.append(bytes, size);
}

// A type marker with its length: in the low nibble, or 0xF followed by an integer object.
void BinaryPropertyListWriter::appendMarker(uint8_t type, uint64_t length)
{
    if (length < 15) {
        m_out.append(char(type << 4 | length));
        return;
    }
    m_out.append(char(type << 4 | 0x0F));
    appendUnsignedInteger(length);
}

// An integer object in the fewest of 1, 2, 4 or 8 bytes.
void BinaryPropertyListWriter::appendUnsignedInteger(uint64_t value)
{
    int code = 0; // the integer takes 1 << code bytes
    while (code < 3 && value >> (8 << code) != 0)
        ++code;
    m_out.append(char(0x10 | code));
    appendBigEndian(value, 1 << code);
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::string(const QString& value, bool shared)
{
    if (shared) {
        auto found = m_strings.constFind(value);
        if (found != m_strings.constEnd())
            return *found;
    }
    const Ref ref = begin(next());
    if (shared)
        m_strings.insert(value, ref);
    const bool ascii =
        std::all_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        appendMarker(0x5, uint64_t(value.size()));
        m_out.append(value.toLatin1());
    } else {
        appendMarker(0x6, uint64_t(value.size())); // UTF-16 code units, big-endian
        for (QChar c : value) {
            m_out.append(char(c.unicode() >> 8));
            m_out.append(char(c.unicode() & 0xFF));
        }
    }
    return ref;
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::integer(int64_t value)
{
    const Ref ref = begin(next());
    if (value < 0) {
        m_out.append(char(0x13)); // eight bytes are read back as signed
        appendBigEndian(uint64_t(value), 8);
    } else {
        appendUnsignedInteger(uint64_t(value));
    }
    return ref;
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::real(double value)
{
    const Ref ref = begin(next());
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    m_out.append(char(0x23));
    appendBigEndian(bits, 8);
    return ref;
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::boolean(bool value)
{
    const Ref ref = begin(next());
    m_out.append(char(value ? 0x09 : 0x08));
    return ref;
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::uid(uint64_t value)
{
    const Ref ref = begin(next());
    const int size = value < 0x100 ? 1 : value < 0x10000 ? 2 : value < 0x100000000ULL ? 4 : 8;
    m_out.append(char(0x80 | (size - 1)));
    appendBigEndian(value, size);
    return ref;
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::data(const QByteArray& value)
{
    const Ref ref = begin(next());
    appendMarker(0x4, uint64_t(value.size()));
    m_out.append(value);
    return ref;
}

void BinaryPropertyListWriter::setArray(Ref ref, const std::vector<Ref>& items)
{
    begin(ref);
    appendMarker(0xA, items.size());
    for (Ref item : items)
        appendBigEndian(item, kRefSize);
}

void BinaryPropertyListWriter::setDictionary(Ref ref,
                                             const std::vector<std::pair<Ref, Ref>>& entries)
{
    begin(ref);
    appendMarker(0xD, entries.size());
    for (const auto& entry : entries)
        appendBigEndian(entry.first, kRefSize);
    for (const auto& entry : entries)
        appendBigEndian(entry.second, kRefSize);
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::array(const std::vector<Ref>& items)
{
    const Ref ref = next();
    setArray(ref, items);
    return ref;
}

BinaryPropertyListWriter::Ref
BinaryPropertyListWriter::dictionary(const std::vector<std::pair<Ref, Ref>>& entries)
{
    const Ref ref = next();
    setDictionary(ref, entries);
    return ref;
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::node(const void* plistNode)
{
    auto* n = const_cast<plist_t>(plistNode);
    switch (plist_get_node_type(n)) {
    case PLIST_BOOLEAN:
        return boolean(PlistNodes::boolValue(n));
    case PLIST_UINT:
        return integer(PlistNodes::integerValue(n));
    case PLIST_REAL:
        return real(PlistNodes::realValue(n));
    case PLIST_STRING: {
        return string(PlistNodes::stringValue(n));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(n, &bytes, &length);
        const Ref ref = data(QByteArray(bytes, qsizetype(length)));
        free(bytes);
        return ref;
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(n, &sec, &usec);
        const double seconds = double(sec) + double(usec) / 1e6;
        uint64_t bits = 0;
        std::memcpy(&bits, &seconds, sizeof bits);
        const Ref ref = begin(next());
        m_out.append(char(0x33));
        appendBigEndian(bits, 8);
        return ref;
    }
    case PLIST_UID: {
        uint64_t v = 0;
        plist_get_uid_val(n, &v);
        return uid(v);
    }
    case PLIST_ARRAY: {
        std::vector<Ref> items;
        for (void* item : PlistNodes::arrayItems(n))
            items.push_back(node(item));
        return array(items);
    }
    case PLIST_DICT: {
        std::vector<std::pair<Ref, Ref>> entries;
        for (const auto& [key, value] : PlistNodes::dictItems(n))
            entries.emplace_back(string(QString::fromUtf8(key)), node(value));
        return dictionary(entries);
    }
    default: {
        const Ref ref = begin(next());
        m_out.append(char(0x00)); // null
        return ref;
    }
    }
}

QByteArray BinaryPropertyListWriter::finish(Ref top)
{
    // Objects reserved and never filled become empty strings, so every reference resolves.
    for (Ref ref = 0; ref < m_offsets.size(); ++ref) {
        if (m_offsets[ref] == kUnset) {
            begin(ref);
            m_out.append(char(0x50));
        }
    }
    const uint64_t tableOffset = uint64_t(m_out.size());
    const int offsetSize = tableOffset < 0x100            ? 1
                           : tableOffset < 0x10000        ? 2
                           : tableOffset < 0x100000000ULL ? 4
                                                          : 8;
    for (uint64_t offset : m_offsets)
        appendBigEndian(offset, offsetSize);
    m_out.append(6, '\0');
    m_out.append(char(offsetSize));
    m_out.append(char(kRefSize));
    appendBigEndian(m_offsets.size(), 8);
    appendBigEndian(top, 8);
    appendBigEndian(tableOffset, 8);
    return m_out;
}
