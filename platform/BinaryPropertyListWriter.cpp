#include "platform/BinaryPropertyListWriter.h"

#include <plist/plist.h>

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Object
{
    plist_t node = nullptr;     // the value (null for a dictionary key)
    QByteArray key;             // a dictionary key's UTF-8 text
    std::vector<uint32_t> refs; // containers: item refs (dictionaries: keys, then values)
};

class Writer
{
public:
    QByteArray run(plist_t root)
    {
        const uint32_t top = flatten(root);
        const uint64_t count = m_objects.size();
        m_refSize = count < 0x100 ? 1 : count < 0x10000 ? 2 : 4;

        m_out = "bplist00";
        std::vector<uint64_t> offsets;
        offsets.reserve(m_objects.size());
        for (const Object& object : m_objects) {
            offsets.push_back(uint64_t(m_out.size()));
            writeObject(object);
        }
        const uint64_t tableOffset = uint64_t(m_out.size());
        const int offsetSize = tableOffset < 0x100            ? 1
                               : tableOffset < 0x10000        ? 2
                               : tableOffset < 0x100000000ULL ? 4
                                                              : 8;
        for (uint64_t offset : offsets)
            appendBigEndian(offset, offsetSize);
        m_out.append(6, '\0');
        m_out.append(char(offsetSize));
        m_out.append(char(m_refSize));
        appendBigEndian(count, 8);
        appendBigEndian(top, 8);
        appendBigEndian(tableOffset, 8);
        return m_out;
    }

private:
    // Gives every object its number, depth first; strings and keys that repeat share one.
    uint32_t flatten(plist_t node)
    {
        const plist_type type = plist_get_node_type(node);
        if (type == PLIST_STRING) {
            char* text = nullptr;
            plist_get_string_val(node, &text);
            const uint32_t index = stringIndex(QByteArray(text ? text : ""), node);
            free(text);
            return index;
        }
        const auto index = uint32_t(m_objects.size());
        m_objects.push_back({node, {}, {}});
        std::vector<uint32_t> refs;
        if (type == PLIST_ARRAY) {
            plist_array_iter it = nullptr;
            plist_array_new_iter(node, &it);
            for (;;) {
                plist_t item = nullptr;
                plist_array_next_item(node, it, &item);
                if (!item)
                    break;
                refs.push_back(flatten(item));
            }
            free(it);
        } else if (type == PLIST_DICT) {
            std::vector<uint32_t> values;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                if (!value)
                    break;
                refs.push_back(stringIndex(QByteArray(key), nullptr));
                free(key);
                values.push_back(flatten(value));
            }
            free(it);
            refs.insert(refs.end(), values.begin(), values.end());
        }
        m_objects[index].refs = std::move(refs);
        return index;
    }

    uint32_t stringIndex(const QByteArray& utf8, plist_t node)
    {
        auto found = m_strings.constFind(utf8);
        if (found != m_strings.constEnd())
            return *found;
        const auto index = uint32_t(m_objects.size());
        m_objects.push_back({node, utf8, {}});
        m_strings.insert(utf8, index);
        return index;
    }

    void appendBigEndian(uint64_t value, int size)
    {
        for (int i = size - 1; i >= 0; --i)
            m_out.append(char((value >> (8 * i)) & 0xFF));
    }

    // A type marker with its length: in the low nibble, or 0xF followed by an integer object.
    void appendMarker(uint8_t type, uint64_t length)
    {
        if (length < 15) {
            m_out.append(char(type << 4 | length));
            return;
        }
        m_out.append(char(type << 4 | 0x0F));
        appendInteger(length);
    }

    void appendInteger(uint64_t value)
    {
        if (value < 0x100) {
            m_out.append(char(0x10));
            appendBigEndian(value, 1);
        } else if (value < 0x10000) {
            m_out.append(char(0x11));
            appendBigEndian(value, 2);
        } else if (value < 0x100000000ULL) {
            m_out.append(char(0x12));
            appendBigEndian(value, 4);
        } else {
            m_out.append(char(0x13)); // eight bytes, read back as signed
            appendBigEndian(value, 8);
        }
    }

    void appendString(const QByteArray& utf8)
    {
        const bool ascii =
            std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; });
        if (ascii) {
            appendMarker(0x5, uint64_t(utf8.size()));
            m_out.append(utf8);
            return;
        }
        const QString text = QString::fromUtf8(utf8);
        appendMarker(0x6, uint64_t(text.size()));
        for (QChar c : text) {
            m_out.append(char(c.unicode() >> 8));
            m_out.append(char(c.unicode() & 0xFF));
        }
    }

    void writeObject(const Object& object)
    {
        if (!object.node) { // a dictionary key
            appendString(object.key);
            return;
        }
        switch (plist_get_node_type(object.node)) {
        case PLIST_BOOLEAN: {
            uint8_t v = 0;
            plist_get_bool_val(object.node, &v);
            m_out.append(char(v ? 0x09 : 0x08));
            break;
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(object.node, &v);
            appendInteger(v);
            break;
        }
        case PLIST_REAL: {
            double v = 0;
            plist_get_real_val(object.node, &v);
            uint64_t bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            m_out.append(char(0x23));
            appendBigEndian(bits, 8);
            break;
        }
        case PLIST_STRING:
            appendString(object.key);
            break;
        case PLIST_DATA: {
            char* bytes = nullptr;
            uint64_t length = 0;
            plist_get_data_val(object.node, &bytes, &length);
            appendMarker(0x4, length);
            m_out.append(bytes, qsizetype(length));
            free(bytes);
            break;
        }
        case PLIST_DATE: {
            int32_t sec = 0;
            int32_t usec = 0;
            plist_get_date_val(object.node, &sec, &usec);
            const double seconds = double(sec) + double(usec) / 1e6;
            uint64_t bits = 0;
            std::memcpy(&bits, &seconds, sizeof bits);
            m_out.append(char(0x33));
            appendBigEndian(bits, 8);
            break;
        }
        case PLIST_UID: {
            uint64_t v = 0;
            plist_get_uid_val(object.node, &v);
            const int size = v < 0x100 ? 1 : v < 0x10000 ? 2 : v < 0x100000000ULL ? 4 : 8;
            m_out.append(char(0x80 | (size - 1)));
            appendBigEndian(v, size);
            break;
        }
        case PLIST_ARRAY:
            appendMarker(0xA, object.refs.size());
            for (uint32_t ref : object.refs)
                appendBigEndian(ref, m_refSize);
            break;
        case PLIST_DICT:
            appendMarker(0xD, object.refs.size() / 2);
            for (uint32_t ref : object.refs)
                appendBigEndian(ref, m_refSize);
            break;
        default:
            m_out.append(char(0x00)); // null
            break;
        }
    }

    std::vector<Object> m_objects;
    QHash<QByteArray, uint32_t> m_strings;
    QByteArray m_out;
    int m_refSize = 1;
};

} // namespace

QByteArray BinaryPropertyListWriter::write(const void* root)
{
    return Writer().run(const_cast<void*>(root));
}
