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
                 QObject* parent = nullptr);
    ~IncomingPush() override;

    State state() const { return m_state; }
    const ReloHeader& header() const { return m_header; }
    // The sender's address as text.
    QString peer() const { return m_peer; }
    // The announced name in quotes, escaped for the terminal.
    QString quotedName() const;

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
    void end(const QString& line);
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
    QTimer* m_stall = nullptr;
};
