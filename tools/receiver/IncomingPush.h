// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReloHeader.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class PendingFile;
class QTcpSocket;
class QTimer;

// One push arriving on a connection: reads the header, waits for the receiver's decision,
// answers Accept or Reject, and after accepting writes exactly the announced number of bytes
// into an unnamed file that gets its name only when the last byte is in. A connection that
// breaks off, sends more than announced or falls silent for the stall time leaves no file.
//
// The sender takes the receiver's close as the sign that its recording arrived, so after the
// answer the connection is closed in an orderly way only once the file is stored under its
// name; a push that fails after Accept is ended with a reset, which the sender reports as a
// failure.
//
// Every phase is timed: the whole header must arrive within the stall time (however its bytes
// trickle in), a push the receiver has not decided on within the answer time is rejected, and
// the data may pause for at most the stall time.
class IncomingPush : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        ReadingHeader,
        Deciding,
        Receiving,
        Done
    };

    IncomingPush(QTcpSocket* socket, std::chrono::milliseconds stallTimeout,
                 std::chrono::milliseconds answerTimeout, QObject* parent = nullptr);
    ~IncomingPush() override;

    State state() const { return m_state; }
    const ReloHeader& header() const { return m_header; }
    // The sender's address as text.
    QString peer() const { return m_peer; }
    // The announced name in quotes, escaped for the terminal.
    QString quotedName() const;
    // Bytes of data received so far.
    qint64 received() const { return m_received; }

    // Answers Accept and receives the data into `folder`, saved as `fileName` (or a numbered
    // variant when the name is taken).
    void accept(const QString& folder, const QString& fileName);
    // Answers Reject (with the reason for the log line) and closes the connection.
    void reject(const QString& reason);

signals:
    // The header is read and the push waits for accept() or reject().
    void headerReady(IncomingPush* push);
    // The push is over; `line` says how it ended. The object is deleted later.
    void finished(IncomingPush* push, const QString& line);

private:
    void readSome();
    void receive(const QByteArray& bytes);
    enum class Close
    {
        Orderly, // the sender may take it as "received"
        Reset    // the sender learns that the push failed
    };
    void end(const QString& line, Close close = Close::Orderly);
    void disconnected();
    void stalled();

    QTcpSocket* m_socket;
    QString m_peer;
    State m_state = State::ReadingHeader;
    QByteArray m_buffer;
    ReloHeader m_header;
    std::unique_ptr<PendingFile> m_file;
    QString m_fileName;
    qint64 m_received = 0;
    std::chrono::milliseconds m_stallTimeout;
    std::chrono::milliseconds m_answerTimeout;
    // The header's deadline, then the answer's, then the stall time of the data.
    QTimer* m_stall = nullptr;
};
