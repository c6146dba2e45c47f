#pragma once

#include <QByteArray>

#include <cstdint>

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
