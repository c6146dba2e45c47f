// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <vector>

class QSocketNotifier;
class QTimer;
typedef struct _DNSServiceRef_t* DNSServiceRef;

// A DNS service discovery (Bonjour) service: published under a name, type and domain with a
// port, or found by a NetServiceBrowser and resolved to a host name and addresses.
//
// Works over <dns_sd.h>. Each outstanding request's socket is watched on the thread that owns
// the object, whose event loop must run; every delegate callback arrives on that thread, never
// from inside publish(), resolveWithTimeout() or stop() themselves (except netServiceDidStop).
// Delete the object with deleteLater() when doing so from one of its own callbacks.
class NetService : public QObject
{
    Q_OBJECT
public:
    // Callbacks of a service; every member is optional.
    class Delegate
    {
    public:
        virtual ~Delegate() = default;
        virtual void netServiceDidPublish(NetService* sender) { Q_UNUSED(sender); }
        // errorDict holds the error code under kNetServicesErrorCode.
        virtual void netServiceDidNotPublish(NetService* sender, const QVariantMap& errorDict)
        {
            Q_UNUSED(sender);
            Q_UNUSED(errorDict);
        }
        virtual void netServiceDidResolveAddress(NetService* sender) { Q_UNUSED(sender); }
        virtual void netServiceDidNotResolve(NetService* sender, const QVariantMap& errorDict)
        {
            Q_UNUSED(sender);
            Q_UNUSED(errorDict);
        }
        virtual void netServiceDidStop(NetService* sender) { Q_UNUSED(sender); }
    };

    static constexpr const char* kNetServicesErrorCode = "NetServicesErrorCode";
    enum ErrorCode : int
    {
        kNetServicesUnknownError = -72000,
        kNetServicesCollisionError = -72001,
        kNetServicesNotFoundError = -72002,
        kNetServicesActivityInProgress = -72003,
        kNetServicesBadArgumentError = -72004,
        kNetServicesCancelledError = -72005,
        kNetServicesInvalidError = -72006,
        kNetServicesTimeoutError = -72007,
    };

    // A service to publish on port (host byte order).
    NetService(const QString& domain, const QString& type, const QString& name, int port,
               QObject* parent = nullptr);
    // A service to resolve (as found by a browser), on the given interface (0: any).
    NetService(const QString& domain, const QString& type, const QString& name,
               uint32_t interfaceIndex = 0, QObject* parent = nullptr);
    ~NetService() override;

    Delegate* delegate() const { return m_delegate; }
    void setDelegate(Delegate* delegate) { m_delegate = delegate; }

    void publish();
    void resolveWithTimeout(double seconds);
    // Ends publication and resolution; the delegate hears netServiceDidStop.
    void stop();

    QString domain() const { return m_domain; }
    QString type() const { return m_type; }
    QString name() const { return m_name; }
    int port() const { return m_port; }
    uint32_t interfaceIndex() const { return m_interfaceIndex; }
    // The target host as the resolution reported it, e.g. "kitchen.local."; empty before.
    QString hostName() const { return m_hostName; }
    // The resolved socket addresses (each a struct sockaddr of its family's size).
    const std::vector<QByteArray>& addresses() const { return m_addresses; }

    // The first IPv4 address among addresses() in dotted form, or an empty string.
    QString firstIPv4Address() const;

    // Maps a dns_sd error to the service error codes above.
    static int errorCodeFromDnsServiceError(int dnsServiceError);

private:
    struct Request
    {
        DNSServiceRef ref = nullptr;
        QSocketNotifier* notifier = nullptr;
    };

    bool watch(Request& request, DNSServiceRef ref);
    void release(Request& request);
    void process(Request& request);
    void failLater(bool publishing, int errorCode);
    void resolved();

    static void registerReply(DNSServiceRef, unsigned flags, int errorCode, const char* name,
                              const char* type, const char* domain, void* context);
    static void resolveReply(DNSServiceRef, unsigned flags, uint32_t interfaceIndex, int errorCode,
                             const char* fullName, const char* hostTarget, uint16_t port,
                             uint16_t txtLength, const unsigned char* txt, void* context);
    static void addressReply(DNSServiceRef, unsigned flags, uint32_t interfaceIndex, int errorCode,
                             const char* fullName, uint16_t recordType, uint16_t recordClass,
                             uint16_t dataLength, const void* data, uint32_t ttl, void* context);

    QString m_domain;
    QString m_type;
    QString m_name;
    int m_port = -1;
    uint32_t m_interfaceIndex = 0;
    QString m_hostName;
    std::vector<QByteArray> m_addresses;
    Delegate* m_delegate = nullptr;

    Request m_register;
    Request m_resolve;
    Request m_address;
    QTimer* m_resolveTimer = nullptr;
    // Requests released while their reply is being processed are freed afterwards.
    std::vector<DNSServiceRef> m_retired;
    int m_processing = 0;
};
