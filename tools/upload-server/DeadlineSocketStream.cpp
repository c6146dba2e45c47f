// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeadlineSocketStream.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Waits for `events` on `fd` until `deadline`; false when it passes first.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int n = ::poll(&entry, 1, int(std::min<long long>(left.count(), 60000)));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

DeadlineSocketStream::DeadlineSocketStream(int fd, Clock::time_point readDeadline,
                                           std::chrono::milliseconds writeTimeout)
    : m_fd(fd)
    , m_readDeadline(readDeadline)
    , m_writeTimeout(writeTimeout)
{
}

bool DeadlineSocketStream::is_readable() const
{
    return m_bufferStart < m_bufferEnd || waitFor(m_fd, POLLIN, m_readDeadline);
}

bool DeadlineSocketStream::is_writable() const
{
    return waitFor(m_fd, POLLOUT, Clock::now() + m_writeTimeout);
}

ssize_t DeadlineSocketStream::read(char* ptr, size_t size)
{
    if (m_bufferStart == m_bufferEnd) {
        if (!is_readable())
            return -1;
        ssize_t n;
        do {
            n = ::recv(m_fd, m_buffer.data(), m_buffer.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n <= 0)
            return n;
        m_bufferStart = 0;
        m_bufferEnd = size_t(n);
    }
    const size_t n = std::min(size, m_bufferEnd - m_bufferStart);
    std::memcpy(ptr, m_buffer.data() + m_bufferStart, n);
    m_bufferStart += n;
    return ssize_t(n);
}

ssize_t DeadlineSocketStream::write(const char* ptr, size_t size)
{
    if (!is_writable())
        return -1;
    ssize_t n;
    do {
        n = ::send(m_fd, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

void DeadlineSocketStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    ip = address(m_fd, true, &port);
}

void DeadlineSocketStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    ip = address(m_fd, false, &port);
}

std::string DeadlineSocketStream::address(int fd, bool peer, int* port)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    auto* address = reinterpret_cast<sockaddr*>(&storage);
    if ((peer ? ::getpeername(fd, address, &length) : ::getsockname(fd, address, &length)) != 0)
        return {};
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(address, length, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return {};
    if (port)
        *port = std::atoi(service);
    return host;
}
