// SPDX-License-Identifier: GPL-3.0-or-later
#include "IncomingPush.h"

#include "TerminalText.h"

#include "platform/net/ConnectionReset.h"
#include "platform/system/PendingFile.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

IncomingPush::IncomingPush(QTcpSocket* socket, std::chrono::milliseconds stallTimeout,
                           std::chrono::milliseconds answerTimeout, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_stallTimeout(stallTimeout)
    , m_answerTimeout(answerTimeout)
{
    m_socket->setParent(this);
    QHostAddress address = m_socket->peerAddress();
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    if (mapped)
        address = QHostAddress(ipv4);
    m_peer = address.toString();
    m_stall = new QTimer(this);
    m_stall->setSingleShot(true);
    m_stall->setInterval(stallTimeout);
    connect(m_stall, &QTimer::timeout, this, &IncomingPush::stalled);
    connect(m_socket, &QTcpSocket::readyRead, this, &IncomingPush::readSome);
    connect(m_socket, &QTcpSocket::disconnected, this, &IncomingPush::disconnected);
    // The whole header must arrive within the stall time: the timer is not restarted for it.
    m_stall->start();
    // Bytes may already be waiting.
    QMetaObject::invokeMethod(this, &IncomingPush::readSome, Qt::QueuedConnection);
}

IncomingPush::~IncomingPush() = default;

QString IncomingPush::quotedName() const
{
    return QLatin1Char('"') + TerminalText::escaped(m_header.contentName()) + QLatin1Char('"');
}

void IncomingPush::readSome()
{
    if (m_state == State::Done)
        return;
    const QByteArray bytes = m_socket->readAll();
    if (bytes.isEmpty())
        return;
    if (m_state == State::Receiving) {
        m_stall->start();
        receive(bytes);
        return;
    }
    if (m_state == State::Deciding) {
        // A sender waits for the answer before it sends data.
        end(tr("Push of %1 from %2 failed: data arrived before the answer")
                .arg(quotedName(), m_peer));
        return;
    }
    m_buffer += bytes;
    switch (m_header.parse(m_buffer)) {
    case ReloHeader::Status::Incomplete:
        return;
    case ReloHeader::Status::Invalid:
        end(tr("Connection from %1 closed: %2").arg(m_peer, m_header.error()));
        return;
    case ReloHeader::Status::Complete:
        break;
    }
    if (m_buffer.size() > m_header.size()) {
        end(tr("Push of %1 from %2 failed: data arrived before the answer")
                .arg(quotedName(), m_peer));
        return;
    }
    m_buffer.clear();
    m_state = State::Deciding;
    // The sender waits for the answer, as long as the answer time.
    m_stall->setInterval(m_answerTimeout);
    m_stall->start();
    emit headerReady(this);
}

void IncomingPush::accept(const QString& folder, const QString& fileName)
{
    if (m_state != State::Deciding)
        return;
    m_file = std::make_unique<PendingFile>(folder);
    if (!m_file->open()) {
        reject(tr("cannot write into %1 (%2)").arg(folder, m_file->errorString()));
        return;
    }
    m_fileName = fileName;
    m_state = State::Receiving;
    m_socket->write("RELO/1.0\nAccept\n");
    m_stall->setInterval(m_stallTimeout);
    m_stall->start();
    if (m_header.contentLength() == 0)
        receive({});
}

void IncomingPush::reject(const QString& reason)
{
    if (m_state != State::Deciding)
        return;
    m_socket->write("RELO/1.0\nReject\n");
    m_socket->flush();
    end(tr("Rejected %1 from %2: %3").arg(quotedName(), m_peer, reason));
}

void IncomingPush::receive(const QByteArray& bytes)
{
    const qint64 expected = m_header.contentLength();
    if (m_received + bytes.size() > expected) {
        end(tr("Push of %1 from %2 failed: more than the announced %3 bytes; nothing saved")
                .arg(quotedName(), m_peer, QString::number(expected)),
            Close::Reset);
        return;
    }
    if (!m_file->write(bytes.constData(), bytes.size())) {
        end(tr("Push of %1 from %2 failed: %3; nothing saved")
                .arg(quotedName(), m_peer, m_file->errorString()),
            Close::Reset);
        return;
    }
    m_received += bytes.size();
    if (m_received < expected)
        return;
    // The file is flushed and named before the connection is closed: the close confirms it.
    const QString path = m_file->commit(m_fileName);
    if (path.isEmpty()) {
        end(tr("Push of %1 from %2 failed: %3; nothing saved")
                .arg(quotedName(), m_peer, m_file->errorString()),
            Close::Reset);
        return;
    }
    end(tr("Saved %1 from %2 (%3 bytes) as %4")
            .arg(quotedName(), m_peer, QString::number(expected), path));
}

void IncomingPush::disconnected()
{
    if (m_state == State::Done)
        return;
    // Whatever was still buffered counts before the end is judged.
    readSome();
    if (m_state == State::Done)
        return;
    if (m_state == State::Receiving)
        end(tr("Push of %1 from %2 broke off after %3 of %4 bytes; nothing saved")
                .arg(quotedName(), m_peer, QString::number(m_received),
                     QString::number(m_header.contentLength())));
    else if (m_state == State::Deciding)
        end(tr("Push of %1 from %2 withdrawn by the sender").arg(quotedName(), m_peer));
    else
        end(tr("Connection from %1 closed before a complete header").arg(m_peer));
}

void IncomingPush::stalled()
{
    if (m_state == State::Receiving)
        end(tr("Push of %1 from %2 stalled after %3 of %4 bytes; nothing saved")
                .arg(quotedName(), m_peer, QString::number(m_received),
                     QString::number(m_header.contentLength())),
            Close::Reset);
    else if (m_state == State::Deciding)
        reject(tr("no answer within %1 seconds")
                   .arg(QString::number(double(m_answerTimeout.count()) / 1000.0)));
    else if (m_state == State::ReadingHeader)
        end(tr("Connection from %1 closed: no complete header in time").arg(m_peer));
}

void IncomingPush::end(const QString& line, Close close)
{
    if (m_state == State::Done)
        return;
    m_state = State::Done;
    m_stall->stop();
    if (m_file)
        m_file->discard();
    m_socket->disconnect(this);
    if (close == Close::Reset && ConnectionReset::resetOnClose(m_socket->socketDescriptor()))
        m_socket->abort();
    else
        m_socket->disconnectFromHost();
    emit finished(this, line);
    deleteLater();
}
