#include "sharing/SharingPages.h"

#include "core/AppDelegate.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>

// The pages are written straight into UTF-8 bytes. Texts made of plain ASCII (nearly all of
// them) are copied byte by byte with the few characters that need it escaped; any other text
// goes through Qt's converters, which give the same bytes the slower way.

namespace {

// Appends text known to be ASCII, one byte per character, in one copy.
void appendAscii(QByteArray& out, const QString& text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char* p = out.data() + at;
    for (const QChar c : text)
        *p++ = char(c.unicode());
}

const QString kAllName = QStringLiteral("All");

// Appends the text HTML-escaped (&, <, >, ") as UTF-8.
void appendEscaped(QByteArray& out, const QString& text)
{
    bool plain = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            out += text.toHtmlEscaped().toUtf8();
            return;
        }
        plain = plain && u != '&' && u != '<' && u != '>' && u != '"';
    }
    if (plain) {
        appendAscii(out, text);
        return;
    }
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += char(c.unicode());
        }
    }
}

// Appends a link target: the UTF-8 bytes of the path with every byte but the unreserved ones
// (letters, digits, "-", ".", "_", "~") and the "/" between segments percent-encoded.
void appendEncodedPath(QByteArray& out, const QString& path)
{
    static const char hex[] = "0123456789ABCDEF";
    auto kept = [](unsigned char b) {
        return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
               b == '-' || b == '.' || b == '_' || b == '~' || b == '/';
    };
    auto append = [&](unsigned char b) {
        if (kept(b)) {
            out += char(b);
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    };
    bool plain = true;
    for (const QChar c : path)
        plain = plain && c.unicode() < 0x80 && kept((unsigned char)c.unicode());
    if (plain) {
        appendAscii(out, path);
        return;
    }
    for (const char b : path.toUtf8())
        append((unsigned char)b);
}

QString shownCategory(const QString& name)
{
    return name == QLatin1String(kAllRecordingsCategory) ? kAllName : name;
}

// Seconds with one decimal and the letter s ("%0.1fs"), rounded as Qt rounds (a tie such as
// 0.25 goes up, where the C library would round it to even).
void appendDuration(QByteArray& out, double seconds)
{
    out += QByteArray::number(seconds, 'f', 1);
    out += 's';
}

void appendNumber(QByteArray& out, long long number)
{
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%lld", number);
    out.append(text, n > 0 ? n : 0);
}

} // namespace

QByteArray SharingPages::categoriesContent(const LibrarySnapshot& library)
{
    QByteArray html = "<html><body><div id=\"categories\"><ul>\n";
    for (const QString& name : library.categories) {
        const QString shown = shownCategory(name);
        html += "<li><a href=\"/Category/";
        appendEncodedPath(html, shown);
        html += "\">";
        appendEscaped(html, shown);
        html += "</a></li>\n";
    }
    html += "</ul></div></body></html>\n";
    return html;
}

QByteArray SharingPages::filesContent(const LibrarySnapshot& library, const QString& documentsPath,
                                      const QString& category)
{
    QByteArray html = "<html><body><div id=\"files\">\n<table>\n<caption>";
    appendEscaped(html, category.isNull() ? QStringLiteral("(no category selected)") : category);
    html += "</caption>\n<tr><th>Track Name:</th><th>Recorded:</th><th>Duration:</th>"
            "<th>Size:</th><th>Category:</th><th>Location:</th><th>Quality:</th>"
            "<th>File Type:</th><th>Channels:</th></tr>\n";
    if (!category.isNull()) {
        const bool all = category == kAllName;
        html.reserve(html.size() + qsizetype(library.recordings.size()) * 230);
        for (const LibrarySnapshot::RecordingEntry& recording : library.recordings) {
            if (recording.hideFromWebSharing || (!all && recording.category != category))
                continue;
            // The snapshot carries the size; a snapshot made without sizes is measured here.
            const qint64 size =
                recording.fileSize >= 0
                    ? recording.fileSize
                    : QFileInfo(documentsPath + QLatin1Char('/') + recording.filename).size();
            html += "<tr><td><a href=\"/Documents/";
            appendEncodedPath(html, recording.filename);
            html += "\">";
            appendEscaped(html, recording.name);
            html += "</a></td>\n<td>";
            appendEscaped(html, recording.dateText);
            html += "</td>\n<td>";
            appendDuration(html, recording.duration);
            html += "</td>\n<td>";
            appendNumber(html, size);
            html += "</td>\n<td>";
            appendEscaped(html, shownCategory(recording.category));
            html += "</td>\n<td>";
            if (recording.locationString.isNull())
                html += "unknown";
            else
                appendEscaped(html, recording.locationString);
            html += "</td>\n<td>";
            appendEscaped(html, recording.quality);
            html += "</td>\n<td>wav</td>\n<td>mono</td>\n</tr>\n";
        }
    }
    html += "</table></div></body></html>\n";
    return html;
}
