#include "sharing/SharingController.h"

#include "platform/system/Bundle.h"

#include "core/AppDelegate.h"
#include "platform/system/Bundle.h"
#include "sharing/ExportController.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <limits>

namespace {

constexpr int kListenBacklog = 10;
constexpr qint64 kDrainMilliseconds = 2000;

const QString kAllRecordingsName = QStringLiteral("*****");
const QString kAllName = QStringLiteral("All");

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

HttpConnection::Answer notFound()
{
    return answerWithHead(QByteArrayLiteral("HTTP/1.1 404 Not Found\r\nContent-Length: ") +
                              QByteArray::number(kNotFoundBody.size()) +
                              QByteArrayLiteral("\r\nContent-Type: text/html\r\n"
                                                "Connection: close\r\n\r\n"),
                          kNotFoundBody);
}

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

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

// A link target: each path segment percent-encoded as UTF-8.
QString encodedPath(const QString& path)
{
    QStringList segments = path.split(QLatin1Char('/'));
    for (QString& segment : segments)
        segment = QString::fromLatin1(QUrl::toPercentEncoding(segment));
    return segments.join(QLatin1Char('/'));
}

QString shownCategory(const QString& name)
{
    return name == kAllRecordingsName ? kAllName : name;
}

} // namespace

SharingController::SharingController(AppDelegate* appDelegate, QObject* parent)
    : QObject(parent)
    , myAppDel(appDelegate)
{
    m_env.librarySnapshot = [appDelegate] { return appDelegate->librarySnapshot(); };
    m_env.documentsPath = appDelegate->documentsPath();
    m_env.resourcePath = defaultResourcePath();
    m_env.urlListener = [appDelegate] {
        if (appDelegate->exportController)
            appDelegate->exportController->urlDataIsReady();
    };
    awakeFromNib();
}

SharingController::SharingController(Environment environment, QObject* parent)
    : QObject(parent)
    , m_env(std::move(environment))
{
    awakeFromNib();
}

SharingController::~SharingController()
{
    cancelCurrentOperation = true;
    m_brokenPipeGuard.uninstall();
    if (m_thread)
        m_thread->wait();
}

void SharingController::awakeFromNib()
{
    const QString device = m_env.deviceName.isEmpty() ? deviceName() : m_env.deviceName;
    m_serviceName = QStringLiteral("%1@%2").arg(QStringLiteral("Sonavell"), device);
    m_myResourcePath = m_env.resourcePath;
    m_myDocumentsPath = m_env.documentsPath;
}

QString SharingController::deviceName()
{
    QFile machineInfo(QStringLiteral("/etc/machine-info"));
    if (machineInfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : machineInfo.readAll().split('\n')) {
            if (!line.startsWith("PRETTY_HOSTNAME="))
                continue;
            QString value = QString::fromUtf8(line.mid(16)).trimmed();
            if (value.size() >= 2 &&
                (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))))
                value = value.mid(1, value.size() - 2);
            if (!value.isEmpty())
                return value;
        }
    }
    return QSysInfo::machineHostName();
}

QString SharingController::defaultResourcePath()
{
    return Bundle::resourceDirectory(QStringLiteral("web"));
}

bool SharingController::isServiceThreadRunning() const
{
    return m_thread && !m_thread->isFinished();
}

// ---- Switching (main thread) ----

void SharingController::toggleSharing(bool on)
{
    if (on) {
        if (m_sharingOn)
            return;
        m_sharingOn = true;
        // The previous thread may still be winding down: it must be gone before a new one
        // opens the socket and publishes the service.
        if (m_thread) {
            m_thread->wait();
            m_thread.reset();
        }
        cancelCurrentOperation = false;
        m_tcpPort = 0;
        m_threadGeneration = ++m_generation;
        m_thread.reset(QThread::create([this] { serviceThread(); }));
        m_thread->start();
        m_brokenPipeGuard.install();
    } else {
        m_sharingOn = false;
        cancelCurrentOperation = true;
        m_brokenPipeGuard.uninstall();
        m_myPublicRawURL = QString::fromLatin1("");
        m_myPublicHostNameURL = QString::fromLatin1("");
        notifyURLListener();
    }
}

void SharingController::notifyURLListener()
{
    if (m_env.urlListener)
        m_env.urlListener();
    emit urlDataChanged();
}

// ---- Service thread ----

void SharingController::serviceThread()
{
    QEventLoop loop;
    if (!listeningSocket.isOpen() && !openListeningSocket())
        return;
    if (!netService && m_env.announce) {
        netService = new NetService(QStringLiteral("local."), QStringLiteral("_http._tcp."),
                                    m_serviceName, m_tcpPort.load());
        netService->setDelegate(this);
    }
    if ((netService || !m_env.announce) && listeningSocket.isOpen()) {
        m_acceptNotifier = new QSocketNotifier(listeningSocket.descriptor(), QSocketNotifier::Read);
        connect(m_acceptNotifier, &QSocketNotifier::activated, m_acceptNotifier,
                [this] { acceptConnections(); });
        if (netService)
            netService->publish();
    }

    QTimer poll;
    poll.setInterval(kPollInterval);
    connect(&poll, &QTimer::timeout, &poll, [this, &loop] {
        if (cancelCurrentOperation)
            loop.quit();
        else
            closeStalledConnections();
    });
    poll.start();
    if (!cancelCurrentOperation)
        loop.exec();
    windDown();
}

bool SharingController::openListeningSocket()
{
    if (!listeningSocket.open(m_env.listenPort, kListenBacklog))
        return false;
    m_tcpPort = listeningSocket.port();
    return true;
}

void SharingController::acceptConnections()
{
    int fd = -1;
    for (;;) {
        switch (listeningSocket.acceptConnection(fd)) {
        case ListeningSocket::Accept::Connection:
            connectionReceived(fd);
            continue;
        case ListeningSocket::Accept::OutOfDescriptors:
            // Pause accepting until the next poll tick frees some.
            m_acceptNotifier->setEnabled(false);
            return;
        case ListeningSocket::Accept::NoneWaiting:
            return;
        }
    }
}

void SharingController::connectionReceived(int socketDescriptor)
{
    auto* connection = new HttpConnection(socketDescriptor);
    connection->onRequest = [this](HttpConnection* c, const QByteArray& data) {
        dataIsReady(c, data);
    };
    connection->onFinished = [this](HttpConnection* c) { closeTheConnection(c); };
    m_connections.push_back(connection);
}

void SharingController::dataIsReady(HttpConnection* connection, const QByteArray& data)
{
    if (data.isEmpty()) {
        closeTheConnection(connection); // the peer closed without a request
        return;
    }
    connection->send(answerForRequest(data));
}

void SharingController::closeTheConnection(HttpConnection* connection)
{
    const auto it = std::find(m_connections.begin(), m_connections.end(), connection);
    if (it == m_connections.end())
        return; // already closed
    m_connections.erase(it);
    connection->close();
    connection->deleteLater();
}

void SharingController::closeStalledConnections()
{
    if (m_acceptNotifier && !m_acceptNotifier->isEnabled())
        m_acceptNotifier->setEnabled(true);
    const qint64 stall = m_env.stallTimeout.count();
    const std::vector<HttpConnection*> connections = m_connections;
    for (HttpConnection* connection : connections) {
        const qint64 limit = connection->state() == HttpConnection::State::Draining
                                 ? std::min(stall, kDrainMilliseconds)
                                 : stall;
        if (connection->millisecondsSinceProgress() >= limit)
            closeTheConnection(connection);
    }
}

void SharingController::stopListening()
{
    delete m_acceptNotifier;
    m_acceptNotifier = nullptr;
    listeningSocket.close();
}

void SharingController::windDown()
{
    if (netService) {
        netService->stop();
        delete netService;
        netService = nullptr;
    }
    delete m_ownService;
    m_ownService = nullptr;
    delete netServiceBrowser;
    netServiceBrowser = nullptr;
    stopListening();
    for (HttpConnection* connection : m_connections)
        delete connection;
    m_connections.clear();
    // Objects dropped from their own callbacks are freed before the thread ends.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ---- Bonjour (service thread) ----

void SharingController::netServiceDidPublish(NetService*)
{
    if (netServiceBrowser)
        return;
    netServiceBrowser = new NetServiceBrowser;
    netServiceBrowser->setDelegate(this);
    netServiceBrowser->searchForServicesOfType(QStringLiteral("_http._tcp."),
                                               QStringLiteral("local."));
}

void SharingController::netServiceBrowserDidFindService(NetServiceBrowser*,
                                                        std::unique_ptr<NetService> service, bool)
{
    // Only the own service matters, and only once.
    if (service->name() != m_serviceName || m_ownService)
        return;
    m_ownService = service.release();
    m_ownService->setDelegate(this);
    m_ownService->resolveWithTimeout(5.0);
}

// The own address is resolved once per switch-on: the resolving service and the browser that
// found it are dropped when the answer (or the failure) has come.
void SharingController::finishResolving(NetService* sender)
{
    if (sender == m_ownService) {
        m_ownService->deleteLater();
        m_ownService = nullptr;
    }
    if (netServiceBrowser) {
        netServiceBrowser->stop();
        netServiceBrowser->deleteLater();
        netServiceBrowser = nullptr;
    }
}

void SharingController::netServiceDidResolveAddress(NetService* sender)
{
    const QString hostURL = QStringLiteral("http://%1:8080").arg(sender->hostName());
    const QString address = sender->firstIPv4Address();
    const QString rawURL = QStringLiteral("http://%1:8080")
                               .arg(address.isEmpty() ? QStringLiteral("0.0.0.0") : address);
    finishResolving(sender);
    // The main thread takes the URLs over, unless sharing was switched off (or off and on
    // again) in the meantime.
    const quint64 generation = m_threadGeneration;
    QMetaObject::invokeMethod(
        this,
        [this, generation, hostURL, rawURL] {
            if (generation != m_generation || !m_sharingOn)
                return;
            m_myPublicHostNameURL = hostURL;
            m_myPublicRawURL = rawURL;
            notifyURLListener();
        },
        Qt::QueuedConnection);
}

void SharingController::netServiceDidNotResolve(NetService* sender, const QVariantMap&)
{
    qInfo("Could not resolve: %s", qUtf8Printable(sender->name()));
    finishResolving(sender);
}

void SharingController::netServiceDidNotPublish(NetService* sender, const QVariantMap& errorDict)
{
    const int code =
        errorDict.value(QString::fromLatin1(NetService::kNetServicesErrorCode)).toInt();
    if (code == NetService::kNetServicesCollisionError)
        qInfo("A name collision occurred. A service is already running with that name "
              "someplace else.");
    else
        qInfo("An unknown error occurred while trying to publish service via Bonjour.");
    // No further connections are accepted until sharing is switched off and on again.
    stopListening();
    if (sender == netService) {
        netService->deleteLater();
        netService = nullptr;
    }
}

void SharingController::netServiceDidStop(NetService*)
{
    // The service object is dropped when the service thread winds down.
}

// ---- Requests (service thread) ----

HttpConnection::Answer SharingController::answerForRequest(const QByteArray& request) const
{
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

    const QString& web = m_myResourcePath;
    const bool rooted = !components.isEmpty() && components[0] == QLatin1String("/");
    if (rooted && components.size() == 1)
        return pageAnswer(web + QStringLiteral("/index.html"), QString());
    if (rooted && components.size() == 2 && components[1].contains(QLatin1String("index.html")))
        return pageAnswer(web + QLatin1Char('/') + components[1], QString());
    if (rooted && components.size() == 3 && components[1] == QLatin1String("Category"))
        return pageAnswer(web + QStringLiteral("/index.html"), components[2]);
    if (rooted && components.size() >= 2 && components[1] == QLatin1String("Documents")) {
        if (m_myDocumentsPath.isEmpty() || components.size() == 2)
            return notFound();
        return fileAnswer(m_myDocumentsPath + QLatin1Char('/') + components.mid(2).join('/'),
                          decodedPath, rangeHeader);
    }
    if (web.isEmpty())
        return notFound();
    const QStringList names = rooted ? components.mid(1) : components;
    if (names.isEmpty())
        return notFound();
    return fileAnswer(web + QLatin1Char('/') + names.join(QLatin1Char('/')), decodedPath,
                      rangeHeader);
}

HttpConnection::Answer SharingController::pageAnswer(const QString& headFile,
                                                     const QString& category) const
{
    QByteArray body;
    if (!m_myResourcePath.isEmpty() && QFileInfo(headFile).isFile()) {
        QFile head(headFile);
        if (head.open(QIODevice::ReadOnly))
            body = head.readAll();
    }
    const LibrarySnapshotPtr snapshot = m_env.librarySnapshot ? m_env.librarySnapshot() : nullptr;
    const LibrarySnapshot empty;
    const LibrarySnapshot& library = snapshot ? *snapshot : empty;
    body += generateCategoriesContent(library);
    body += generateFilesContent(library, m_myDocumentsPath, category);
    return answerWithHead(QByteArrayLiteral("HTTP/1.1 200 OK\r\nContent-Length: ") +
                              QByteArray::number(body.size()) +
                              QByteArrayLiteral("\r\nContent-Type: text/html\r\n"
                                                "Connection: close\r\n\r\n"),
                          body);
}

HttpConnection::Answer SharingController::fileAnswer(const QString& path,
                                                     const QString& decodedPath,
                                                     const QString& rangeHeader) const
{
    // Only regular files: a directory or a device or pipe under the folder is "not found".
    if (!QFileInfo(path).isFile())
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

// ---- Pages ----

QByteArray SharingController::generateCategoriesContent() const
{
    const LibrarySnapshotPtr snapshot = m_env.librarySnapshot ? m_env.librarySnapshot() : nullptr;
    return generateCategoriesContent(snapshot ? *snapshot : LibrarySnapshot());
}

QByteArray SharingController::generateFilesContent(const QString& category) const
{
    const LibrarySnapshotPtr snapshot = m_env.librarySnapshot ? m_env.librarySnapshot() : nullptr;
    return generateFilesContent(snapshot ? *snapshot : LibrarySnapshot(), m_myDocumentsPath,
                                category);
}

QByteArray SharingController::generateCategoriesContent(const LibrarySnapshot& library)
{
    QString html = QStringLiteral("<html><body><div id=\"categories\"><ul>\n");
    for (const QString& name : library.categories) {
        const QString shown = shownCategory(name);
        html += QStringLiteral("<li><a href=\"/Category/%1\">%2</a></li>\n")
                    .arg(encodedPath(shown), escaped(shown));
    }
    html += QStringLiteral("</ul></div></body></html>\n");
    return html.toUtf8();
}

QByteArray SharingController::generateFilesContent(const LibrarySnapshot& library,
                                                   const QString& documentsPath,
                                                   const QString& category)
{
    QString html = QStringLiteral("<html><body><div id=\"files\">\n");
    html +=
        QStringLiteral("<table>\n<caption>%1</caption>\n<tr><th>Track Name:</th><th>Recorded:</th>"
                       "<th>Duration:</th><th>Size:</th><th>Category:</th><th>Location:</th>"
                       "<th>Quality:</th><th>File Type:</th><th>Channels:</th></tr>\n")
            .arg(escaped(category.isNull() ? QStringLiteral("(no category selected)") : category));
    if (!category.isNull()) {
        const bool all = category == kAllName;
        for (const LibrarySnapshot::RecordingEntry& recording : library.recordings) {
            if (recording.hideFromWebSharing || (!all && recording.category != category))
                continue;
            const qint64 size =
                QFileInfo(documentsPath + QLatin1Char('/') + recording.filename).size();
            html += QStringLiteral("<tr><td><a href=\"/Documents/") +
                    encodedPath(recording.filename) + QStringLiteral("\">") +
                    escaped(recording.name) + QStringLiteral("</a></td>\n<td>") +
                    escaped(recording.dateText) + QStringLiteral("</td>\n<td>") +
                    QString::asprintf("%0.1fs", recording.duration) +
                    QStringLiteral("</td>\n<td>") + QString::number(size) +
                    QStringLiteral("</td>\n<td>") + escaped(shownCategory(recording.category)) +
                    QStringLiteral("</td>\n<td>") +
                    escaped(recording.locationString.isNull() ? QStringLiteral("unknown")
                                                              : recording.locationString) +
                    QStringLiteral("</td>\n<td>") + escaped(recording.quality) +
                    QStringLiteral("</td>\n<td>wav</td>\n<td>mono</td>\n</tr>\n");
        }
    }
    html += QStringLiteral("</table></div></body></html>\n");
    return html.toUtf8();
}
