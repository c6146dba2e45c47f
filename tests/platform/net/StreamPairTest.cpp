// SPDX-License-Identifier: GPL-3.0-or-later
// The stream pair against listeners on the loopback addresses: IPv4 and IPv6, the next address
// after a refused one, and the events a push relies on (space and bytes reported again only
// after a write or read, the end when the peer closes, an error when nobody listens).
#include "platform/net/StreamPair.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>
#include <vector>

using namespace sonavell::test;

namespace {

// A listening socket on 127.0.0.1 or ::1 with an ephemeral port; `address` is its socket
// address as a resolved service would carry it.
struct Listener
{
    explicit Listener(int family)
    {
        fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_storage s{};
        socklen_t length = 0;
        if (family == AF_INET) {
            auto* a = reinterpret_cast<sockaddr_in*>(&s);
            a->sin_family = AF_INET;
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in6*>(&s);
            a->sin6_family = AF_INET6;
            a->sin6_addr = in6addr_loopback;
            length = sizeof *a;
        }
        listening = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&s), length) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&s), &length) == 0 &&
                    ::listen(fd, 4) == 0;
        address = QByteArray(reinterpret_cast<const char*>(&s), length);
        port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&s)->sin_port
                                       : reinterpret_cast<sockaddr_in6*>(&s)->sin6_port);
    }
    // The same address record with another port.
    QByteArray addressWithPort(quint16 otherPort) const
    {
        QByteArray changed = address;
        auto* a = reinterpret_cast<sockaddr_in*>(changed.data());
        if (a->sin_family == AF_INET)
            a->sin_port = htons(otherPort);
        else
            reinterpret_cast<sockaddr_in6*>(changed.data())->sin6_port = htons(otherPort);
        return changed;
    }
    ~Listener()
    {
        if (peer >= 0)
            ::close(peer);
        if (fd >= 0)
            ::close(fd);
    }
    bool acceptPeer()
    {
        return waitFor([&] {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0)
                peer = ::accept(fd, nullptr, nullptr);
            return peer >= 0;
        });
    }
    // False where the machine has no such loopback address (IPv6 switched off).
    bool listening = false;
    int fd = -1;
    int peer = -1;
    int port = 0;
    QByteArray address;
};

// IPv6 may be switched off on the machine (a kernel option, or in containers).
bool hasIPv6Loopback()
{
    return Listener(AF_INET6).listening;
}

struct EventLog : StreamPair::Delegate
{
    void streamHandleEvent(StreamPair*, StreamPair::Side side, StreamPair::Event event) override
    {
        events.emplace_back(side, event);
    }
    int count(StreamPair::Side side, StreamPair::Event event) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e.first == side && e.second == event;
        return n;
    }
    std::vector<std::pair<StreamPair::Side, StreamPair::Event>> events;
};

using Side = StreamPair::Side;

} // namespace

TEST(StreamPair, ConnectsOverIPv4AndIPv6AndReportsEachEventOnce)
{
    for (const int family : {AF_INET, AF_INET6}) {
        SCOPED_TRACE(family == AF_INET ? "IPv4" : "IPv6");
        Listener listener(family);
        if (family == AF_INET6 && !listener.listening)
            GTEST_SKIP() << "IPv4 checked; this machine has no IPv6 loopback address";
        ASSERT_TRUE(listener.listening);
        EventLog log;
        StreamPair streams({QString(), listener.port, {listener.address}});
        streams.setDelegate(&log);
        streams.open();
        ASSERT_TRUE(listener.acceptPeer());
        ASSERT_TRUE(
            waitFor([&] { return log.count(Side::Output, StreamPair::kHasSpaceAvailable); }));
        EXPECT_EQ(log.events.front(), std::make_pair(Side::Input, StreamPair::kOpenCompleted));
        EXPECT_EQ(log.events[1], std::make_pair(Side::Output, StreamPair::kOpenCompleted));
        // Space is reported once until it is used.
        pumpEvents(100);
        EXPECT_EQ(log.count(Side::Output, StreamPair::kHasSpaceAvailable), 1);
        EXPECT_EQ(streams.write("hello", 5), 5);
        EXPECT_TRUE(
            waitFor([&] { return log.count(Side::Output, StreamPair::kHasSpaceAvailable) == 2; }));
        char buffer[16] = {};
        EXPECT_EQ(::recv(listener.peer, buffer, sizeof buffer, 0), 5);
        EXPECT_STREQ(buffer, "hello");

        // Bytes are reported once until they are read; the peer's close is the end.
        ::send(listener.peer, "reply", 5, 0);
        ASSERT_TRUE(
            waitFor([&] { return log.count(Side::Input, StreamPair::kHasBytesAvailable); }));
        pumpEvents(100);
        EXPECT_EQ(log.count(Side::Input, StreamPair::kHasBytesAvailable), 1);
        EXPECT_EQ(streams.read(buffer, sizeof buffer), 5);
        ::close(listener.peer);
        listener.peer = -1;
        EXPECT_TRUE(waitFor([&] { return log.count(Side::Input, StreamPair::kEndEncountered); }));
        EXPECT_EQ(log.count(Side::Input, StreamPair::kErrorOccurred), 0);
    }
}

TEST(StreamPair, TriesTheNextAddressAndFailsWhenNoneAnswers)
{
    Listener closed(AF_INET);
    ::close(closed.fd); // nobody listens there any more
    closed.fd = -1;
    // The refusing address is 127.0.0.2, also loopback, where nothing of this test listens on
    // any port; the next one is IPv6 where the machine has it.
    QByteArray refused = closed.address;
    reinterpret_cast<sockaddr_in*>(refused.data())->sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1);
    Listener open(hasIPv6Loopback() ? AF_INET6 : AF_INET);
    ASSERT_TRUE(open.listening);

    // The first address refuses: the second one is connected. The port of the service wins
    // over the ones in the address records.
    EventLog log;
    StreamPair streams({QString(), open.port, {refused, open.addressWithPort(1)}});
    streams.setDelegate(&log);
    streams.open();
    EXPECT_TRUE(open.acceptPeer());
    EXPECT_TRUE(waitFor([&] { return log.count(Side::Output, StreamPair::kOpenCompleted); }));
    EXPECT_TRUE(streams.isOpen());

    // Only refusing addresses: an error on both sides, and nothing after it.
    EventLog failed;
    StreamPair nowhere({QString(), closed.port, {refused}});
    nowhere.setDelegate(&failed);
    nowhere.open();
    ASSERT_TRUE(waitFor([&] { return failed.count(Side::Output, StreamPair::kErrorOccurred); }));
    EXPECT_EQ(failed.events, (std::vector<std::pair<Side, StreamPair::Event>>{
                                 {Side::Input, StreamPair::kErrorOccurred},
                                 {Side::Output, StreamPair::kErrorOccurred}}));
    EXPECT_EQ(nowhere.write("x", 1), -1);
}

TEST(StreamPair, AHalfCloseEndsTheOutputAndStillHearsThePeer)
{
    // As a push ends: the writing side is closed, the peer reads the end after the data, and
    // its answer and its own close (or its reset) still come in.
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "close");
        Listener listener(AF_INET);
        ASSERT_TRUE(listener.listening);
        EventLog log;
        StreamPair streams({QString(), listener.port, {listener.address}});
        streams.setDelegate(&log);
        streams.open();
        ASSERT_TRUE(listener.acceptPeer());
        ASSERT_TRUE(
            waitFor([&] { return log.count(Side::Output, StreamPair::kHasSpaceAvailable); }));
        EXPECT_EQ(streams.write("last", 4), 4);
        ASSERT_TRUE(streams.shutdownOutput());
        EXPECT_EQ(streams.write("more", 4), -1);
        char buffer[16] = {};
        EXPECT_EQ(::recv(listener.peer, buffer, sizeof buffer, MSG_WAITALL), 4);
        EXPECT_EQ(::recv(listener.peer, buffer, sizeof buffer, 0), 0); // the end after the data
        pumpEvents(100);
        // The write's space is not reported: nothing more can be written.
        EXPECT_EQ(log.count(Side::Output, StreamPair::kHasSpaceAvailable), 1);

        ::send(listener.peer, "done", 4, 0);
        ASSERT_TRUE(
            waitFor([&] { return log.count(Side::Input, StreamPair::kHasBytesAvailable); }));
        EXPECT_EQ(streams.read(buffer, sizeof buffer), 4);
        if (reset) {
            const linger abortive{1, 0};
            ::setsockopt(listener.peer, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        }
        ::close(listener.peer);
        listener.peer = -1;
        const StreamPair::Event expected =
            reset ? StreamPair::kErrorOccurred : StreamPair::kEndEncountered;
        EXPECT_TRUE(waitFor([&] { return log.count(Side::Input, expected); }));
        EXPECT_EQ(log.count(Side::Input,
                            reset ? StreamPair::kEndEncountered : StreamPair::kErrorOccurred),
                  0);
        EXPECT_EQ(log.count(Side::Output, StreamPair::kHasSpaceAvailable), 1);
    }
}
