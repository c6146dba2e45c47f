// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/NetServiceBrowser.h"

#include "platform/net/DnsServiceName.h"
#include "platform/net/NetService.h"

#include <QSocketNotifier>

#include <dns_sd.h>

NetServiceBrowser::NetServiceBrowser(QObject* parent)
    : QObject(parent)
{
}

NetServiceBrowser::~NetServiceBrowser()
{
    releaseRequest();
    if (m_retired)
        DNSServiceRefDeallocate(m_retired);
}

void NetServiceBrowser::releaseRequest()
{
    // The notifier may be the one reporting right now: switch it off, free it later.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (!m_ref)
        return;
    if (m_processing)
        m_retired = m_ref; // freed once the reply being handled is done
    else
        DNSServiceRefDeallocate(m_ref);
    m_ref = nullptr;
}

void NetServiceBrowser::searchForServicesOfType(const QString& type, const QString& domain)
{
    releaseRequest();
    m_type = type;
    m_domain = domain;
    DNSServiceRef ref = nullptr;
    const DNSServiceErrorType error = DNSServiceBrowse(
        &ref, 0, kDNSServiceInterfaceIndexAny, DnsServiceName::withoutFinalDot(type).constData(),
        DnsServiceName::withoutFinalDot(domain).constData(), &NetServiceBrowser::browseReply, this);
    const int fd = error == kDNSServiceErr_NoError ? DNSServiceRefSockFD(ref) : -1;
    if (fd < 0) {
        if (ref)
            DNSServiceRefDeallocate(ref);
        const int code = NetService::errorCodeFromDnsServiceError(error);
        QMetaObject::invokeMethod(
            this,
            [this, code] {
                if (m_delegate)
                    m_delegate->netServiceBrowserDidNotSearch(
                        this, {{QString::fromLatin1(NetService::kNetServicesErrorCode), code}});
            },
            Qt::QueuedConnection);
        return;
    }
    m_ref = ref;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &NetServiceBrowser::process);
}

void NetServiceBrowser::process()
{
    DNSServiceRef ref = m_ref;
    if (!ref)
        return;
    m_processing = true;
    const DNSServiceErrorType error = DNSServiceProcessResult(ref);
    m_processing = false;
    if (m_retired) {
        DNSServiceRefDeallocate(m_retired);
        m_retired = nullptr;
    }
    if (error != kDNSServiceErr_NoError && m_ref == ref) {
        releaseRequest();
        if (m_delegate)
            m_delegate->netServiceBrowserDidNotSearch(
                this, {{QString::fromLatin1(NetService::kNetServicesErrorCode),
                        NetService::errorCodeFromDnsServiceError(error)}});
    }
}

void NetServiceBrowser::browseReply(DNSServiceRef, unsigned flags, uint32_t interfaceIndex,
                                    int errorCode, const char* name, const char* type,
                                    const char* domain, void* context)
{
    auto* self = static_cast<NetServiceBrowser*>(context);
    if (errorCode != kDNSServiceErr_NoError || !self->m_delegate || !self->m_ref)
        return;
    const bool moreComing = flags & kDNSServiceFlagsMoreComing;
    const QString serviceName = QString::fromUtf8(name);
    if (flags & kDNSServiceFlagsAdd) {
        auto service = std::make_unique<NetService>(DnsServiceName::withFinalDot(domain),
                                                    DnsServiceName::withFinalDot(type), serviceName,
                                                    interfaceIndex);
        self->m_delegate->netServiceBrowserDidFindService(self, std::move(service), moreComing);
    } else {
        self->m_delegate->netServiceBrowserDidRemoveService(self, serviceName, moreComing);
    }
}

void NetServiceBrowser::stop()
{
    releaseRequest();
}
