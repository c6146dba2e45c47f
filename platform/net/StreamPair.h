// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

class QSocketNotifier;

// The two directions of one TCP connection to a resolved service, driven without blocking by the
// event loop of the thread that opens it. Events are reported the way a stream delegate hears
// them, one at a time:
//   open completed (1) on the input and then the output side once the connection stands;
//   has bytes available (2) on the input side, again only after read() has been called;
//   has space available (4) on the output side, again only after write() has been called;
//   error (8) when the connection fails or breaks; end (16) on the input side when the peer
//   has closed its direction.
// An event that is not taken up (no read, no write) is not repeated, so an idle stream never
// keeps the loop busy.
class StreamPair : public QObject
{
    Q_OBJECT
public:
    enum Event : int
    {
        kOpenCompleted = 1,
        kHasBytesAvailable = 2,
        kHasSpaceAvailable = 4,
        kErrorOccurred = 8,
        kEndEncountered = 16,
    };
    enum class Side
    {
        Input,
        Output
    };

    // Where to connect: the resolved socket addresses (struct sockaddr of their family's size,
    // IPv4 or IPv6), tried in order; when there are none, the host name is looked up.
    struct Endpoint
    {
        QString hostName;
        int port = -1;
        std::vector<QByteArray> addresses;
        bool isEmpty() const { return addresses.empty() && (hostName.isEmpty() || port <= 0); }
    };

    class Delegate
    {
    public:
        virtual ~Delegate() = default;
        virtual void streamHandleEvent(StreamPair* stream, Side side, Event event) = 0;
    };

    explicit StreamPair(Endpoint endpoint, QObject* parent = nullptr);
    ~StreamPair() override;

    void setDelegate(Delegate* delegate) { m_delegate = delegate; }

    // Starts connecting; the outcome arrives as events.
    void open();
    // Up to `maxLength` bytes into `buffer`: the count read, 0 at the end of the input, -1 when
    // nothing is there yet or the connection failed.
    qint64 read(char* buffer, qint64 maxLength);
    // Offers `length` bytes; returns how many the connection accepted (possibly fewer, or 0
    // when it has no room), -1 when it failed.
    qint64 write(const char* data, qint64 length);
    // Half-closes the connection: tells the peer that nothing more will be written (bytes
    // already accepted by write() still go out), while the input side stays open for the peer's
    // answer and its own end. Writes after it fail. False when the connection is not open.
    bool shutdownOutput();
    // Ends the connection; no event follows. Safe to call more than once.
    void close();
    bool isOpen() const { return m_state == State::Open; }

protected:
    // The system call behind write(); a test may narrow what one call accepts.
    virtual qint64 sendSome(int fd, const char* data, qint64 length);

private:
    enum class State
    {
        Idle,
        Connecting,
        Open,
        Failed,
        Closed
    };

    bool connectNext();
    void connected();
    void readable();
    void writable();
    void fail();
    void report(Side side, Event event);

    Endpoint m_endpoint;
    std::vector<QByteArray> m_candidates;
    size_t m_next = 0;
    Delegate* m_delegate = nullptr;
    State m_state = State::Idle;
    int m_fd = -1;
    bool m_outputShut = false;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
};
