// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// A binary property list read in place: an object is its index in the file's offset table, and
// values are decoded from the bytes when asked for, so no tree of the file is ever built.
//
// load() checks every object reachable from the top object once, up front: its offset, its
// marker, that its bytes and references lie inside the object area, that dictionary keys are
// strings, that no container holds itself and that nesting stays bounded. After a successful
// load the accessors trust the structure and need no checks of their own; they must only be
// given indices obtained from this reader (top(), item(), key(), value(), valueForKey()).
class BinaryPropertyList
{
public:
    using Index = uint64_t;
    static constexpr Index kNone = ~Index(0);

    // Containers nested deeper than this are refused unless load() is told otherwise: readers
    // of the objects recurse once per level, and keyed archives nest a handful of levels.
    static constexpr int kMaxNesting = 128;

    enum class Type : uint8_t
    {
        None, // kNone
        Boolean,
        Integer,
        Real,
        Date,
        Data,
        String,
        Uid,
        Array, // sets read as arrays
        Dictionary,
    };

    // Takes a shallow (implicitly shared) copy of `data` and checks it, with containers nested
    // at most `maxNesting` deep. False when it is not a sound binary property list; the reader
    // then holds nothing.
    bool load(const QByteArray& data, int maxNesting = kMaxNesting);

    Index top() const { return m_top; }
    Type type(Index object) const;

    // Items of an array, entries of a dictionary.
    uint64_t count(Index container) const;
    Index item(Index array, uint64_t i) const; // kNone past the end
    Index key(Index dictionary, uint64_t i) const;
    Index value(Index dictionary, uint64_t i) const;
    // The value of the first entry whose key is `key`, or kNone (also when not a dictionary).
    Index valueForKey(Index dictionary, const char* key) const;

    // Strings end at their first NUL. Single-byte strings are read as UTF-8; unpaired
    // surrogates in UTF-16 strings are dropped.
    QString string(Index object) const; // null when not a string
    // The UTF-8 text of a string object (as string() would decode it).
    QByteArray stringUtf8(Index object) const;
    bool stringEquals(Index object, const char* text) const;

    // Integers are the signed 64-bit numbers archives hold; of a 16-byte integer, the low
    // 8 bytes count.
    int64_t integer(Index object) const;
    double real(Index object) const; // also the seconds of a date
    bool boolean(Index object) const;
    uint64_t uid(Index object) const;
    QByteArray data(Index object) const;
    // A real, integer or boolean as a double; nothing for any other object.
    std::optional<double> number(Index object) const;

    // A binary property list of its own holding just this object, which must not be a
    // container: its bytes are copied as they are, so another reader decodes them exactly as
    // this file's reader would.
    QByteArray standalone(Index object) const;

private:
    struct Object
    {
        uint8_t marker = 0;
        uint64_t count = 0;          // the length in the marker or the integer after it
        const uchar* body = nullptr; // the bytes after the marker and its length
    };
    Object object(Index index) const;
    uint64_t offsetOf(Index index) const;
    Index reference(const uchar* at) const;
    // Whether the bytes of a single-byte string equal `text` (up to the string's first NUL).
    static bool bytesEqual(const Object& string, const char* text, size_t length);

    QByteArray m_data;
    const uchar* m_bytes = nullptr;
    uint64_t m_tableOffset = 0;
    int m_offsetSize = 0;
    int m_refSize = 0;
    uint64_t m_count = 0;
    Index m_top = kNone;
};
