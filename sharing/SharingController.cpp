// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/SharingController.h"

#include "core/AppDelegate.h"
#include "platform/net/HostAddresses.h"
#include "platform/system/Bundle.h"
#include "platform/system/DeviceName.h"
#include "platform/system/PlainEventDispatcher.h"
#include "sharing/SharingLog.h"
#include "sharing/SharingPages.h"
#include "sharing/WebRequest.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kListenBacklog = 10;
constexpr qint64 kDrainMilliseconds = 2000;

} // namespace

SharingController::SharingController(AppDelegate* appDelegate, QObject* parent)
    : QObject(parent)
    , myAppDel(appDelegate)
    , m_copies(QString(), QString())
{
    m_env.librarySnapshot = [appDelegate] { return appDelegate->librarySnapshot(); };
    m_env.documentsPath = appDelegate->documentsPath();
    m_env.resourcePath = defaultResourcePath();
    m_env.cacheFolder = ConvertedCopies::defaultCacheFolder(m_env.documentsPath);
    awakeFromNib();
}

SharingController::SharingController(Environment environment, QObject* parent)
    : QObject(parent)
    , m_env(std::move(environment))
    , m_copies(m_env.documentsPath, m_env.cacheFolder)
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
    m_copies = ConvertedCopies(m_env.documentsPath, m_env.cacheFolder);
    // The pages are sent from files of their own beside the converted copies (nameless files,
    // gone with the page), or from memory when there is no cache folder.
    m_pageCache.setFileFolder(m_env.cacheFolder);
}

QString SharingController::deviceName()
{
    return DeviceName::current();
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
        PlainEventDispatcher::install(m_thread.get());
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
    QObject context;
    m_serviceContext = &context;
    if (!listeningSocket.isOpen() && !openListeningSocket()) {
        m_serviceContext = nullptr;
        return;
    }
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
        // With every place taken and as many refusals under way, the rest wait in the listen
        // queue until the next poll tick.
        if (m_refusals >= m_env.maxConnections) {
            m_acceptNotifier->setEnabled(false);
            return;
        }
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
    connection->onFinished = [this](HttpConnection* c) { closeTheConnection(c); };
    Connection entry;
    entry.connection = connection;
    entry.window.start();
    entry.refusal = int(m_connections.size()) - m_refusals >= m_env.maxConnections;
    m_connections.push_back(entry);
    if (entry.refusal) {
        // The browser is told at once that the server is busy rather than left waiting for an
        // answer; the refusal is a few hundred bytes and ends within the drain time.
        ++m_refusals;
        connection->send(WebRequest::serviceUnavailable());
        return;
    }
    connection->onRequest = [this](HttpConnection* c, const QByteArray& data) {
        dataIsReady(c, data);
    };
}

void SharingController::dataIsReady(HttpConnection* connection, const QByteArray& data)
{
    if (data.isEmpty()) {
        closeTheConnection(connection); // the peer closed without a request
        return;
    }
    const auto it = findConnection(connection);
    if (it != m_connections.end())
        it->window.restart(); // the rate is measured from the answer's start
    const LibrarySnapshotPtr library = currentLibrary();
    if (library != m_prunedLibrary)
        pruneCopies(library);
    ConvertedCopies::Request pending;
    HttpConnection::Answer answer = answerForRequest(data, &pending);
    if (pending.copyPath.isEmpty())
        connection->send(std::move(answer));
    else if (m_failedCopies.count(pending.copyPath))
        connection->send(WebRequest::notFound());
    else
        waitForCopy(connection, data, pending);
}

void SharingController::waitForCopy(HttpConnection* connection, const QByteArray& request,
                                    const ConvertedCopies::Request& copy)
{
    WaitingRequest& waiting = m_waiting[connection];
    waiting.request = request;
    waiting.copyPath = copy.copyPath;
    waiting.since.start();
    if (m_copyJobs.count(copy.copyPath))
        return; // being made for an earlier request
    CopyJob& job = m_copyJobs[copy.copyPath];
    job.cancel = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> cancel = job.cancel;
    QObject* context = m_serviceContext;
    job.thread.reset(QThread::create([this, copy, cancel, context] {
        const bool ok = ConvertedCopies::convert(copy, cancel.get());
        QMetaObject::invokeMethod(
            context, [this, path = copy.copyPath, ok] { copyFinished(path, ok); },
            Qt::QueuedConnection);
    }));
    job.thread->start();
}

void SharingController::copyFinished(const QString& copyPath, bool ok)
{
    const auto job = m_copyJobs.find(copyPath);
    if (job != m_copyJobs.end()) {
        job->second.thread->wait();
        m_copyJobs.erase(job);
    }
    // Copies the new one replaces (an earlier state of the memo) go before anyone is answered.
    pruneCopies(currentLibrary());
    if (!ok)
        m_failedCopies.insert(copyPath);
    std::vector<std::pair<HttpConnection*, QByteArray>> ready;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (it->second.copyPath == copyPath) {
            ready.emplace_back(it->first, it->second.request);
            it = m_waiting.erase(it);
        } else {
            ++it;
        }
    }
    // Asked again: the copy is served now, or is "not found" when it could not be made; a memo
    // that changed meanwhile needs a newer copy, which the request waits for in turn.
    for (const auto& [connection, request] : ready) {
        ConvertedCopies::Request pending;
        HttpConnection::Answer answer = answerForRequest(request, &pending);
        if (pending.copyPath.isEmpty())
            connection->send(std::move(answer));
        else if (m_failedCopies.count(pending.copyPath))
            connection->send(WebRequest::notFound());
        else
            waitForCopy(connection, request, pending);
    }
}

void SharingController::answerLateCopyRequests()
{
    const qint64 limit = std::min<qint64>(m_env.copyWait.count(), m_env.stallTimeout.count() / 2);
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (it->second.since.elapsed() < limit) {
            ++it;
            continue;
        }
        HttpConnection* connection = it->first;
        it = m_waiting.erase(it);
        connection->send(WebRequest::serviceUnavailable());
    }
}

void SharingController::pruneCopies(const LibrarySnapshotPtr& library)
{
    m_prunedLibrary = library;
    m_copies.prune(*library);
    // A memo that failed may have been repaired since; its new size or time makes a new name,
    // and the old names are of no use any more.
    m_failedCopies.clear();
}

std::vector<SharingController::Connection>::iterator
SharingController::findConnection(HttpConnection* connection)
{
    return std::find_if(m_connections.begin(), m_connections.end(),
                        [connection](const Connection& c) { return c.connection == connection; });
}

void SharingController::closeTheConnection(HttpConnection* connection)
{
    const auto it = findConnection(connection);
    if (it == m_connections.end())
        return; // already closed
    if (it->refusal)
        --m_refusals;
    m_connections.erase(it);
    m_waiting.erase(connection);
    connection->close();
    connection->deleteLater();
}

void SharingController::closeStalledConnections()
{
    if (m_acceptNotifier && !m_acceptNotifier->isEnabled())
        m_acceptNotifier->setEnabled(true);
    answerLateCopyRequests();
    const qint64 stall = m_env.stallTimeout.count();
    std::vector<HttpConnection*> stalled;
    for (Connection& entry : m_connections) {
        HttpConnection* connection = entry.connection;
        const HttpConnection::State state = connection->state();
        const qint64 limit =
            state == HttpConnection::State::Draining ? std::min(stall, kDrainMilliseconds) : stall;
        if (connection->millisecondsSinceProgress() >= limit) {
            stalled.push_back(connection);
            continue;
        }
        const qint64 elapsed = entry.window.elapsed();
        if (state != HttpConnection::State::Writing || elapsed < stall)
            continue;
        const qint64 moved = connection->bytesSent() - entry.windowStartBytes;
        if (moved * 1000 < m_env.minimumBytesPerSecond * elapsed) {
            stalled.push_back(connection);
            continue;
        }
        entry.window.restart();
        entry.windowStartBytes = connection->bytesSent();
    }
    for (HttpConnection* connection : stalled)
        closeTheConnection(connection);
}

void SharingController::stopListening()
{
    delete m_acceptNotifier;
    m_acceptNotifier = nullptr;
    listeningSocket.close();
}

void SharingController::windDown()
{
    for (auto& [path, job] : m_copyJobs)
        job.cancel->store(true);
    for (auto& [path, job] : m_copyJobs)
        job.thread->wait();
    m_copyJobs.clear();
    m_waiting.clear();
    m_failedCopies.clear();
    m_prunedLibrary.reset();
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
    for (const Connection& entry : m_connections)
        delete entry.connection;
    m_connections.clear();
    m_refusals = 0;
    // Objects dropped from their own callbacks are freed before the thread ends.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_serviceContext = nullptr;
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
    const QString port = QString::number(m_tcpPort.load());
    const QString hostURL = QStringLiteral("http://%1:%2").arg(sender->hostName(), port);
    const QString address = sender->firstIPv4Address();
    const QString rawURL = QStringLiteral("http://%1:%2")
                               .arg(address.isEmpty() ? QStringLiteral("0.0.0.0") : address, port);
    finishResolving(sender);
    publishURLs(hostURL, rawURL);
}

void SharingController::publishURLs(const QString& hostURL, const QString& rawURL)
{
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
    qCWarning(lcSharing, "Could not resolve: %s", qUtf8Printable(sender->name()));
    finishResolving(sender);
}

void SharingController::netServiceDidNotPublish(NetService* sender, const QVariantMap& errorDict)
{
    const int code =
        errorDict.value(QString::fromLatin1(NetService::kNetServicesErrorCode)).toInt();
    if (code == NetService::kNetServicesCollisionError)
        qCWarning(lcSharing, "A name collision occurred. A service is already running with that "
                             "name someplace else.");
    else
        qCWarning(lcSharing,
                  "An unknown error occurred while trying to publish service via Bonjour.");
    if (sender == netService) {
        netService->deleteLater();
        netService = nullptr;
    }
    // The server goes on serving: browsers reach it by this machine's numeric address.
    const QStringList addresses =
        m_env.hostAddresses ? m_env.hostAddresses() : HostAddresses::ipv4();
    const QString port = QString::number(m_tcpPort.load());
    const QString rawURL =
        QStringLiteral("http://%1:%2")
            .arg(addresses.isEmpty() ? QStringLiteral("127.0.0.1") : addresses.first(), port);
    const QString why = code == NetService::kNetServicesCollisionError
                            ? QStringLiteral("the name %1 is taken").arg(m_serviceName)
                            : QStringLiteral("no mDNS daemon (avahi-daemon) answers");
    qCWarning(lcSharing).noquote()
        << QStringLiteral("Bonjour is unavailable (%1): browsers must use the numeric address %2 "
                          "(this machine's addresses: %3).")
               .arg(why, rawURL,
                    addresses.isEmpty() ? QStringLiteral("none but loopback")
                                        : addresses.join(QStringLiteral(", ")));
    publishURLs(QString(), rawURL);
}

void SharingController::netServiceDidStop(NetService*)
{
    // The service object is dropped when the service thread winds down.
}

// ---- Requests (service thread) and pages ----

LibrarySnapshotPtr SharingController::currentLibrary() const
{
    const LibrarySnapshotPtr snapshot = m_env.librarySnapshot ? m_env.librarySnapshot() : nullptr;
    return snapshot ? snapshot : std::make_shared<const LibrarySnapshot>();
}

HttpConnection::Answer SharingController::answerForRequest(const QByteArray& request,
                                                           ConvertedCopies::Request* pending) const
{
    return WebRequest(currentLibrary(), m_myDocumentsPath, m_myResourcePath, &m_pageCache,
                      &m_copies)
        .answer(request, pending);
}

QByteArray SharingController::generateCategoriesContent() const
{
    return SharingPages::categoriesContent(*currentLibrary());
}

QByteArray SharingController::generateFilesContent(const QString& category) const
{
    return SharingPages::filesContent(*currentLibrary(), m_myDocumentsPath, category);
}

QByteArray SharingController::generateCategoriesContent(const LibrarySnapshot& library)
{
    return SharingPages::categoriesContent(library);
}

QByteArray SharingController::generateFilesContent(const LibrarySnapshot& library,
                                                   const QString& documentsPath,
                                                   const QString& category)
{
    return SharingPages::filesContent(library, documentsPath, category);
}
