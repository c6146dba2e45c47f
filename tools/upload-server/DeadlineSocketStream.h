// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <httplib.h>

#include <array>
#include <chrono>

// A connection's socket as cpp-httplib reads and writes it, with one deadline for the whole
// request: a client that sends its request a byte at a time is cut off when the deadline
// passes, not only when it falls silent between two bytes.
class DeadlineSocketStream : public httplib::Stream
{
public:
    using Clock = std::chrono::steady_clock;

    DeadlineSocketStream(int fd, Clock::time_point readDeadline,
                         std::chrono::milliseconds writeTimeout);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    int socket() const override { return m_fd; }

    // The numeric address of the socket's peer (or its own end), as cpp-httplib gives it.
    static std::string address(int fd, bool peer, int* port = nullptr);

private:
    int m_fd;
    Clock::time_point m_readDeadline;
    std::chrono::milliseconds m_writeTimeout;
    std::array<char, 4096> m_buffer{};
    size_t m_bufferStart = 0;
    size_t m_bufferEnd = 0;
};
