// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/StreamPair.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The size a socket address of this record's family must have; 0 for an unusable record.
socklen_t addressLength(const QByteArray& record)
{
    if (record.size() < static_cast<qsizetype>(sizeof(sa_family_t)))
        return 0;
    sockaddr_storage address{};
    std::memcpy(&address, record.constData(),
                std::min<size_t>(sizeof address, static_cast<size_t>(record.size())));
    if (address.ss_family == AF_INET && record.size() >= qsizetype(sizeof(sockaddr_in)))
        return sizeof(sockaddr_in);
    if (address.ss_family == AF_INET6 && record.size() >= qsizetype(sizeof(sockaddr_in6)))
        return sizeof(sockaddr_in6);
    return 0;
}

} // namespace

StreamPair::StreamPair(Endpoint endpoint, QObject* parent)
    : QObject(parent)
    , m_endpoint(std::move(endpoint))
{
}

StreamPair::~StreamPair()
{
    close();
}

void StreamPair::open()
{
    if (m_state != State::Idle)
        return;
    m_state = State::Connecting;
    for (const QByteArray& record : m_endpoint.addresses) {
        if (!addressLength(record))
            continue;
        QByteArray address = record;
        // The service's port wins over whatever the record carries.
        if (m_endpoint.port > 0 && m_endpoint.port <= 0xffff) {
            const uint16_t port = htons(static_cast<uint16_t>(m_endpoint.port));
            sockaddr_storage s{};
            std::memcpy(&s, address.constData(), addressLength(address));
            if (s.ss_family == AF_INET)
                reinterpret_cast<sockaddr_in*>(&s)->sin_port = port;
            else
                reinterpret_cast<sockaddr_in6*>(&s)->sin6_port = port;
            address = QByteArray(reinterpret_cast<const char*>(&s), addressLength(address));
        }
        m_candidates.push_back(address);
    }
    if (m_candidates.empty() && !m_endpoint.hostName.isEmpty() && m_endpoint.port > 0 &&
        m_endpoint.port <= 0xffff) {
        // A service resolved to a host name only (an IPv6-only host, say): look the name up.
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const QByteArray host = m_endpoint.hostName.toUtf8();
        const QByteArray port = QByteArray::number(m_endpoint.port);
        if (::getaddrinfo(host.constData(), port.constData(), &hints, &found) == 0) {
            for (addrinfo* a = found; a; a = a->ai_next)
                m_candidates.emplace_back(reinterpret_cast<const char*>(a->ai_addr),
                                          static_cast<qsizetype>(a->ai_addrlen));
            ::freeaddrinfo(found);
        }
    }
    if (!connectNext()) {
        // Reported from the loop, never from inside open().
        QMetaObject::invokeMethod(
            this, [this] { fail(); }, Qt::QueuedConnection);
    }
}

bool StreamPair::connectNext()
{
    while (m_next < m_candidates.size()) {
        const QByteArray& address = m_candidates[m_next++];
        sockaddr_storage s{};
        const socklen_t length = addressLength(address);
        std::memcpy(&s, address.constData(), length);
        const int fd = ::socket(s.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&s), length) == 0 ||
            errno == EINPROGRESS) {
            m_fd = fd;
            // Writability tells when the connection attempt has an outcome.
            m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
            connect(m_writeNotifier, &QSocketNotifier::activated, this, &StreamPair::writable);
            return true;
        }
        ::close(fd);
    }
    return false;
}

void StreamPair::connected()
{
    m_state = State::Open;
    m_writeNotifier->setEnabled(false);
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &StreamPair::readable);
    report(Side::Input, kOpenCompleted);
    if (m_state != State::Open)
        return;
    report(Side::Output, kOpenCompleted);
    if (m_state == State::Open)
        m_writeNotifier->setEnabled(true);
}

void StreamPair::writable()
{
    if (m_state == State::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error == 0) {
            connected();
            return;
        }
        // This address refused or failed: try the next one.
        m_writeNotifier->setEnabled(false);
        m_writeNotifier->deleteLater();
        m_writeNotifier = nullptr;
        ::close(m_fd);
        m_fd = -1;
        if (!connectNext())
            fail();
        return;
    }
    if (m_state != State::Open)
        return;
    // One report per write() call: the notifier rests until the space is used.
    m_writeNotifier->setEnabled(false);
    report(Side::Output, kHasSpaceAvailable);
}

void StreamPair::readable()
{
    if (m_state != State::Open)
        return;
    m_readNotifier->setEnabled(false);
    char probe;
    const ssize_t n = ::recv(m_fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        report(Side::Input, kHasBytesAvailable);
    } else if (n == 0) {
        report(Side::Input, kEndEncountered);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        m_readNotifier->setEnabled(true);
    } else {
        fail();
    }
}

qint64 StreamPair::read(char* buffer, qint64 maxLength)
{
    if (m_state != State::Open || maxLength <= 0)
        return -1;
    const ssize_t n = ::recv(m_fd, buffer, static_cast<size_t>(maxLength), MSG_DONTWAIT);
    // Whatever happened, the next readiness (more bytes, the end, an error) is reported.
    m_readNotifier->setEnabled(true);
    return n >= 0 ? n : -1;
}

qint64 StreamPair::sendSome(int fd, const char* data, qint64 length)
{
    return ::send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
}

qint64 StreamPair::write(const char* data, qint64 length)
{
    if (m_state != State::Open || m_outputShut)
        return -1;
    if (length <= 0)
        return 0;
    const qint64 n = sendSome(m_fd, data, length);
    if (n >= 0) {
        m_writeNotifier->setEnabled(true);
        return n;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        m_writeNotifier->setEnabled(true);
        return 0;
    }
    // The connection broke: the error event follows from the loop.
    QMetaObject::invokeMethod(
        this, [this] { fail(); }, Qt::QueuedConnection);
    return -1;
}

bool StreamPair::shutdownOutput()
{
    if (m_state != State::Open)
        return false;
    if (m_outputShut)
        return true;
    if (::shutdown(m_fd, SHUT_WR) != 0) {
        QMetaObject::invokeMethod(
            this, [this] { fail(); }, Qt::QueuedConnection);
        return false;
    }
    m_outputShut = true;
    // No more space events: only the input side reports from now on.
    m_writeNotifier->setEnabled(false);
    return true;
}

void StreamPair::fail()
{
    if (m_state != State::Connecting && m_state != State::Open)
        return;
    m_state = State::Failed;
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    report(Side::Input, kErrorOccurred);
    if (m_state == State::Failed)
        report(Side::Output, kErrorOccurred);
}

void StreamPair::report(Side side, Event event)
{
    if (m_delegate)
        m_delegate->streamHandleEvent(this, side, event);
}

void StreamPair::close()
{
    // The notifiers may be reporting right now: switch them off, free them later.
    for (QSocketNotifier** notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_state = State::Closed;
}
