// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/net/StreamPair.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QFile;
class QTimer;

// The sending side of one push over RELO/1.0, apart from any screen: connects to a receiver,
// announces the recording with its header, waits for the receiver's Accept or Reject and then
// streams the file in 512-byte chunks. It lives on the push thread (one per Send), whose event
// loop delivers the stream events, and is driven only through start() and cancel(), called on
// that thread; what happens is told by its signals, in this order:
//   connecting, connected, then rejected or accepted followed by any number of progress;
//   then exactly one of failed or done; and last, always, finished.
// A push that cannot start (the file cannot be read, no receiver, no connection) emits only
// finished.
//
// Once the last byte of the file is handed to the connection, the push closes its writing side
// and waits (at most the close time) for the receiver to close its side, which a receiver does
// once the recording is stored; only then is the push sent. A push fails when the connection
// breaks or closes early (a receiver that cannot keep the data resets it), when the receiver
// neither answers nor takes data for the stall time, or when it does not confirm in the close
// time.
class PushSender : public QObject, public StreamPair::Delegate
{
    Q_OBJECT
public:
    struct Options
    {
        // The folder that the recordings' file names are resolved in.
        QString documentsPath;
        // Makes the stream pair to a receiver (on the push thread); a plain StreamPair when empty.
        std::function<std::unique_ptr<StreamPair>(const StreamPair::Endpoint&)> makeStreams;
        // A push during which the receiver neither answers nor takes data this long fails.
        std::chrono::milliseconds stallTimeout{30000};
        // A push whose receiver has not closed its side this long after the last byte fails.
        std::chrono::milliseconds closeTimeout{30000};
    };

    // What one push sends, and where.
    struct Job
    {
        QString recordingName;         // announced as the Content-Name
        QString recordingFile;         // the file's name in the documents folder
        StreamPair::Endpoint endpoint; // empty when no receiver is chosen
    };

    static constexpr qint64 kChunkSize = 512;
    static constexpr qint64 kReplyReadSize = 16384;

    explicit PushSender(Options options, QObject* parent = nullptr);
    ~PushSender() override;

    // The header that announces a recording: name and length as given, except that line breaks
    // in the name become blanks so the name stays on its own line.
    static QByteArray reloHeader(const QString& name, qint64 length);

    // Starts the push of `job`; once per sender.
    void start(const Job& job);
    // Ends the push under way, which then emits done (not sent) and finished.
    void cancel();

    // Stream events.
    void streamHandleEvent(StreamPair* stream, StreamPair::Side side,
                           StreamPair::Event event) override;

signals:
    // The connection is being made.
    void connecting();
    // The connection stands; the header goes next.
    void connected();
    // The receiver declined the recording; done follows.
    void rejected();
    // The receiver took the recording and the first chunk is out: `progress` is the share of
    // the file sent, as in every signal that carries it.
    void accepted(double progress);
    // The share sent has grown by at least a hundredth since it was last told.
    void progress(double progress);
    // The push broke off, stalled or was not confirmed; the connection is closed.
    void failed(double progress);
    // The push is over and the connection closed: `sent` when the receiver confirmed the
    // recording, otherwise it was rejected or cancelled.
    void done(bool sent, double progress);
    // Nothing more comes from this sender.
    void finished();

private:
    // Closes the connection and says how the push ended.
    void finish();
    void shutDownConnection();
    void checkTimes();
    // Writes what is pending, or the next chunk of the file.
    void sendFromFile();
    void writePending();
    // After the last byte: closes the writing side and waits for the receiver's close.
    void finishSending();
    // Reads and drops what the receiver sends after its answer, so that its end is heard.
    void discardInput();
    void addProgress(qint64 bytes);

    Options m_options;
    StreamPair* m_streams = nullptr;
    // 0 connecting, 1 open, 2 header sent, 3 accepted and sending, 4 file out and the writing
    // side closed, waiting for the receiver to close its side.
    int pushState = 0;
    std::unique_ptr<QFile> curFile;
    QString curFilePath;
    qint64 curFileLen = 0;
    QString m_headerName;
    double progressPercent = 0.0;
    double progressPercentLastShown = 0.0;
    QByteArray m_pending;          // bytes offered to the stream but not yet accepted
    qint64 m_bytesRead = 0;        // bytes of the file read so far (at most curFileLen)
    bool m_receiverClosed = false; // the receiver closed its side after the whole file
    bool m_pushFailed = false;
    bool m_finished = false;
    QElapsedTimer m_lastProgress;
    // Checks the stall and close times.
    QTimer* m_slice = nullptr;
};
