// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/archive/BinaryPropertyList.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t kHeaderSize = 8; // "bplist00"
constexpr uint64_t kTrailerSize = 32;

uint64_t readBigEndian(const uchar* p, int size)
{
    switch (size) {
    case 1:
        return p[0];
    case 2:
        return qFromBigEndian<quint16>(p);
    case 4:
        return qFromBigEndian<quint32>(p);
    case 8:
        return qFromBigEndian<quint64>(p);
    default: {
        uint64_t v = 0;
        for (int i = 0; i < size; ++i)
            v = (v << 8) | p[i];
        return v;
    }
    }
}

// Integers of 16 bytes keep their low 8 bytes, as do references (UIDs) wider than 8 bytes.
uint64_t readWideBigEndian(const uchar* p, int size)
{
    return size > 8 ? readBigEndian(p + size - 8, 8) : readBigEndian(p, size);
}

// Types whose marker may carry a length, with 0xF meaning "an integer object follows".
bool hasLength(int type)
{
    return type == 0x4 || type == 0x5 || type == 0x6 || type == 0xA || type == 0xC || type == 0xD;
}

// Decodes a UTF-16BE string of `units` units up to its first NUL. A lead surrogate waits for
// the next trail surrogate (characters between them are kept); a second lead surrogate cancels
// the first, and trail surrogates without a lead are dropped. This is how these files have
// always been read here, so names read the same as before.
QString fromUtf16BigEndian(const uchar* p, uint64_t units)
{
    QString out;
    out.reserve(qsizetype(units));
    bool lead = false;
    char32_t pending = 0;
    for (uint64_t i = 0; i < units; ++i) {
        const char16_t unit = char16_t(p[2 * i] << 8 | p[2 * i + 1]);
        if (QChar::isHighSurrogate(unit)) {
            lead = !lead;
            pending = 0x10000 + (char32_t(unit & 0x3FF) << 10);
        } else if (QChar::isLowSurrogate(unit)) {
            if (lead) {
                lead = false;
                const char32_t c = pending | (unit & 0x3FF);
                out.append(QChar(QChar::highSurrogate(c)));
                out.append(QChar(QChar::lowSurrogate(c)));
            }
        } else if (unit == 0) {
            break;
        } else {
            out.append(QChar(unit));
        }
    }
    if (out.isEmpty())
        return QString::fromUtf8("");
    return out;
}

} // namespace

bool BinaryPropertyList::load(const QByteArray& data, int maxNesting)
{
    *this = BinaryPropertyList();
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const uint64_t size = uint64_t(data.size());
    if (size < kHeaderSize + kTrailerSize || std::memcmp(bytes, "bplist00", kHeaderSize) != 0)
        return false;
    const uchar* trailer = bytes + size - kTrailerSize;
    const int offsetSize = trailer[6];
    const int refSize = trailer[7];
    const uint64_t count = readBigEndian(trailer + 8, 8);
    const uint64_t top = readBigEndian(trailer + 16, 8);
    const uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    const uint64_t objectsEnd = size - kTrailerSize;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 ||
        top >= count || tableOffset < kHeaderSize || tableOffset >= objectsEnd ||
        (objectsEnd - tableOffset) / uint64_t(offsetSize) < count)
        return false;

    auto offsetOf = [&](uint64_t index) {
        return readBigEndian(bytes + tableOffset + index * offsetSize, offsetSize);
    };
    // Checks object `index`: its marker, and that its bytes lie in the object area. Appends the
    // references of a container to `out`.
    auto check = [&](uint64_t index, std::vector<uint64_t>& out) {
        uint64_t at = offsetOf(index);
        if (at < kHeaderSize || at >= tableOffset)
            return false;
        const uchar marker = bytes[at++];
        const int type = marker >> 4;
        const int low = marker & 0x0F;
        uint64_t n = uint64_t(low);
        if (low == 0x0F && hasLength(type)) {
            if (at >= tableOffset || (bytes[at] >> 4) != 0x1 || (bytes[at] & 0x0F) > 4)
                return false;
            const int width = 1 << (bytes[at] & 0x0F);
            if (tableOffset - at - 1 < uint64_t(width))
                return false;
            n = readWideBigEndian(bytes + at + 1, width);
            at += 1 + uint64_t(width);
        }
        const uint64_t room = tableOffset - at;
        switch (type) {
        case 0x0: // false, true; null and fill bytes are not values
            return low == 0x8 || low == 0x9;
        case 0x1: // integers of 1, 2, 4, 8 or 16 bytes
            return low <= 4 && (uint64_t(1) << low) <= room;
        case 0x2: // reals of 4 or 8 bytes
            return (low == 2 || low == 3) && (uint64_t(1) << low) <= room;
        case 0x3: // a date: a real of 8 bytes
            return low == 3 && room >= 8;
        case 0x4: // data
        case 0x5: // single-byte string
            return n <= room;
        case 0x6: // UTF-16 string, never empty
            return n > 0 && n <= room / 2;
        case 0x8: { // a UID of low + 1 bytes, at most 32 bits of value
            const int width = low + 1;
            return uint64_t(width) <= room &&
                   readWideBigEndian(bytes + at, width) <= uint64_t(UINT32_MAX);
        }
        case 0xA:   // array
        case 0xC:   // set
        case 0xD: { // dictionary: keys, then values
            const uint64_t refs = type == 0xD ? 2 * n : n;
            if (n > room / uint64_t(refSize) || refs > room / uint64_t(refSize))
                return false;
            for (uint64_t i = 0; i < refs; ++i) {
                const uint64_t ref = readBigEndian(bytes + at + i * refSize, refSize);
                if (ref >= count)
                    return false;
                if (type == 0xD && i < n) { // keys are strings
                    const uint64_t keyAt = offsetOf(ref);
                    if (keyAt < kHeaderSize || keyAt >= tableOffset ||
                        ((bytes[keyAt] >> 4) != 0x5 && (bytes[keyAt] >> 4) != 0x6))
                        return false;
                }
                out.push_back(ref);
            }
            return true;
        }
        default:
            return false;
        }
    };

    // Depth-first from the top object with an explicit stack; each object is checked once. The
    // references of the containers on the stack share one buffer, so a frame costs no
    // allocation of its own.
    std::vector<uint8_t> state(count, 0); // 0 new, 1 on the stack, 2 done
    std::vector<int> depth(count, 1);
    struct Frame
    {
        uint64_t index;
        size_t begin; // the frame's references are refs[begin, end)
        size_t end;
        size_t next;
    };
    std::vector<uint64_t> refs;
    std::vector<Frame> stack;
    if (!check(top, refs))
        return false;
    stack.push_back({top, 0, refs.size(), 0});
    state[top] = 1;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.end - frame.begin) {
            const uint64_t child = refs[frame.begin + frame.next++];
            if (state[child] == 1)
                return false; // a container inside itself
            if (state[child] == 0) {
                if (int(stack.size()) >= maxNesting)
                    return false;
                const size_t begin = refs.size();
                if (!check(child, refs))
                    return false;
                state[child] = 1;
                stack.push_back({child, begin, refs.size(), 0});
            }
            continue;
        }
        int deepest = 0;
        for (size_t i = frame.begin; i < frame.end; ++i)
            deepest = std::max(deepest, depth[refs[i]]);
        depth[frame.index] = deepest + 1;
        if (depth[frame.index] > maxNesting)
            return false;
        state[frame.index] = 2;
        refs.resize(frame.begin);
        stack.pop_back();
    }

    m_data = data; // shares the bytes checked above
    m_bytes = reinterpret_cast<const uchar*>(m_data.constData());
    m_tableOffset = tableOffset;
    m_offsetSize = offsetSize;
    m_refSize = refSize;
    m_count = count;
    m_top = top;
    return true;
}

uint64_t BinaryPropertyList::offsetOf(Index index) const
{
    return readBigEndian(m_bytes + m_tableOffset + index * uint64_t(m_offsetSize), m_offsetSize);
}

BinaryPropertyList::Index BinaryPropertyList::reference(const uchar* at) const
{
    return readBigEndian(at, m_refSize);
}

BinaryPropertyList::Object BinaryPropertyList::object(Index index) const
{
    Object o;
    const uchar* at = m_bytes + offsetOf(index);
    o.marker = *at++;
    o.count = o.marker & 0x0F;
    if (o.count == 0x0F && hasLength(o.marker >> 4)) {
        const int width = 1 << (*at & 0x0F);
        o.count = readWideBigEndian(at + 1, width);
        at += 1 + width;
    }
    o.body = at;
    return o;
}

BinaryPropertyList::Type BinaryPropertyList::type(Index index) const
{
    if (index == kNone)
        return Type::None;
    switch (m_bytes[offsetOf(index)] >> 4) {
    case 0x0:
        return Type::Boolean;
    case 0x1:
        return Type::Integer;
    case 0x2:
        return Type::Real;
    case 0x3:
        return Type::Date;
    case 0x4:
        return Type::Data;
    case 0x5:
    case 0x6:
        return Type::String;
    case 0x8:
        return Type::Uid;
    case 0xA:
    case 0xC:
        return Type::Array;
    case 0xD:
        return Type::Dictionary;
    default:
        return Type::None; // refused by load()
    }
}

uint64_t BinaryPropertyList::count(Index container) const
{
    const Type t = type(container);
    return t == Type::Array || t == Type::Dictionary ? object(container).count : 0;
}

BinaryPropertyList::Index BinaryPropertyList::item(Index array, uint64_t i) const
{
    if (type(array) != Type::Array)
        return kNone;
    const Object o = object(array);
    return i < o.count ? reference(o.body + i * uint64_t(m_refSize)) : kNone;
}

BinaryPropertyList::Index BinaryPropertyList::key(Index dictionary, uint64_t i) const
{
    if (type(dictionary) != Type::Dictionary)
        return kNone;
    const Object o = object(dictionary);
    return i < o.count ? reference(o.body + i * uint64_t(m_refSize)) : kNone;
}

BinaryPropertyList::Index BinaryPropertyList::value(Index dictionary, uint64_t i) const
{
    if (type(dictionary) != Type::Dictionary)
        return kNone;
    const Object o = object(dictionary);
    return i < o.count ? reference(o.body + (o.count + i) * uint64_t(m_refSize)) : kNone;
}

bool BinaryPropertyList::bytesEqual(const Object& string, const char* text, size_t length)
{
    return string.count >= length && std::memcmp(string.body, text, length) == 0 &&
           (string.count == length || string.body[length] == 0);
}

BinaryPropertyList::Index BinaryPropertyList::valueForKey(Index dictionary, const char* key) const
{
    if (type(dictionary) != Type::Dictionary)
        return kNone;
    const Object o = object(dictionary);
    const size_t length = std::strlen(key);
    for (uint64_t i = 0; i < o.count; ++i) {
        const Index k = reference(o.body + i * uint64_t(m_refSize));
        const Object ko = object(k);
        const bool equal = (ko.marker >> 4) == 0x5
                               ? bytesEqual(ko, key, length)
                               : stringUtf8(k) == QByteArrayView(key, qsizetype(length));
        if (equal)
            return reference(o.body + (o.count + i) * uint64_t(m_refSize));
    }
    return kNone;
}

QString BinaryPropertyList::string(Index index) const
{
    if (type(index) != Type::String)
        return {};
    const Object o = object(index);
    if ((o.marker >> 4) == 0x6)
        return fromUtf16BigEndian(o.body, o.count);
    const void* nul = std::memchr(o.body, 0, o.count);
    const qsizetype length = nul ? static_cast<const uchar*>(nul) - o.body : qsizetype(o.count);
    return QString::fromUtf8(QByteArrayView(o.body, length));
}

QByteArray BinaryPropertyList::stringUtf8(Index index) const
{
    if (type(index) != Type::String)
        return {};
    const Object o = object(index);
    if ((o.marker >> 4) == 0x6)
        return fromUtf16BigEndian(o.body, o.count).toUtf8();
    const void* nul = std::memchr(o.body, 0, o.count);
    const qsizetype length = nul ? static_cast<const uchar*>(nul) - o.body : qsizetype(o.count);
    return QByteArray(reinterpret_cast<const char*>(o.body), length);
}

bool BinaryPropertyList::stringEquals(Index index, const char* text) const
{
    if (type(index) != Type::String)
        return false;
    const Object o = object(index);
    const size_t length = std::strlen(text);
    if ((o.marker >> 4) == 0x5)
        return bytesEqual(o, text, length);
    return stringUtf8(index) == QByteArrayView(text, qsizetype(length));
}

int64_t BinaryPropertyList::integer(Index index) const
{
    const Object o = object(index);
    return int64_t(readWideBigEndian(o.body, 1 << (o.marker & 0x0F)));
}

double BinaryPropertyList::real(Index index) const
{
    const Object o = object(index);
    if ((o.marker & 0x0F) == 2) {
        const quint32 bits = qFromBigEndian<quint32>(o.body);
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    const quint64 bits = qFromBigEndian<quint64>(o.body);
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

bool BinaryPropertyList::boolean(Index index) const
{
    return m_bytes[offsetOf(index)] == 0x09;
}

uint64_t BinaryPropertyList::uid(Index index) const
{
    const Object o = object(index);
    return readWideBigEndian(o.body, (o.marker & 0x0F) + 1);
}

QByteArray BinaryPropertyList::data(Index index) const
{
    const Object o = object(index);
    return QByteArray(reinterpret_cast<const char*>(o.body), qsizetype(o.count));
}

std::optional<double> BinaryPropertyList::number(Index index) const
{
    switch (type(index)) {
    case Type::Real:
        return real(index);
    case Type::Integer:
        return double(integer(index));
    case Type::Boolean:
        return boolean(index) ? 1.0 : 0.0;
    default:
        return std::nullopt;
    }
}

QByteArray BinaryPropertyList::standalone(Index index) const
{
    const uint64_t begin = offsetOf(index);
    const Object o = object(index);
    const int low = o.marker & 0x0F;
    uint64_t payload = 0;
    switch (o.marker >> 4) {
    case 0x1:
    case 0x2:
    case 0x3:
        payload = uint64_t(1) << low;
        break;
    case 0x4:
    case 0x5:
        payload = o.count;
        break;
    case 0x6:
        payload = 2 * o.count;
        break;
    case 0x8:
        payload = uint64_t(low) + 1;
        break;
    default:
        break;
    }
    const uint64_t end = uint64_t(o.body - m_bytes) + payload;
    QByteArray out("bplist00");
    out.append(reinterpret_cast<const char*>(m_bytes + begin), qsizetype(end - begin));
    const uint64_t table = uint64_t(out.size());
    const int offsetSize = 1; // the one offset is 8
    out.append(char(kHeaderSize));
    out.append(6, '\0');
    out.append(char(offsetSize));
    out.append(char(1)); // references: none
    for (uint64_t v : {uint64_t(1), uint64_t(0), table}) {
        for (int b = 7; b >= 0; --b)
            out.append(char((v >> (8 * b)) & 0xFF));
    }
    return out;
}
