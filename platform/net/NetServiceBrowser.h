// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class NetService;
class QSocketNotifier;
typedef struct _DNSServiceRef_t* DNSServiceRef;

// Searches for DNS service discovery (Bonjour) services of one type in one domain and hands
// each service found to its delegate, ready to be resolved. Works over <dns_sd.h>; the request's
// socket is watched on the owning thread, whose event loop must run, and callbacks arrive there.
class NetServiceBrowser : public QObject
{
    Q_OBJECT
public:
    class Delegate
    {
    public:
        virtual ~Delegate() = default;
        // The found service belongs to the receiver; dropping it is fine.
        virtual void netServiceBrowserDidFindService(NetServiceBrowser* sender,
                                                     std::unique_ptr<NetService> service,
                                                     bool moreComing)
        {
            Q_UNUSED(sender);
            Q_UNUSED(service);
            Q_UNUSED(moreComing);
        }
        virtual void netServiceBrowserDidRemoveService(NetServiceBrowser* sender,
                                                       const QString& name, bool moreComing)
        {
            Q_UNUSED(sender);
            Q_UNUSED(name);
            Q_UNUSED(moreComing);
        }
        // errorDict holds the error code under NetService::kNetServicesErrorCode.
        virtual void netServiceBrowserDidNotSearch(NetServiceBrowser* sender,
                                                   const QVariantMap& errorDict)
        {
            Q_UNUSED(sender);
            Q_UNUSED(errorDict);
        }
    };

    explicit NetServiceBrowser(QObject* parent = nullptr);
    ~NetServiceBrowser() override;

    Delegate* delegate() const { return m_delegate; }
    void setDelegate(Delegate* delegate) { m_delegate = delegate; }

    void searchForServicesOfType(const QString& type, const QString& domain);
    void stop();

private:
    void process();
    void releaseRequest();
    static void browseReply(DNSServiceRef, unsigned flags, uint32_t interfaceIndex, int errorCode,
                            const char* name, const char* type, const char* domain, void* context);

    Delegate* m_delegate = nullptr;
    DNSServiceRef m_ref = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    DNSServiceRef m_retired = nullptr;
    bool m_processing = false;
    QString m_type;
    QString m_domain;
};
