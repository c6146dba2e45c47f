// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"
#include "platform/net/BrokenPipeGuard.h"
#include "platform/net/HttpConnection.h"
#include "platform/net/ListeningSocket.h"
#include "platform/net/NetService.h"
#include "platform/net/NetServiceBrowser.h"
#include "sharing/ConvertedCopies.h"
#include "sharing/SharingPageCache.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class AppDelegate;
class QSocketNotifier;
class QThread;

// The web sharing server: lets a browser on the local network read the library. While switched
// on it listens for HTTP on TCP port 8080, announces itself over Bonjour as "Sonavell@<device>"
// of type "_http._tcp.", finds out the two URLs under which this machine is reached, and answers
// every request as WebRequest works it out (a library page, a recording's file, a file of the web
// folder, or an error page). One request per connection.
//
// All network work runs on a service thread of its own (one per switch-on) with its own event
// loop; connections are served side by side without blocking. The main thread switches sharing
// on and off and receives the URLs. The library is read only through immutable snapshots.
class SharingController : public QObject,
                          public NetService::Delegate,
                          public NetServiceBrowser::Delegate
{
    Q_OBJECT
public:
    // What the server is given by its surroundings; tests supply their own.
    struct Environment
    {
        // The latest library snapshot; called on the service thread, so it must be thread-safe.
        std::function<LibrarySnapshotPtr()> librarySnapshot;
        QString documentsPath;
        // The web folder; empty when there is none (pages then have no head, static files 404).
        QString resourcePath;
        // The device's user-visible name; this machine's pretty name or host name when empty.
        QString deviceName;
        quint16 listenPort = 8080;
        // A connection that moves no byte for this long is closed.
        std::chrono::milliseconds stallTimeout{30000};
        // An answer must be taken at least this fast, measured over each stallTimeout: a peer
        // that reads a trickle, just enough never to stall, is closed all the same.
        qint64 minimumBytesPerSecond = 1024;
        // The connections served at once. One more is answered "503 Service Unavailable" and
        // closed; while as many are being refused as well, accepting waits.
        int maxConnections = 64;
        // Told on the main thread whenever the two URLs change.
        std::function<void()> urlListener;
        // This machine's non-loopback IPv4 addresses, for the numeric address when Bonjour is
        // unavailable; HostAddresses::ipv4() when empty.
        std::function<QStringList()> hostAddresses;
        // Where the Opus and FLAC copies of the shared memos are kept; none are offered when
        // empty.
        QString cacheFolder;
        // How long a request for a copy that is being made waits for it before it is answered
        // "503 Service Unavailable" (the conversion goes on, for a later request).
        std::chrono::milliseconds copyWait{15000};
        // Whether the server announces itself over Bonjour. Only measuring tools turn this
        // off, to serve on a machine without an mDNS daemon; the URLs then stay unknown.
        bool announce = true;
    };

    // The application's server: library and documents come from the application object.
    explicit SharingController(AppDelegate* appDelegate, QObject* parent = nullptr);
    explicit SharingController(Environment environment, QObject* parent = nullptr);
    // Switches sharing off and waits for the service thread to end.
    ~SharingController() override;

    // Starts (on) or stops (off) sharing. Main thread.
    void toggleSharing(bool on);
    bool isSharingOn() const { return m_sharingOn; }
    // True while a service thread exists that has not ended yet.
    bool isServiceThreadRunning() const;

    // Tells the injected listener and emits urlDataChanged. Main thread.
    void notifyURLListener();
    // "http://<host name>:<port>" and "http://a.b.c.d:<port>" (port 8080 in production) once the
    // own service has been resolved; empty strings after switch-off; null before the first
    // resolution. When Bonjour is unavailable (no daemon, a name collision) the server serves on
    // and reports an empty host name URL with the first non-loopback IPv4 address. Main thread.
    QString myPublicHostNameURL() const { return m_myPublicHostNameURL; }
    QString myPublicRawURL() const { return m_myPublicRawURL; }

    // The port the listening socket is bound to; 0 until it listens.
    quint16 tcpPort() const { return m_tcpPort.load(); }
    QString serviceName() const { return m_serviceName; }
    QString myResourcePath() const { return m_myResourcePath; }
    QString myDocumentsPath() const { return m_myDocumentsPath; }

    // The two generated page documents of the latest library (SharingPages), as UTF-8
    // (category may be null: no category selected).
    QByteArray generateCategoriesContent() const;
    QByteArray generateFilesContent(const QString& category) const;
    static QByteArray generateCategoriesContent(const LibrarySnapshot& library);
    static QByteArray generateFilesContent(const LibrarySnapshot& library,
                                           const QString& documentsPath, const QString& category);

    // The complete answer to one request's bytes, against the latest library (WebRequest). A
    // copy that is not made yet is "not found" here, or filled into `pending`.
    HttpConnection::Answer answerForRequest(const QByteArray& request,
                                            ConvertedCopies::Request* pending = nullptr) const;

    // Bonjour callbacks (service thread).
    void netServiceDidPublish(NetService* sender) override;
    void netServiceDidNotPublish(NetService* sender, const QVariantMap& errorDict) override;
    void netServiceDidResolveAddress(NetService* sender) override;
    void netServiceDidNotResolve(NetService* sender, const QVariantMap& errorDict) override;
    void netServiceDidStop(NetService* sender) override;
    void netServiceBrowserDidFindService(NetServiceBrowser* sender,
                                         std::unique_ptr<NetService> service,
                                         bool moreComing) override;

    // The machine's user-visible name (DeviceName): its pretty host name, else its host name.
    static QString deviceName();
    // The web folder below the application's resources; empty when the resources are missing.
    static QString defaultResourcePath();

    // How often the service thread checks cancelCurrentOperation and stalled connections.
    static constexpr std::chrono::milliseconds kPollInterval{250};

signals:
    // Emitted on the main thread together with notifyURLListener; the application connects
    // the export screen to it.
    void urlDataChanged();

private:
    void awakeFromNib();
    // Hands the URLs to the main thread (service thread).
    void publishURLs(const QString& hostURL, const QString& rawURL);
    void serviceThread();
    bool openListeningSocket();
    void acceptConnections();
    void connectionReceived(int socketDescriptor);
    void dataIsReady(HttpConnection* connection, const QByteArray& data);
    void closeTheConnection(HttpConnection* connection);
    void closeStalledConnections();
    void stopListening();
    void windDown();
    void finishResolving(NetService* sender);
    // Holds the connection until the copy it asks for is made (service thread).
    void waitForCopy(HttpConnection* connection, const QByteArray& request,
                     const ConvertedCopies::Request& copy);
    void copyFinished(const QString& copyPath, bool ok);
    void answerLateCopyRequests();
    void pruneCopies(const LibrarySnapshotPtr& library);
    // The latest library, or an empty one when there is no source.
    LibrarySnapshotPtr currentLibrary() const;

    Environment m_env;
    AppDelegate* myAppDel = nullptr;

    // Main thread.
    QString m_serviceName;
    QString m_myResourcePath;
    QString m_myDocumentsPath;
    // The generated part of the library pages for the current snapshot.
    mutable SharingPageCache m_pageCache;
    QString m_myPublicHostNameURL;
    QString m_myPublicRawURL;
    bool m_sharingOn = false;
    quint64 m_generation = 0;
    std::unique_ptr<QThread> m_thread;
    BrokenPipeGuard m_brokenPipeGuard;

    // Shared between the threads.
    std::atomic<bool> cancelCurrentOperation{false};
    std::atomic<quint16> m_tcpPort{0};

    // Service thread only (one thread at a time: a new one starts after the old has ended).
    ListeningSocket listeningSocket;
    QSocketNotifier* m_acceptNotifier = nullptr;
    NetService* netService = nullptr;
    NetServiceBrowser* netServiceBrowser = nullptr;
    NetService* m_ownService = nullptr; // the own service, found by the browser, resolving
    struct Connection
    {
        HttpConnection* connection = nullptr;
        bool refusal = false; // answered "503" for want of room
        // The answer's bytes sent when the current rate window began.
        QElapsedTimer window;
        qint64 windowStartBytes = 0;
    };
    std::vector<Connection> m_connections;
    int m_refusals = 0; // of m_connections
    // The connection's entry in m_connections, or end().
    std::vector<Connection>::iterator findConnection(HttpConnection* connection);
    quint64 m_threadGeneration = 0;

    // Converted copies (service thread): the conversions running, by copy path, each on a
    // worker of its own; the connections waiting for one; the copies that could not be made
    // (answered "not found" until the memo changes).
    ConvertedCopies m_copies;
    QObject* m_serviceContext = nullptr; // lives on the service thread, for workers' reports
    struct CopyJob
    {
        std::unique_ptr<QThread> thread;
        std::shared_ptr<std::atomic<bool>> cancel;
    };
    std::map<QString, CopyJob> m_copyJobs;
    struct WaitingRequest
    {
        QByteArray request;
        QString copyPath;
        QElapsedTimer since;
    };
    std::map<HttpConnection*, WaitingRequest> m_waiting;
    std::set<QString> m_failedCopies;
    LibrarySnapshotPtr m_prunedLibrary; // the library the cache was last pruned against
};
