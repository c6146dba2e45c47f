// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <memory>

class QFile;
class QTimer;
class QSocketNotifier;

// One accepted TCP connection of the web server, driven by its socket's readiness on the thread
// that created it (which must run an event loop).
//
// The connection reads one request head, however many segments it arrives in: it reads until the
// blank line that ends the head (see headLength), until more than kHeadLimit bytes have arrived,
// or until kHeadTimeoutMs has passed, and hands what it has to onRequest. The answer given to
// send() is written without blocking: the head and body straight from the buffers handed in
// (never copied, so a body shared between connections stays one buffer), then an optional stretch
// of a file (with sendfile, or read and send where that fails), one bounded chunk at a time, so
// that many connections make progress side by side and a peer that stops reading holds up nobody
// else. The socket's send buffer is left to the system's tuning, and only so many bytes wait
// unsent in it (TCP_NOTSENT_LOWAT): kUnsentLimit to begin with, and as much as the peer takes in
// kUnsentMilliseconds at the rate it has been reading, up to kMaxUnsentLimit. A download is
// only handed to the kernel as fast as the peer takes it, a peer that reads slowly pins little
// kernel memory, and a fast one gets large turns (few trips through the event loop).
// When the answer is out the connection half-closes and drains what the peer still sends, so that
// the final close never resets an answer the peer has not read yet; then onFinished runs.
//
// The owner closes the connection (close()) from onFinished, on a stall, or at shut-down.
class HttpConnection : public QObject
{
    Q_OBJECT
public:
    // What is written back: head and body in one piece, then fileLength bytes of file from
    // fileOffset when a file is given.
    struct Answer
    {
        QByteArray head;
        QByteArray body;
        std::unique_ptr<QFile> file;
        qint64 fileOffset = 0;
        qint64 fileLength = 0;
    };

    enum class State
    {
        Reading,  // waiting for the request
        Writing,  // sending the answer
        Draining, // answer sent, output shut down, reading until the peer closes
        Closed
    };

    // Takes ownership of the connected, non-blocking socket descriptor.
    explicit HttpConnection(int socketDescriptor, QObject* parent = nullptr);
    ~HttpConnection() override;

    // Called once with the request bytes; empty when the peer closed (or the head time ran out)
    // without sending any.
    std::function<void(HttpConnection*, const QByteArray&)> onRequest;
    // Called once when the connection has nothing more to do: the answer is out and the peer
    // has closed, or a read or write failed.
    std::function<void(HttpConnection*)> onFinished;

    void send(Answer answer);
    // Closes the descriptor; safe to call more than once.
    void close();

    // The length of the request head at the start of bytes, up to and including the first blank
    // line, or -1 while no blank line has arrived. Lines may end in CR LF or in a bare LF, as
    // simple clients and hand-typed requests send them: the head ends at "\r\n\r\n", "\n\n",
    // "\r\n\n" or "\n\r\n", whichever comes first.
    static qsizetype headLength(const QByteArray& bytes);

    int fileDescriptor() const { return m_fd; }
    State state() const { return m_state; }
    // Time since the connection last moved a byte (or was accepted).
    qint64 millisecondsSinceProgress() const { return m_lastProgress.elapsed(); }
    // The bytes of the answer written to the socket so far.
    qint64 bytesSent() const { return m_bytesSent; }

    // The longest request head read, and the time it may take to arrive.
    static constexpr qint64 kHeadLimit = 8 * 1024;
    static constexpr int kHeadTimeoutMs = 5000;
    // The size of one file chunk.
    static constexpr qint64 kChunkSize = 64 * 1024;
    // How much one writability event may send before other connections get their turn.
    static constexpr qint64 kWriteBudget = 256 * 1024;
    // The same with sendfile, which costs this process no copying: larger turns mean fewer
    // trips through the event loop per file.
    static constexpr qint64 kSendfileBudget = 2 * 1024 * 1024;
    // The most answer bytes left waiting in the socket's send buffer before the peer has taken
    // those ahead of them, at first; writing resumes once fewer wait. Bounds the kernel memory a
    // peer that reads slowly (or not at all) can pin, and lets progress follow what the peer
    // reads. Once the peer has shown its pace, the bound becomes what it reads in
    // kUnsentMilliseconds, never less than kUnsentLimit and never more than kMaxUnsentLimit (the
    // system's own default for a socket's send buffer at its largest).
    static constexpr int kUnsentLimit = 256 * 1024;
    static constexpr int kMaxUnsentLimit = 4 * 1024 * 1024;
    static constexpr int kUnsentMilliseconds = 20;

    // The current bound on unsent bytes (for tests).
    int unsentLimit() const { return m_unsentLimit; }

private:
    void readyRead();
    void deliverRequest();
    void readyWrite();
    void writeSome();
    // Writes from the memory parts, at most `budget` bytes: the bytes written, or -1 when the
    // peer has gone. `full` tells that the socket took less than was offered.
    qint64 writeParts(qint64 budget, bool& full);
    void partsWritten(qint64 count);
    // Sets the bound on unsent bytes from the pace of the peer's reading since the last turn.
    void followPeerPace();
    // Ends a turn on a full socket that took `turnBytes`: writing goes on when there is room.
    void waitForRoom(qint64 turnBytes);
    void setUnsentLimit(int limit);
    void startDraining();
    void finish();

    int m_fd = -1;
    State m_state = State::Reading;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer* m_headTimer = nullptr;
    QByteArray m_request;
    // What is still to be written from memory: the answer's head, its body, and the chunk of
    // file last read (read and send only); m_part is the first part not yet out, m_partOffset
    // how much of it is.
    static constexpr int kParts = 3;
    QByteArray m_parts[kParts];
    int m_part = kParts;
    qint64 m_partOffset = 0;
    qint64 m_bytesSent = 0;
    Answer m_answer;
    qint64 m_fileRemaining = 0;
    qint64 m_filePosition = 0; // the next byte of the file to send
    bool m_useSendfile = false;
    int m_unsentLimit = 0;
    // Set when a turn ended on a full socket: the bytes that turn wrote and when it ended.
    bool m_waitingForRoom = false;
    qint64 m_turnBytes = 0;
    QElapsedTimer m_turnEnded;
    bool m_finished = false;
    QElapsedTimer m_lastProgress;
};
