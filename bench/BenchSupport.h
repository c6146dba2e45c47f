// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The 44-byte header of a mono 16-bit 44100 Hz WAV file holding `dataBytes` of samples.
inline QByteArray wavHeader(uint32_t dataBytes)
{
    QByteArray wav;
    auto u32 = [&](uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav += "RIFF";
    u32(36 + dataBytes);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(44100);
    u32(88200);
    u16(2);
    u16(16);
    wav += "data";
    u32(dataBytes);
    return wav;
}

// A TCP port on 127.0.0.1 that is free now, for a peer the benchmark starts.
inline quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A peer program's full path (searched on PATH, then in /usr/sbin and /usr/bin), or empty when it
// is not on the machine: the benchmarks install nothing, and a missing peer is a goal not measured.
inline QString peerProgram(const QString& name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(
            name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    return path;
}

// Whether the benchmarks may start the test services they need (a private PulseAudio server, the
// loopback-only avahi-daemon): only when asked, with SONAVELL_BENCH_SERVICES=1 (`make bench
// SERVICES=1`).
inline bool servicesAllowed()
{
    return qEnvironmentVariable("SONAVELL_BENCH_SERVICES") == QLatin1String("1");
}

// Runs `ours` and `peer` in turns, `rounds` times each, the one that goes first changing every
// round, so that the load of a shared machine falls on both alike.
template <typename Ours, typename Peer> void interleaved(int rounds, Ours&& ours, Peer&& peer)
{
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            ours();
            peer();
        } else {
            peer();
            ours();
        }
    }
}

// printf into a std::string, for the peer figures printed beside a goal.
inline std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char* pattern, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}
