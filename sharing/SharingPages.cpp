// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/SharingPages.h"

#include "core/AppDelegate.h"

#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The pages are written straight into one UTF-8 buffer through a cursor: each text is escaped or
// percent-encoded and converted from UTF-16 in a single pass, writing into room made for its
// worst case, so no text is converted into a buffer of its own and copied again. The bytes are
// those Qt's converters give (QString::toHtmlEscaped, QString::toUtf8, QByteArray::number), the
// fast way; SharingPagesTest holds them to that.

namespace {

// A growing byte buffer written through a raw cursor.
class PageWriter
{
public:
    explicit PageWriter(qsizetype capacity)
    {
        m_out.resize(std::max<qsizetype>(capacity, 256));
        m_at = m_out.data();
        m_end = m_at + m_out.size();
    }

    // The cursor, with room for at least `n` bytes after it; advance() takes it back.
    char* room(qsizetype n)
    {
        if (m_end - m_at < n)
            grow(n);
        return m_at;
    }
    void advance(char* to) { m_at = to; }

    void append(const char* bytes, qsizetype n)
    {
        room(n);
        std::memcpy(m_at, bytes, size_t(n));
        m_at += n;
    }
    void append(const QByteArray& bytes) { append(bytes.constData(), bytes.size()); }
    template <size_t N> void literal(const char (&text)[N]) { append(text, qsizetype(N - 1)); }

    // The bytes written, in a buffer no larger than they need.
    QByteArray finish()
    {
        m_out.resize(m_at - m_out.constData());
        m_out.squeeze(); // a reallocation in place, not a copy
        return std::move(m_out);
    }

private:
    void grow(qsizetype n)
    {
        const qsizetype used = m_at - m_out.constData();
        m_out.resize(std::max(2 * m_out.size(), used + n));
        m_at = m_out.data() + used;
        m_end = m_out.data() + m_out.size();
    }

    QByteArray m_out;
    char* m_at = nullptr;
    char* m_end = nullptr;
};

template <size_t N> inline char* put(char* p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + (N - 1);
}

// The UTF-8 bytes of the character starting with the non-ASCII code unit `u` (its second unit,
// if any, at `s`, which moves past it), as QString::toUtf8 writes them: a surrogate without its
// partner becomes '?'.
inline char* putUtf8(char* p, char16_t u, const char16_t*& s, const char16_t* end)
{
    if (u < 0x800) {
        *p++ = char(0xc0 | (u >> 6));
        *p++ = char(0x80 | (u & 0x3f));
        return p;
    }
    if (u < 0xd800 || u > 0xdfff) {
        *p++ = char(0xe0 | (u >> 12));
        *p++ = char(0x80 | ((u >> 6) & 0x3f));
        *p++ = char(0x80 | (u & 0x3f));
        return p;
    }
    if (u > 0xdbff || s == end || *s < 0xdc00 || *s > 0xdfff) {
        *p++ = '?';
        return p;
    }
    const char32_t c = 0x10000 + ((char32_t(u) - 0xd800) << 10) + (char32_t(*s++) - 0xdc00);
    *p++ = char(0xf0 | (c >> 18));
    *p++ = char(0x80 | ((c >> 12) & 0x3f));
    *p++ = char(0x80 | ((c >> 6) & 0x3f));
    *p++ = char(0x80 | (c & 0x3f));
    return p;
}

// Which ASCII characters a text or a link target takes as they are.
struct AsciiClasses
{
    bool plainText[128] = {};
    bool keptInLink[128] = {};

    constexpr AsciiClasses()
    {
        for (int c = 0; c < 128; ++c) {
            plainText[c] = c != '&' && c != '<' && c != '>' && c != '"';
            keptInLink[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                            c == '~' || c == '/';
        }
    }
};
constexpr AsciiClasses kAscii;

#if defined(__SSE2__)
// Copies code units from `s` to `p` as single bytes, eight at a time, up to the first unit that
// `needsCare` marks (its lane all ones) or the last whole eight; advances both. Every unit that
// is not marked is below 0x80, so the packing cannot saturate; the bytes written past the first
// marked unit are overwritten by what comes next.
template <typename NeedsCare>
void copyPlainUnits(const char16_t*& s, const char16_t* end, char*& p, NeedsCare needsCare)
{
    while (end - s >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const int stop = _mm_movemask_epi8(needsCare(v));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
        if (stop != 0) {
            const int plain = __builtin_ctz(unsigned(stop)) / 2;
            s += plain;
            p += plain;
            return;
        }
        s += 8;
        p += 8;
    }
}
#endif

// Writes the text HTML-escaped (&, <, >, ") as UTF-8 at `p`, which has room for escapedRoom()
// bytes; returns the end. Runs of characters that need nothing are copied as they come, one
// byte each, eight at a time where the processor has SSE2.
constexpr qsizetype escapedRoom(qsizetype units)
{
    return units * 6; // "&quot;"; UTF-8 takes at most 3 bytes per code unit
}

char* putEscaped(char* p, QStringView text)
{
    const char16_t* s = text.utf16();
    const char16_t* const end = s + text.size();
    while (s < end) {
#if defined(__SSE2__)
        // Eight code units at a time while they are plain ASCII.
        copyPlainUnits(s, end, p, [](__m128i v) {
            const __m128i special =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('&')),
                                          _mm_cmpeq_epi16(v, _mm_set1_epi16('<'))),
                             _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('>')),
                                          _mm_cmpeq_epi16(v, _mm_set1_epi16('"'))));
            const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(0xff80))),
                                                  _mm_setzero_si128());
            return _mm_or_si128(special, _mm_andnot_si128(ascii, _mm_set1_epi16(-1)));
        });
        if (s == end)
            break;
#endif
        const char16_t u = *s++;
        if (u < 0x80) {
            if (kAscii.plainText[u]) {
                *p++ = char(u);
                continue;
            }
            switch (u) {
            case '&':
                p = put(p, "&amp;");
                break;
            case '<':
                p = put(p, "&lt;");
                break;
            case '>':
                p = put(p, "&gt;");
                break;
            default:
                p = put(p, "&quot;");
                break;
            }
            continue;
        }
        p = putUtf8(p, u, s, end);
    }
    return p;
}

// Writes a link target at `p`, which has room for encodedRoom() bytes: the UTF-8 bytes of the
// path with every byte but the unreserved ones (letters, digits, "-", ".", "_", "~") and the "/"
// between segments percent-encoded. Returns the end.
constexpr qsizetype encodedRoom(qsizetype units)
{
    return units * 9; // at most 3 UTF-8 bytes per code unit, each written as 3
}

char* putEncodedPath(char* p, QStringView path)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const char16_t* s = path.utf16();
    const char16_t* const end = s + path.size();
    while (s < end) {
#if defined(__SSE2__)
        // Eight code units at a time while they are kept as they are: "-", ".", "/" and the
        // digits (0x2d-0x39), the letters (0x41-0x5a, 0x61-0x7a), "_" and "~".
        copyPlainUnits(s, end, p, [](__m128i v) {
            const auto within = [&v](short low, short high) {
                return _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(short(low - 1))),
                                     _mm_cmplt_epi16(v, _mm_set1_epi16(short(high + 1))));
            };
            // Units of 0x8000 and above are negative as signed numbers: in no range.
            const __m128i kept =
                _mm_or_si128(_mm_or_si128(within(0x2d, 0x39), within(0x41, 0x5a)),
                             _mm_or_si128(within(0x61, 0x7a),
                                          _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('_')),
                                                       _mm_cmpeq_epi16(v, _mm_set1_epi16('~')))));
            return _mm_andnot_si128(kept, _mm_set1_epi16(-1));
        });
        if (s == end)
            break;
#endif
        const char16_t u = *s++;
        if (u < 0x80 && kAscii.keptInLink[u]) {
            *p++ = char(u);
            continue;
        }
        char bytes[4];
        char* const last = u < 0x80 ? (bytes[0] = char(u), bytes + 1) : putUtf8(bytes, u, s, end);
        for (const char* b = bytes; b < last; ++b) {
            const auto byte = static_cast<unsigned char>(*b);
            *p++ = '%';
            *p++ = hex[byte >> 4];
            *p++ = hex[byte & 15];
        }
    }
    return p;
}

QStringView shownCategory(const QString& name)
{
    static constexpr QLatin1String all(kAllRecordingsCategory);
    return name.size() == all.size() && name.front() == QLatin1Char(all.front()) && name == all
               ? QStringView(u"All")
               : QStringView(name);
}

// Writes seconds with one decimal and the letter s ("%0.1fs") at `p`, which has room for 32
// bytes, rounded as Qt rounds: to the nearest tenth of the double's exact value, a value exactly
// halfway (such as 0.25) up, where the C library would round it to even. The tenths are worked
// out in integers from the double's bits. Negative, huge and non-finite values take Qt's own
// formatting.
constexpr qsizetype kDurationRoom = 32;

char* putDuration(char* p, double seconds)
{
    if (!std::isfinite(seconds) || std::signbit(seconds) || seconds >= 1e15) {
        const QByteArray text = QByteArray::number(seconds, 'f', 1).left(kDurationRoom - 2);
        std::memcpy(p, text.constData(), size_t(text.size()));
        p += text.size();
        *p++ = 's';
        return p;
    }
    uint64_t tenths = 0;
    if (seconds >= 0.05) { // below, the value rounds to 0.0 (0.05 itself lies just above 1/20)
        // seconds = mantissa * 2^-shift with 4 <= shift <= 57 here (0.05 <= seconds < 2^50).
        const auto bits = std::bit_cast<uint64_t>(seconds);
        const uint64_t mantissa = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
        const int shift = 1075 - int(bits >> 52);
        const uint64_t scaled = mantissa * 10; // below 2^57: exact
        tenths = scaled >> shift;
        const uint64_t rest = scaled & ((uint64_t(1) << shift) - 1);
        if (rest >= uint64_t(1) << (shift - 1))
            ++tenths;
    }
    p = std::to_chars(p, p + 20, tenths / 10).ptr;
    *p++ = '.';
    *p++ = char('0' + tenths % 10);
    *p++ = 's';
    return p;
}

constexpr qsizetype kNumberRoom = 24;

char* putNumber(char* p, long long number)
{
    return std::to_chars(p, p + kNumberRoom, number).ptr;
}

void writeCategories(PageWriter& html, const LibrarySnapshot& library)
{
    html.literal("<html><body><div id=\"categories\"><ul>\n");
    for (const QString& name : library.categories) {
        const QStringView shown = shownCategory(name);
        char* p = html.room(64 + encodedRoom(shown.size()) + escapedRoom(shown.size()));
        p = put(p, "<li><a href=\"/Category/");
        p = putEncodedPath(p, shown);
        p = put(p, "\">");
        p = putEscaped(p, shown);
        p = put(p, "</a></li>\n");
        html.advance(p);
    }
    html.literal("</ul></div></body></html>\n");
}

bool listed(const LibrarySnapshot::RecordingEntry& recording, bool all, const QString& category)
{
    return !recording.hideFromWebSharing && (all || recording.category == category);
}

// A first guess at the bytes of the table: a row of the size a typical memo's takes for every
// recording of "All", a little for any other category (the buffer grows as needed).
qsizetype filesGuess(const LibrarySnapshot& library, const QString& category)
{
    if (category == QLatin1String("All"))
        return 512 + qsizetype(library.recordings.size()) * 240;
    return 4096;
}

void writeFiles(PageWriter& html, const LibrarySnapshot& library, const QString& documentsPath,
                const QString& category)
{
    const QStringView caption =
        category.isNull() ? QStringView(u"(no category selected)") : QStringView(category);
    char* p = html.room(64 + escapedRoom(caption.size()));
    p = put(p, "<html><body><div id=\"files\">\n<table>\n<caption>");
    p = putEscaped(p, caption);
    html.advance(p);
    html.literal("</caption>\n<tr><th>Track Name:</th><th>Recorded:</th><th>Duration:</th>"
                 "<th>Size:</th><th>Category:</th><th>Location:</th><th>Quality:</th>"
                 "<th>File Type:</th><th>Channels:</th></tr>\n");
    if (!category.isNull()) {
        const bool all = category == QLatin1String("All");
        for (const LibrarySnapshot::RecordingEntry& recording : library.recordings) {
            if (!listed(recording, all, category))
                continue;
            // The snapshot carries the size; a snapshot made without sizes is measured here.
            const qint64 size =
                recording.fileSize >= 0
                    ? recording.fileSize
                    : QFileInfo(documentsPath + QLatin1Char('/') + recording.filename).size();
            const QStringView shown = shownCategory(recording.category);
            // Room for the row at its longest, made once; the row is written without checks.
            p = html.room(
                200 + kDurationRoom + kNumberRoom + encodedRoom(recording.filename.size()) +
                escapedRoom(recording.name.size() + recording.dateText.size() + shown.size() +
                            recording.locationString.size() + recording.quality.size()));
            p = put(p, "<tr><td><a href=\"/Documents/");
            p = putEncodedPath(p, recording.filename);
            p = put(p, "\">");
            p = putEscaped(p, recording.name);
            p = put(p, "</a></td>\n<td>");
            p = putEscaped(p, recording.dateText);
            p = put(p, "</td>\n<td>");
            p = putDuration(p, recording.duration);
            p = put(p, "</td>\n<td>");
            p = putNumber(p, size);
            p = put(p, "</td>\n<td>");
            p = putEscaped(p, shown);
            p = put(p, "</td>\n<td>");
            if (recording.locationString.isNull())
                p = put(p, "unknown");
            else
                p = putEscaped(p, recording.locationString);
            p = put(p, "</td>\n<td>");
            p = putEscaped(p, recording.quality);
            p = put(p, "</td>\n<td>wav</td>\n<td>mono</td>\n</tr>\n");
            html.advance(p);
        }
    }
    html.literal("</table></div></body></html>\n");
}

} // namespace

QByteArray SharingPages::categoriesContent(const LibrarySnapshot& library)
{
    PageWriter html(1024);
    writeCategories(html, library);
    return html.finish();
}

QByteArray SharingPages::filesContent(const LibrarySnapshot& library, const QString& documentsPath,
                                      const QString& category)
{
    PageWriter html(filesGuess(library, category));
    writeFiles(html, library, documentsPath, category);
    return html.finish();
}

QByteArray SharingPages::page(const QByteArray& head, const LibrarySnapshot& library,
                              const QString& documentsPath, const QString& category)
{
    PageWriter html(head.size() + 1024 + filesGuess(library, category));
    html.append(head);
    writeCategories(html, library);
    writeFiles(html, library, documentsPath, category);
    return html.finish();
}
