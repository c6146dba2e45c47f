// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/ListeningSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool ListeningSocket::open(uint16_t port, int backlog)
{
    close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        perror("socket creation failure");
        return false;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        perror("bind failure");
        ::close(fd);
        return false;
    }
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        perror("getsockname failure");
        ::close(fd);
        return false;
    }
    if (::listen(fd, backlog) < 0) {
        perror("listen failure");
        ::close(fd);
        return false;
    }
    // Accepting runs until the queue is empty, so the socket must not block.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_fd = fd;
    m_port = ntohs(address.sin_port);
    return true;
}

void ListeningSocket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_port = 0;
}

ListeningSocket::Accept ListeningSocket::acceptConnection(int& descriptor)
{
    for (;;) {
        descriptor = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor >= 0)
            return Accept::Connection;
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EMFILE || errno == ENFILE)
            return Accept::OutOfDescriptors;
        return Accept::NoneWaiting;
    }
}
