// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/NetService.h"

#include "platform/net/DnsServiceName.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <dns_sd.h>
#include <netinet/in.h>

namespace {

// Avahi's dns_sd compatibility library prints a warning about itself on its first call unless
// AVAHI_COMPAT_NOWARN is set. Every program that reaches dns_sd does so through this file (the
// browser creates NetService objects), so the variable is set here, while static objects are
// made before main() starts any thread. A value the user set is kept.
[[maybe_unused]] const bool kCompatibilityWarningSilenced =
    ::setenv("AVAHI_COMPAT_NOWARN", "1", 0) == 0;

QVariantMap errorDict(int code)
{
    return {{QString::fromLatin1(NetService::kNetServicesErrorCode), code}};
}

} // namespace

NetService::NetService(const QString& domain, const QString& type, const QString& name, int port,
                       QObject* parent)
    : QObject(parent)
    , m_domain(domain)
    , m_type(type)
    , m_name(name)
    , m_port(port)
{
}

NetService::NetService(const QString& domain, const QString& type, const QString& name,
                       uint32_t interfaceIndex, QObject* parent)
    : QObject(parent)
    , m_domain(domain)
    , m_type(type)
    , m_name(name)
    , m_interfaceIndex(interfaceIndex)
{
}

NetService::~NetService()
{
    release(m_register);
    release(m_resolve);
    release(m_address);
    for (DNSServiceRef ref : m_retired)
        DNSServiceRefDeallocate(ref);
}

int NetService::errorCodeFromDnsServiceError(int dnsServiceError)
{
    switch (dnsServiceError) {
    case kDNSServiceErr_NameConflict:
        return kNetServicesCollisionError;
    case kDNSServiceErr_BadParam:
    case kDNSServiceErr_BadReference:
    case kDNSServiceErr_BadFlags:
    case kDNSServiceErr_BadInterfaceIndex:
        return kNetServicesBadArgumentError;
    case kDNSServiceErr_NoSuchName:
    case kDNSServiceErr_NoSuchRecord:
        return kNetServicesNotFoundError;
    case kDNSServiceErr_Invalid:
        return kNetServicesInvalidError;
    default:
        return kNetServicesUnknownError;
    }
}

bool NetService::watch(Request& request, DNSServiceRef ref)
{
    const int fd = DNSServiceRefSockFD(ref);
    if (fd < 0) {
        DNSServiceRefDeallocate(ref);
        return false;
    }
    request.ref = ref;
    request.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(request.notifier, &QSocketNotifier::activated, this,
            [this, &request] { process(request); });
    return true;
}

void NetService::release(Request& request)
{
    // The notifier may be the one reporting right now: switch it off, free it later.
    if (request.notifier) {
        request.notifier->setEnabled(false);
        request.notifier->deleteLater();
        request.notifier = nullptr;
    }
    if (!request.ref)
        return;
    if (m_processing > 0)
        m_retired.push_back(request.ref); // its reply is still being handled
    else
        DNSServiceRefDeallocate(request.ref);
    request.ref = nullptr;
}

void NetService::process(Request& request)
{
    DNSServiceRef ref = request.ref;
    if (!ref)
        return;
    ++m_processing;
    const DNSServiceErrorType error = DNSServiceProcessResult(ref);
    --m_processing;
    if (m_processing == 0) {
        for (DNSServiceRef retired : m_retired)
            DNSServiceRefDeallocate(retired);
        m_retired.clear();
    }
    if (error != kDNSServiceErr_NoError && request.ref == ref) {
        // The daemon went away: this request will never answer.
        const bool publishing = &request == &m_register;
        release(request);
        failLater(publishing, errorCodeFromDnsServiceError(error));
    }
}

void NetService::failLater(bool publishing, int errorCode)
{
    QMetaObject::invokeMethod(
        this,
        [this, publishing, errorCode] {
            if (!m_delegate)
                return;
            if (publishing)
                m_delegate->netServiceDidNotPublish(this, errorDict(errorCode));
            else
                m_delegate->netServiceDidNotResolve(this, errorDict(errorCode));
        },
        Qt::QueuedConnection);
}

void NetService::publish()
{
    if (m_register.ref || m_port < 0 || m_port > 0xffff) {
        failLater(true,
                  m_register.ref ? kNetServicesActivityInProgress : kNetServicesBadArgumentError);
        return;
    }
    DNSServiceRef ref = nullptr;
    const DNSServiceErrorType error = DNSServiceRegister(
        &ref, 0, kDNSServiceInterfaceIndexAny, m_name.toUtf8().constData(),
        DnsServiceName::withoutFinalDot(m_type).constData(),
        DnsServiceName::withoutFinalDot(m_domain).constData(), nullptr,
        htons(static_cast<uint16_t>(m_port)), 0, nullptr, &NetService::registerReply, this);
    if (error != kDNSServiceErr_NoError || !watch(m_register, ref)) {
        failLater(true, errorCodeFromDnsServiceError(error));
        return;
    }
}

void NetService::registerReply(DNSServiceRef, unsigned, int errorCode, const char*, const char*,
                               const char*, void* context)
{
    auto* self = static_cast<NetService*>(context);
    if (!self->m_delegate)
        return;
    if (errorCode == kDNSServiceErr_NoError) {
        self->m_delegate->netServiceDidPublish(self);
    } else {
        self->release(self->m_register);
        self->m_delegate->netServiceDidNotPublish(
            self, errorDict(errorCodeFromDnsServiceError(errorCode)));
    }
}

void NetService::resolveWithTimeout(double seconds)
{
    release(m_resolve);
    release(m_address);
    m_hostName.clear();
    m_addresses.clear();
    DNSServiceRef ref = nullptr;
    const DNSServiceErrorType error = DNSServiceResolve(
        &ref, 0, m_interfaceIndex, m_name.toUtf8().constData(),
        DnsServiceName::withoutFinalDot(m_type).constData(),
        DnsServiceName::withoutFinalDot(m_domain).constData(), &NetService::resolveReply, this);
    if (error != kDNSServiceErr_NoError || !watch(m_resolve, ref)) {
        failLater(false, errorCodeFromDnsServiceError(error));
        return;
    }
    if (!m_resolveTimer) {
        m_resolveTimer = new QTimer(this);
        m_resolveTimer->setSingleShot(true);
        connect(m_resolveTimer, &QTimer::timeout, this, [this] {
            release(m_resolve);
            release(m_address);
            if (!m_hostName.isEmpty()) {
                // The host is known but has no IPv4 address: report what there is.
                resolved();
            } else if (m_delegate) {
                m_delegate->netServiceDidNotResolve(this, errorDict(kNetServicesTimeoutError));
            }
        });
    }
    m_resolveTimer->start(static_cast<int>(seconds * 1000.0));
}

void NetService::resolveReply(DNSServiceRef, unsigned, uint32_t interfaceIndex, int errorCode,
                              const char*, const char* hostTarget, uint16_t port, uint16_t,
                              const unsigned char*, void* context)
{
    auto* self = static_cast<NetService*>(context);
    self->release(self->m_resolve);
    if (errorCode != kDNSServiceErr_NoError) {
        if (self->m_resolveTimer)
            self->m_resolveTimer->stop();
        if (self->m_delegate)
            self->m_delegate->netServiceDidNotResolve(
                self, errorDict(errorCodeFromDnsServiceError(errorCode)));
        return;
    }
    self->m_hostName = QString::fromUtf8(hostTarget);
    self->m_port = ntohs(port);
    // The host's IPv4 address comes from its A record.
    DNSServiceRef ref = nullptr;
    const DNSServiceErrorType error =
        DNSServiceQueryRecord(&ref, 0, interfaceIndex, hostTarget, kDNSServiceType_A,
                              kDNSServiceClass_IN, &NetService::addressReply, self);
    if (error != kDNSServiceErr_NoError || !self->watch(self->m_address, ref))
        self->resolved();
}

void NetService::addressReply(DNSServiceRef, unsigned flags, uint32_t, int errorCode, const char*,
                              uint16_t recordType, uint16_t, uint16_t dataLength, const void* data,
                              uint32_t, void* context)
{
    auto* self = static_cast<NetService*>(context);
    if (errorCode != kDNSServiceErr_NoError || !(flags & kDNSServiceFlagsAdd) ||
        recordType != kDNSServiceType_A || dataLength != 4)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(self->m_port));
    std::memcpy(&address.sin_addr, data, 4);
    self->m_addresses.emplace_back(reinterpret_cast<const char*>(&address), sizeof address);
    if (!(flags & kDNSServiceFlagsMoreComing)) {
        self->release(self->m_address);
        self->resolved();
    }
}

void NetService::resolved()
{
    if (m_resolveTimer)
        m_resolveTimer->stop();
    if (m_delegate)
        m_delegate->netServiceDidResolveAddress(this);
}

void NetService::stop()
{
    const bool active = m_register.ref || m_resolve.ref || m_address.ref;
    release(m_register);
    release(m_resolve);
    release(m_address);
    if (m_resolveTimer)
        m_resolveTimer->stop();
    if (active && m_delegate)
        m_delegate->netServiceDidStop(this);
}

QString NetService::firstIPv4Address() const
{
    for (const QByteArray& record : m_addresses) {
        if (record.size() < static_cast<qsizetype>(sizeof(sockaddr_in)))
            continue;
        sockaddr_in address{};
        std::memcpy(&address, record.constData(), sizeof address);
        if (address.sin_family != AF_INET)
            continue;
        const auto* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr);
        return QString::asprintf("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    }
    return {};
}
