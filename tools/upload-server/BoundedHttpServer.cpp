// SPDX-License-Identifier: GPL-3.0-or-later
#include "BoundedHttpServer.h"

#include "DeadlineSocketStream.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr std::chrono::milliseconds kWriteTimeout{10000};

} // namespace

BoundedHttpServer::BoundedHttpServer(std::chrono::milliseconds requestTimeout,
                                     size_t maxConnectionsPerClient)
    : m_requestTimeout(requestTimeout)
    , m_maxConnectionsPerClient(maxConnectionsPerClient)
{
}

bool BoundedHttpServer::admit(const std::string& client)
{
    std::lock_guard lock(m_mutex);
    size_t& open = m_connections[client];
    if (open >= m_maxConnectionsPerClient)
        return false;
    ++open;
    return true;
}

void BoundedHttpServer::release(const std::string& client)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_connections.find(client);
    if (it != m_connections.end() && --it->second == 0)
        m_connections.erase(it);
}

bool BoundedHttpServer::process_and_close_socket(int sock)
{
    // The deadline counts from the moment a worker takes the connection.
    const auto deadline = DeadlineSocketStream::Clock::now() + m_requestTimeout;
    const std::string client = DeadlineSocketStream::address(sock, true);
    bool handled = false;
    if (admit(client)) {
        DeadlineSocketStream stream(sock, deadline, kWriteTimeout);
        bool closed = false;
        handled = process_request(stream, true, closed, nullptr);
        release(client);
    } else {
        const std::string text = "ERROR: too many connections from this address at once";
        const std::string answer = "HTTP/1.1 503 Service Unavailable\r\n"
                                   "Content-Type: text/plain; charset=utf-8\r\n"
                                   "Content-Length: " +
                                   std::to_string(text.size()) + "\r\nConnection: close\r\n\r\n" +
                                   text;
        ::send(sock, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        std::fprintf(stderr, "%s refused: too many connections at once\n", client.c_str());
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return handled;
}
