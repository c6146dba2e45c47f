#include "platform/net/HttpConnection.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

qint64 firstNumberIn(const char* path, int index)
{
    std::ifstream in(path);
    qint64 value = -1;
    for (int i = 0; i <= index && in; ++i)
        in >> value;
    return in ? value : -1;
}

// The send buffer to ask for before a long file answer, or 0 to leave the socket as it is. The
// kernel grows a TCP send buffer by itself up to tcp_wmem's maximum; a buffer set by hand may
// reach twice net.core.wmem_max (the kernel doubles the request for its bookkeeping) but then no
// longer grows. Only where that is the larger of the two is it set: every wake-up then hands the
// kernel more of the file, so a download takes fewer trips through the event loop.
int longAnswerSendBuffer()
{
    static const int size = [] {
        const qint64 manualLimit = firstNumberIn("/proc/sys/net/core/wmem_max", 0);
        const qint64 tunedLimit = firstNumberIn("/proc/sys/net/ipv4/tcp_wmem", 2);
        const qint64 request = std::min(manualLimit, HttpConnection::kLongAnswerSendBuffer);
        return request > 0 && tunedLimit > 0 && 2 * request > tunedLimit ? int(request) : 0;
    }();
    return size;
}

} // namespace

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
    m_pending.clear();
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
    m_state = State::Writing;
    m_answer = std::move(answer);
    m_pending = m_answer.head + m_answer.body;
    m_answer.head.clear();
    m_answer.body.clear();
    m_pendingOffset = 0;
    m_fileRemaining = m_answer.file ? m_answer.fileLength : 0;
    m_filePosition = m_answer.fileOffset;
    m_useSendfile = m_answer.file && m_answer.file->handle() >= 0;
    if (m_useSendfile && m_fileRemaining >= kLongAnswer) {
        const int size = longAnswerSendBuffer();
        if (size > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    if (m_answer.file && !m_answer.file->seek(m_answer.fileOffset)) {
        finish();
        return;
    }
    writeSome();
}

void HttpConnection::readyWrite()
{
    if (m_state == State::Writing)
        writeSome();
}

void HttpConnection::writeSome()
{
    qint64 budget = m_useSendfile ? kSendfileBudget : kWriteBudget;
    while (budget > 0) {
        if (m_pendingOffset >= m_pending.size()) {
            m_pending.clear();
            m_pendingOffset = 0;
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
                    budget -= n;
                    m_lastProgress.restart();
                    if (n < want && m_fileRemaining > 0) {
                        // A short write means the socket's buffer is full: asking again now
                        // would only fail with EAGAIN, so wait until the peer has read some.
                        m_writeNotifier->setEnabled(true);
                        return;
                    }
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    m_writeNotifier->setEnabled(true);
                    return;
                }
                if (n < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                    // This file or socket cannot be sent that way: read and send instead.
                    m_useSendfile = false;
                    if (!m_answer.file->seek(m_filePosition)) {
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
            m_pending.resize(std::min(kChunkSize, m_fileRemaining));
            const qint64 got = m_answer.file->read(m_pending.data(), m_pending.size());
            if (got <= 0) {
                // The file shrank under us: the peer sees a short body and a closed connection.
                finish();
                return;
            }
            m_pending.truncate(got);
            m_fileRemaining -= got;
            m_filePosition += got;
        }
        const qint64 want = std::min<qint64>(m_pending.size() - m_pendingOffset, budget);
        // When file bytes follow the head, the head waits for them so that both leave in the
        // same segments instead of the head going out alone.
        const int more = m_useSendfile && m_fileRemaining > 0 ? MSG_MORE : 0;
        const ssize_t n = ::send(m_fd, m_pending.constData() + m_pendingOffset, want,
                                 MSG_NOSIGNAL | MSG_DONTWAIT | more);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_writeNotifier->setEnabled(true);
                return;
            }
            finish(); // the peer went away
            return;
        }
        m_pendingOffset += n;
        budget -= n;
        m_lastProgress.restart();
        if (n < want) {
            // The socket's buffer is full (see above).
            m_writeNotifier->setEnabled(true);
            return;
        }
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
