// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// A TCP socket listening on every IPv4 interface, non-blocking. Opening reports a failing step
// with perror ("socket creation failure", "bind failure", "getsockname failure",
// "listen failure") and leaves nothing open.
class ListeningSocket
{
public:
    ListeningSocket() = default;
    ~ListeningSocket() { close(); }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    // Port 0 lets the system choose; port() tells which.
    bool open(uint16_t port, int backlog);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    uint16_t port() const { return m_port; }

    enum class Accept
    {
        Connection,       // `descriptor` holds a new non-blocking connection
        NoneWaiting,      // the queue is empty
        OutOfDescriptors, // the process or system has no descriptor left; try again later
    };
    Accept acceptConnection(int& descriptor);

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};
