// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/WebRequest.h"

#include "sharing/SharingPageCache.h"
#include "sharing/SharingPages.h"

#include "core/Recording.h"
#include "platform/net/RunningInstance.h"
#include "platform/system/DocumentPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <limits>

namespace {

const QByteArray kBadRequest = QByteArrayLiteral("HTTP/1.1 400 Bad Request\r\n\r\n");
const QByteArray kNotFoundBody =
    QByteArrayLiteral("<html><body><h1>Item was not found!</h1></body></html>");

HttpConnection::Answer answerWithHead(const QByteArray& head, const QByteArray& body = {})
{
    HttpConnection::Answer answer;
    answer.head = head;
    answer.body = body;
    return answer;
}

HttpConnection::Answer badRequest()
{
    return answerWithHead(kBadRequest);
}

} // namespace

HttpConnection::Answer WebRequest::notFound()
{
    return answerWithHead(QByteArrayLiteral("HTTP/1.1 404 Not Found\r\nContent-Length: ") +
                              QByteArray::number(kNotFoundBody.size()) +
                              QByteArrayLiteral("\r\nContent-Type: text/html\r\n"
                                                "Connection: close\r\n\r\n"),
                          kNotFoundBody);
}

namespace {

// Replaces %XX escapes and reads the bytes as UTF-8. A malformed escape, bytes that are not
// UTF-8, or a NUL byte make the path unusable: the result is then a null string.
QString percentDecoded(const QString& target)
{
    const QByteArray in = target.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size() || !isxdigit(static_cast<unsigned char>(in[i + 1])) ||
            !isxdigit(static_cast<unsigned char>(in[i + 2])))
            return {};
        out += static_cast<char>(QByteArray(in.constData() + i + 1, 2).toInt(nullptr, 16));
        i += 2;
    }
    if (out.contains('\0'))
        return {};
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString decoded = decoder.decode(out);
    if (decoder.hasError())
        return {};
    return decoded;
}

// The file `name` names inside `folder` once links are followed, if it is a regular file there;
// otherwise empty. A link out of the folder, a directory, a device or a FIFO is "not found".
QString regularFileInside(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return {};
    const QString path = DocumentPath::resolve(folder, name);
    return !path.isEmpty() && DocumentPath::kind(path) == DocumentPath::Kind::Regular ? path
                                                                                      : QString();
}

// The name's extension: what follows the last dot of the last path component.
QString pathExtension(const QString& path)
{
    QString trimmed = path;
    while (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QString last = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : last.mid(dot + 1);
}

QByteArray contentTypeForExtension(const QString& extension)
{
    if (extension == QLatin1String("gif"))
        return "image/gif";
    if (extension == QLatin1String("png"))
        return "image/png";
    if (extension == QLatin1String("html"))
        return "text/html";
    if (extension == QLatin1String("wav"))
        return "audio/wav";
    if (extension == QLatin1String("opus"))
        return "audio/ogg";
    if (extension == QLatin1String("flac"))
        return "audio/flac";
    return "text/plain";
}

bool allDigits(const QString& text)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

enum class RangeKind
{
    Whole,
    Partial,
    Unsatisfiable
};

// Reads a "bytes=first-last", "bytes=first-" or "bytes=-suffix" header value against a file of
// size bytes. Several ranges or a malformed value are ignored: the whole file is sent.
RangeKind parseRange(const QString& value, qint64 size, qint64& first, qint64& last)
{
    if (value.isNull() || !value.startsWith(QLatin1String("bytes="), Qt::CaseInsensitive))
        return RangeKind::Whole;
    const QString rangeSet = value.mid(6).trimmed();
    const qsizetype dash = rangeSet.indexOf(QLatin1Char('-'));
    if (rangeSet.contains(QLatin1Char(',')) || dash < 0)
        return RangeKind::Whole;
    const QString from = rangeSet.left(dash).trimmed();
    const QString to = rangeSet.mid(dash + 1).trimmed();
    if (from.isEmpty()) {
        if (!allDigits(to))
            return RangeKind::Whole;
        const qint64 suffix = to.toLongLong();
        if (suffix == 0 || size == 0)
            return RangeKind::Unsatisfiable;
        first = std::max<qint64>(0, size - suffix);
        last = size - 1;
        return RangeKind::Partial;
    }
    if (!allDigits(from) || (!to.isEmpty() && !allDigits(to)))
        return RangeKind::Whole;
    first = from.toLongLong();
    last = to.isEmpty() ? std::numeric_limits<qint64>::max() : to.toLongLong();
    if (last < first)
        return RangeKind::Whole;
    if (first >= size)
        return RangeKind::Unsatisfiable;
    last = std::min(last, size - 1);
    return RangeKind::Partial;
}

} // namespace

WebRequest::WebRequest(LibrarySnapshotPtr library, QString documentsPath, QString resourcePath,
                       SharingPageCache* pageCache, const ConvertedCopies* copies)
    : m_library(std::move(library))
    , m_documentsPath(std::move(documentsPath))
    , m_resourcePath(std::move(resourcePath))
    , m_pageCache(pageCache)
    , m_copies(copies)
{
}

HttpConnection::Answer WebRequest::answer(const QByteArray& request,
                                          ConvertedCopies::Request* pending) const
{
    // A head longer than the connection reads is refused whole, never answered from a part.
    const qsizetype headLength = HttpConnection::headLength(request);
    if ((headLength < 0 ? request.size() : headLength) > HttpConnection::kHeadLimit)
        return badRequest();
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(request);
    if (decoder.hasError())
        return badRequest();
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    const QStringList parts = lines.first().split(QLatin1Char(' '));
    if (parts.size() != 3 || parts[0] != QLatin1String("GET") ||
        !parts[2].startsWith(QLatin1String("HTTP/")))
        return badRequest();

    QString rangeHeader;
    for (qsizetype i = 1; i < lines.size() && !lines[i].isEmpty(); ++i) {
        if (lines[i].startsWith(QLatin1String("Range:"), Qt::CaseInsensitive)) {
            rangeHeader = lines[i].mid(6).trimmed();
            break;
        }
    }

    const QString decodedPath = percentDecoded(parts[1]);
    if (decodedPath.isEmpty())
        return notFound();

    // Path components: a leading "/" of its own, then the non-empty names; ".." is dropped.
    QStringList components;
    if (decodedPath.startsWith(QLatin1Char('/')))
        components << QStringLiteral("/");
    for (const QString& name : decodedPath.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (name != QLatin1String(".."))
            components << name;

    const QString& web = m_resourcePath;
    const bool rooted = !components.isEmpty() && components[0] == QLatin1String("/");
    if (rooted && components.size() == 1)
        return pageAnswer(QStringLiteral("index.html"), QString());
    if (rooted && components.size() == 2 && components[1].contains(QLatin1String("index.html")))
        return pageAnswer(components[1], QString());
    if (rooted && components.size() == 3 && components[1] == QLatin1String("Category"))
        return pageAnswer(QStringLiteral("index.html"), components[2]);
    if (rooted && components.size() >= 2 && components[1] == QLatin1String("Documents")) {
        if (m_documentsPath.isEmpty() || components.size() == 2 ||
            isPrivateDocument(components.mid(2).join('/')))
            return notFound();
        const QString name = components.mid(2).join('/');
        // A file of that name in the documents folder is served as it is; otherwise the name
        // may stand for a memo's converted copy.
        if (m_copies && m_library && regularFileInside(m_documentsPath, name).isEmpty()) {
            if (const auto copy = m_copies->requestFor(*m_library, name)) {
                if (DocumentPath::kind(copy->copyPath) == DocumentPath::Kind::Regular)
                    return fileAnswer(m_copies->cacheFolder(), QFileInfo(copy->copyPath).fileName(),
                                      decodedPath, rangeHeader);
                if (pending) {
                    *pending = *copy;
                    return {};
                }
            }
            return notFound();
        }
        return fileAnswer(m_documentsPath, name, decodedPath, rangeHeader);
    }
    if (web.isEmpty())
        return notFound();
    const QStringList names = rooted ? components.mid(1) : components;
    if (names.isEmpty())
        return notFound();
    return fileAnswer(web, names.join(QLatin1Char('/')), decodedPath, rangeHeader);
}

bool WebRequest::isPrivateDocument(const QString& name) const
{
    const QString path = regularFileInside(m_documentsPath, name);
    if (path.isEmpty())
        return false; // not served anyway
    const QString relative =
        QDir(QFileInfo(m_documentsPath).canonicalFilePath()).relativeFilePath(path);
    // The archives hold every memo's name, hidden ones too; so do the copies set aside and the
    // files a save writes before it renames them. The lock file names this machine and process.
    for (const QLatin1String own :
         {QLatin1String("recordings.plist"), QLatin1String("categories.plist"),
          QLatin1String(RunningInstance::kLockFileName)})
        if (relative.startsWith(own))
            return true;
    if (m_library) {
        for (const auto& recording : m_library->recordings)
            if (recording.hideFromWebSharing &&
                relative == Recording::photoFilenameFor(recording.filename))
                return true;
    }
    return false;
}

HttpConnection::Answer WebRequest::pageAnswer(const QString& headName,
                                              const QString& category) const
{
    const QString headFile = regularFileInside(m_resourcePath, headName);
    const LibrarySnapshot empty;
    const LibrarySnapshot& library = m_library ? *m_library : empty;
    const auto pageHead = [](qint64 length) {
        QByteArray head;
        head.reserve(96);
        head += "HTTP/1.1 200 OK\r\nContent-Length: ";
        head += QByteArray::number(length);
        head += "\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n";
        return head;
    };
    if (!m_pageCache) {
        QByteArray headBytes;
        if (!headFile.isEmpty()) {
            QFile head(headFile);
            if (head.open(QIODevice::ReadOnly))
                headBytes = head.readAll();
        }
        const QByteArray body = SharingPages::page(headBytes, library, m_documentsPath, category);
        return answerWithHead(pageHead(body.size()), body);
    }
    // The head file comes from the cache while it stays unchanged; so does the whole page while
    // the snapshot stays, as the kept page's in-memory file, which the connection hands to the
    // kernel with sendfile: the page is never copied for an answer.
    const QByteArray headBytes = m_pageCache->headFile(headFile);
    if (auto file = m_pageCache->pageFile(library, m_documentsPath, category, headBytes)) {
        HttpConnection::Answer answer;
        answer.fileLength = file->size();
        answer.head = pageHead(answer.fileLength);
        answer.file = std::move(file);
        return answer;
    }
    const QByteArray body = m_pageCache->page(library, m_documentsPath, category, headBytes);
    return answerWithHead(pageHead(body.size()), body);
}

HttpConnection::Answer WebRequest::serviceUnavailable()
{
    // A protocol answer, the same in every language of the program (the window's texts follow
    // the system language; what goes over the wire does not).
    const QByteArray body = QByteArrayLiteral("<html><body><h1>Too many connections. Please try "
                                              "again in a moment.</h1></body></html>");
    return answerWithHead(
        QByteArrayLiteral("HTTP/1.1 503 Service Unavailable\r\nContent-Length: ") +
            QByteArray::number(body.size()) +
            QByteArrayLiteral("\r\nContent-Type: text/html; charset=utf-8\r\n"
                              "Retry-After: 5\r\nConnection: close\r\n\r\n"),
        body);
}

HttpConnection::Answer WebRequest::fileAnswer(const QString& folder, const QString& name,
                                              const QString& decodedPath,
                                              const QString& rangeHeader) const
{
    const QString path = regularFileInside(folder, name);
    if (path.isEmpty())
        return notFound();
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return notFound();
    const qint64 size = file->size();
    const QByteArray type = contentTypeForExtension(pathExtension(decodedPath));

    qint64 first = 0;
    qint64 last = size - 1;
    switch (parseRange(rangeHeader, size, first, last)) {
    case RangeKind::Unsatisfiable:
        return answerWithHead(QByteArrayLiteral("HTTP/1.1 416 Range Not Satisfiable\r\n"
                                                "Content-Length: 0\r\nContent-Range: bytes */") +
                              QByteArray::number(size) +
                              QByteArrayLiteral("\r\nAccept-Ranges: bytes\r\n"
                                                "Connection: close\r\n\r\n"));
    case RangeKind::Partial: {
        HttpConnection::Answer answer;
        answer.head = QByteArrayLiteral("HTTP/1.1 206 Partial Content\r\nContent-Length: ") +
                      QByteArray::number(last - first + 1) +
                      QByteArrayLiteral("\r\nContent-Type: ") + type +
                      QByteArrayLiteral("\r\nContent-Range: bytes ") + QByteArray::number(first) +
                      '-' + QByteArray::number(last) + '/' + QByteArray::number(size) +
                      QByteArrayLiteral("\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n");
        answer.file = std::move(file);
        answer.fileOffset = first;
        answer.fileLength = last - first + 1;
        return answer;
    }
    case RangeKind::Whole:
        break;
    }
    HttpConnection::Answer answer;
    answer.head = QByteArrayLiteral("HTTP/1.1 200 OK\r\nContent-Length: ") +
                  QByteArray::number(size) + QByteArrayLiteral("\r\nContent-Type: ") + type +
                  QByteArrayLiteral("\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n");
    answer.file = std::move(file);
    answer.fileLength = size;
    return answer;
}
