// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/PushSender.h"

#include "platform/system/DocumentPath.h"
#include "sharing/SharingLog.h"

#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

constexpr const char kReject[] = "RELO/1.0\nReject";
constexpr const char kAccept[] = "RELO/1.0\nAccept";
constexpr qsizetype kReplyCompared = 15;

} // namespace

PushSender::PushSender(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_slice(new QTimer(this))
{
    if (!m_options.makeStreams)
        m_options.makeStreams = [](const StreamPair::Endpoint& endpoint) {
            return std::make_unique<StreamPair>(endpoint);
        };
    connect(m_slice, &QTimer::timeout, this, &PushSender::checkTimes);
}

PushSender::~PushSender()
{
    if (m_streams)
        m_streams->setDelegate(nullptr);
}

QByteArray PushSender::reloHeader(const QString& name, qint64 length)
{
    QString line = name;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("RELO/1.0\nContent-Type: audio/wav\nContent-Name: %1\nContent-Length: "
                          "%2\n")
        .arg(line, QString::number(length))
        .toUtf8();
}

void PushSender::start(const Job& job)
{
    QThread::currentThread()->setObjectName(QStringLiteral("RELO"));

    // The file of the recording that the header names, opened afresh for every push.
    curFilePath = job.recordingFile.isEmpty()
                      ? QString()
                      : DocumentPath::resolve(m_options.documentsPath, job.recordingFile);
    if (!curFilePath.isEmpty() && DocumentPath::kind(curFilePath) == DocumentPath::Kind::Regular) {
        auto file = std::make_unique<QFile>(curFilePath);
        if (file->open(QIODevice::ReadOnly))
            curFile = std::move(file);
    }
    if (!curFile) {
        qCWarning(lcSharing, "Push: the recording's file cannot be read: %s",
                  qUtf8Printable(job.recordingFile));
        emit finished();
        return;
    }
    curFileLen = curFile->size();
    m_headerName = job.recordingName;
    std::unique_ptr<StreamPair> streams =
        job.endpoint.isEmpty() ? nullptr : m_options.makeStreams(job.endpoint);
    if (!streams) {
        curFile.reset();
        emit finished();
        return;
    }
    m_streams = streams.release();
    m_streams->setParent(this);
    m_streams->setDelegate(this);
    m_streams->open();
    pushState = 0;
    m_lastProgress.start();
    emit connecting();

    // The times are checked in slices of at most a second (shorter when the stall or close time
    // is short).
    const qint64 stall = m_options.stallTimeout.count();
    const qint64 closeWait = m_options.closeTimeout.count();
    m_slice->start(static_cast<int>(std::clamp<qint64>(std::min(stall, closeWait) / 4, 10, 1000)));
}

void PushSender::cancel()
{
    if (m_streams)
        finish();
}

void PushSender::checkTimes()
{
    if (!m_streams)
        return;
    // After the last byte, the time runs from the half-close: the receiver may need a while to
    // store a long recording before it closes.
    if (pushState == 4 && m_lastProgress.elapsed() >= m_options.closeTimeout.count()) {
        qCWarning(lcSharing, "Push: the receiver did not confirm the recording in time.");
        m_pushFailed = true;
        finish();
    } else if (pushState != 4 && m_lastProgress.elapsed() >= m_options.stallTimeout.count()) {
        qCWarning(lcSharing, "Push: the receiver stopped answering.");
        m_pushFailed = true;
        finish();
    }
}

void PushSender::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_slice->stop();
    const bool failedPush = m_pushFailed;
    const bool sent = !failedPush && m_receiverClosed;
    shutDownConnection();
    if (failedPush)
        emit failed(progressPercent);
    else
        emit done(sent, progressPercent);
    emit finished();
}

void PushSender::shutDownConnection()
{
    if (m_streams) {
        m_streams->setDelegate(nullptr);
        m_streams->close();
        // Possibly inside one of its own events; freed at the latest when the thread ends.
        m_streams->deleteLater();
        m_streams = nullptr;
    }
    curFile.reset();
    pushState = 0;
}

void PushSender::streamHandleEvent(StreamPair* stream, StreamPair::Side side,
                                   StreamPair::Event event)
{
    if (stream != m_streams)
        return;
    using Side = StreamPair::Side;
    if (event == StreamPair::kEndEncountered && pushState == 4) {
        // The receiver closed its side after the whole file: it has the recording.
        m_receiverClosed = true;
        finish();
        return;
    }
    if (event == StreamPair::kErrorOccurred || event == StreamPair::kEndEncountered) {
        // A reset at any time, or an end before the whole file is out, fails the push.
        m_pushFailed = true;
        finish();
        return;
    }
    if (event == StreamPair::kOpenCompleted && side == Side::Output) {
        m_lastProgress.restart();
        emit connected();
        pushState = 1;
    } else if (event == StreamPair::kHasSpaceAvailable && side == Side::Output) {
        if (pushState == 1) {
            m_pending = reloHeader(m_headerName, curFileLen);
            pushState = 2;
            writePending();
        } else if (pushState == 2) {
            writePending(); // the rest of a header the stream took only in part
        } else if (pushState == 3) {
            sendFromFile();
        }
    } else if (event == StreamPair::kHasBytesAvailable && side == Side::Input && pushState == 2) {
        QByteArray reply(kReplyReadSize, '\0');
        const qint64 n = m_streams->read(reply.data(), reply.size());
        if (n < kReplyCompared)
            return; // no complete answer in this read
        m_lastProgress.restart();
        reply.truncate(kReplyCompared);
        if (reply == kReject) {
            shutDownConnection();
            emit rejected();
            finish();
        } else if (reply == kAccept) {
            if (!m_pending.isEmpty())
                return; // the header is not fully out yet: not a genuine answer
            // The first chunk goes at once; its share is told with the acceptance.
            progressPercent = 0.0;
            sendFromFile();
            if (!m_streams)
                return; // the file could not be read
            progressPercentLastShown = progressPercent;
            pushState = 3;
            emit accepted(progressPercent);
            // A file of one chunk (or none) is out already.
            if (m_pending.isEmpty() && m_bytesRead == curFileLen)
                finishSending();
        }
    } else if (event == StreamPair::kHasBytesAvailable && side == Side::Input && pushState >= 3) {
        discardInput();
    }
}

void PushSender::discardInput()
{
    // Nothing the receiver says after its answer matters, but left unread it would hide the
    // receiver's end (and make the final close a reset).
    char scratch[kChunkSize];
    m_streams->read(scratch, sizeof scratch);
}

void PushSender::sendFromFile()
{
    if (!m_pending.isEmpty()) {
        // The bytes the stream did not take last time go before the next chunk.
        writePending();
        return;
    }
    // Exactly the announced length goes, even if the file has grown since it was measured.
    const qint64 left = curFileLen - m_bytesRead;
    const QByteArray chunk =
        curFile && left > 0 ? curFile->read(std::min(kChunkSize, left)) : QByteArray();
    if (chunk.isEmpty()) {
        if (left > 0) {
            qCWarning(lcSharing, "Push: the recording's file ended before its announced length.");
            m_pushFailed = true;
            finish();
            return;
        }
        finishSending();
        return;
    }
    m_bytesRead += chunk.size();
    m_pending = chunk;
    const qint64 offered = m_pending.size();
    const qint64 taken = m_streams->write(m_pending.constData(), offered);
    if (taken < 0)
        return; // the error event follows
    if (taken < offered)
        qCWarning(lcSharing, "Experiencing network transfer problems.");
    m_pending.remove(0, taken);
    addProgress(taken);
    if (m_pending.isEmpty() && m_bytesRead == curFileLen)
        finishSending();
}

void PushSender::writePending()
{
    if (m_pending.isEmpty() || !m_streams)
        return;
    const qint64 taken = m_streams->write(m_pending.constData(), m_pending.size());
    if (taken <= 0)
        return;
    m_pending.remove(0, taken);
    if (pushState == 3) {
        addProgress(taken);
        if (m_pending.isEmpty() && m_bytesRead == curFileLen)
            finishSending();
    } else {
        m_lastProgress.restart();
    }
}

void PushSender::finishSending()
{
    if (pushState != 3 || !m_streams)
        return;
    // The receiver reads the end of the data and, once the recording is stored, closes its
    // side; that close is the only sign that the push arrived.
    pushState = 4;
    m_lastProgress.restart();
    if (!m_streams->shutdownOutput()) {
        m_pushFailed = true;
        finish();
    }
}

void PushSender::addProgress(qint64 bytes)
{
    if (bytes <= 0)
        return;
    m_lastProgress.restart();
    const double fraction = curFileLen > 0 ? double(bytes) / double(curFileLen) : 1.0;
    progressPercent += fraction;
    if (pushState == 3 && progressPercent - progressPercentLastShown >= 0.01) {
        emit progress(progressPercent);
        progressPercentLastShown = progressPercent;
    }
}
