// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/HttpConnection.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

qsizetype HttpConnection::headLength(const QByteArray& bytes)
{
    // A blank line is a line feed followed by another line feed, or by CR LF.
    for (qsizetype i = bytes.indexOf('\n'); i >= 0; i = bytes.indexOf('\n', i + 1)) {
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
            return i + 2;
        if (i + 2 < bytes.size() && bytes[i + 1] == '\r' && bytes[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

HttpConnection::HttpConnection(int socketDescriptor, QObject* parent)
    : QObject(parent)
    , m_fd(socketDescriptor)
{
    m_lastProgress.start();
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &HttpConnection::readyRead);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &HttpConnection::readyWrite);
    m_headTimer = new QTimer(this);
    m_headTimer->setSingleShot(true);
    m_headTimer->setTimerType(Qt::PreciseTimer);
    connect(m_headTimer, &QTimer::timeout, this, &HttpConnection::deliverRequest);
    m_headTimer->start(kHeadTimeoutMs);
}

HttpConnection::~HttpConnection()
{
    close();
}

void HttpConnection::close()
{
    if (m_fd < 0)
        return;
    // The notifiers let go of the descriptor before it is closed and possibly reused; they may
    // be in the middle of reporting, so they are only switched off here and go with this object.
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    m_state = State::Closed;
    for (QByteArray& part : m_parts)
        part = QByteArray();
    m_part = kParts;
    m_request.clear();
    m_headTimer->stop();
    m_answer = Answer();
}

void HttpConnection::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    if (onFinished)
        onFinished(this);
}

void HttpConnection::readyRead()
{
    if (m_state == State::Draining) {
        char sink[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, sink, sizeof sink, MSG_DONTWAIT);
            if (n > 0)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return;
            finish(); // the peer closed (or reset): nothing more to do
            return;
        }
    }
    if (m_state != State::Reading)
        return;

    char buffer[4096];
    for (;;) {
        const qint64 room = kHeadLimit + 1 - m_request.size();
        const ssize_t n =
            ::recv(m_fd, buffer, size_t(std::min<qint64>(room, sizeof buffer)), MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return; // the rest of the head is still on its way
        if (n <= 0)
            break; // the peer closed or the read failed: answer what has arrived
        m_request.append(buffer, n);
        m_lastProgress.restart();
        if (m_request.size() > kHeadLimit || headLength(m_request) >= 0)
            break;
    }
    deliverRequest();
}

void HttpConnection::deliverRequest()
{
    if (m_state != State::Reading)
        return;
    m_headTimer->stop();
    // One request per connection: no more reading until the answer is out.
    m_readNotifier->setEnabled(false);
    m_state = State::Writing;
    const QByteArray request = std::exchange(m_request, QByteArray());
    if (onRequest)
        onRequest(this, request);
}

void HttpConnection::send(Answer answer)
{
    if (m_state == State::Closed || m_finished)
        return;
    if (m_state == State::Reading) {
        // Answered before any request was read (a refusal): the request is never read.
        m_headTimer->stop();
        m_readNotifier->setEnabled(false);
    }
    m_state = State::Writing;
    m_answer = std::move(answer);
    // Head and body are written from the buffers they came in; a body shared with other
    // connections is not copied.
    m_parts[0] = std::exchange(m_answer.head, QByteArray());
    m_parts[1] = std::exchange(m_answer.body, QByteArray());
    m_parts[2].clear();
    m_part = 0;
    m_partOffset = 0;
    partsWritten(0);
    m_fileRemaining = m_answer.file ? m_answer.fileLength : 0;
    m_filePosition = m_answer.fileOffset;
    m_useSendfile = m_answer.file && m_answer.file->handle() >= 0;
    setUnsentLimit(kUnsentLimit);
    m_waitingForRoom = false;
    if (m_answer.file && !m_answer.file->seek(m_answer.fileOffset)) {
        finish();
        return;
    }
    writeSome();
}

void HttpConnection::readyWrite()
{
    if (m_state != State::Writing)
        return;
    followPeerPace();
    writeSome();
}

void HttpConnection::setUnsentLimit(int limit)
{
    if (limit == m_unsentLimit)
        return;
    m_unsentLimit = limit;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &limit, sizeof limit);
}

void HttpConnection::followPeerPace()
{
    // The last turn filled the socket; the room this wake-up reports was made by the peer
    // reading about as much as that turn wrote, in the time since.
    if (!m_waitingForRoom)
        return;
    m_waitingForRoom = false;
    const qint64 elapsed = std::max<qint64>(m_turnEnded.nsecsElapsed(), 1);
    const double pace = double(m_turnBytes) / double(elapsed) * 1e6 * kUnsentMilliseconds;
    const int wanted = int(std::clamp<double>(pace, kUnsentLimit, kMaxUnsentLimit));
    // Only a clear change is worth a system call.
    if (wanted >= 2 * m_unsentLimit || 2 * wanted <= m_unsentLimit)
        setUnsentLimit(wanted);
}

void HttpConnection::partsWritten(qint64 count)
{
    while (m_part < kParts) {
        const qint64 rest = m_parts[m_part].size() - m_partOffset;
        if (count < rest) {
            m_partOffset += count;
            return;
        }
        count -= rest;
        // A part that is out is let go at once; the chunk buffer is kept for the next chunk.
        if (m_part < 2)
            m_parts[m_part] = QByteArray();
        ++m_part;
        m_partOffset = 0;
    }
}

qint64 HttpConnection::writeParts(qint64 budget, bool& full)
{
    iovec pieces[kParts];
    int count = 0;
    qint64 want = 0;
    for (int i = m_part; i < kParts && want < budget; ++i) {
        const qint64 offset = i == m_part ? m_partOffset : 0;
        const qint64 length = std::min<qint64>(m_parts[i].size() - offset, budget - want);
        if (length <= 0)
            continue;
        pieces[count].iov_base = const_cast<char*>(m_parts[i].constData() + offset);
        pieces[count].iov_len = size_t(length);
        ++count;
        want += length;
    }
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = size_t(count);
    // When file bytes follow the head, the head waits for them so that both leave in the
    // same segments instead of the head going out alone.
    const int more = m_useSendfile && m_fileRemaining > 0 ? MSG_MORE : 0;
    for (;;) {
        const ssize_t n = ::sendmsg(m_fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT | more);
        if (n >= 0) {
            partsWritten(n);
            // A short write means the socket's buffer is full: asking again now would only
            // fail with EAGAIN, so the caller waits until the peer has read some.
            full = n < want;
            return n;
        }
        if (errno == EINTR)
            continue;
        full = true;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

void HttpConnection::waitForRoom(qint64 turnBytes)
{
    m_waitingForRoom = true;
    m_turnBytes = turnBytes;
    m_turnEnded.start();
    m_writeNotifier->setEnabled(true);
}

void HttpConnection::writeSome()
{
    const qint64 turn = m_useSendfile ? kSendfileBudget : kWriteBudget;
    qint64 budget = turn;
    while (budget > 0) {
        if (m_part < kParts) {
            bool full = false;
            const qint64 n = writeParts(budget, full);
            if (n < 0) {
                finish(); // the peer went away
                return;
            }
            if (n > 0) {
                m_bytesSent += n;
                budget -= n;
                m_lastProgress.restart();
            }
            if (full) {
                waitForRoom(turn - budget);
                return;
            }
            continue;
        }
        if (m_fileRemaining <= 0) {
            startDraining();
            return;
        }
        if (m_useSendfile) {
            // The kernel copies the file to the socket: no pass through this process.
            off_t offset = off_t(m_filePosition);
            const qint64 want = std::min(m_fileRemaining, budget);
            const ssize_t n = ::sendfile(m_fd, m_answer.file->handle(), &offset, size_t(want));
            if (n > 0) {
                m_filePosition += n;
                m_fileRemaining -= n;
                m_bytesSent += n;
                budget -= n;
                m_lastProgress.restart();
                if (n < want && m_fileRemaining > 0) {
                    // The socket's buffer is full (see writeParts).
                    waitForRoom(turn - budget);
                    return;
                }
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                waitForRoom(turn - budget);
                return;
            }
            if (n < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                // This file or socket cannot be sent that way: read and send instead.
                m_useSendfile = false;
                if (m_answer.file->handle() < 0 && !m_answer.file->seek(m_filePosition)) {
                    finish();
                    return;
                }
                continue;
            }
            // The file shrank under us (0) or the peer went away: a short body and a
            // closed connection.
            finish();
            return;
        }
        QByteArray& chunk = m_parts[2];
        chunk.resize(std::min(kChunkSize, m_fileRemaining));
        // Read at the position this answer is at: the descriptor may be shared with other
        // answers (a kept page's in-memory file), and its own offset with it.
        const int handle = m_answer.file->handle();
        qint64 got = -1;
        if (handle >= 0) {
            do {
                got = ::pread(handle, chunk.data(), size_t(chunk.size()), off_t(m_filePosition));
            } while (got < 0 && errno == EINTR);
        } else {
            got = m_answer.file->read(chunk.data(), chunk.size());
        }
        if (got <= 0) {
            // The file shrank under us: the peer sees a short body and a closed connection.
            finish();
            return;
        }
        chunk.truncate(got);
        m_fileRemaining -= got;
        m_filePosition += got;
        m_part = 2;
        m_partOffset = 0;
    }
    // Budget spent: let the event loop serve the other connections first.
    m_writeNotifier->setEnabled(true);
}

void HttpConnection::startDraining()
{
    m_answer = Answer();
    m_state = State::Draining;
    m_writeNotifier->setEnabled(false);
    ::shutdown(m_fd, SHUT_WR);
    m_lastProgress.restart();
    m_readNotifier->setEnabled(true);
}
