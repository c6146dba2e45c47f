// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace sonavell::test {

// A one-thread HTTP server on 127.0.0.1 that answers every request with a fixed reply and
// remembers the request lines it saw.
class ReplyServer
{
public:
    explicit ReplyServer(QByteArray status, QByteArray body, QByteArray contentType = "text/xml")
        : m_status(std::move(status))
        , m_body(std::move(body))
        , m_contentType(std::move(contentType))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_request += socket->readAll();
                if (!m_request.contains("\r\n\r\n"))
                    return;
                m_requestLines << QString::fromLatin1(m_request.left(m_request.indexOf("\r\n")));
                m_request.clear();
                socket->write("HTTP/1.1 " + m_status + "\r\nContent-Type: " + m_contentType +
                              "\r\nContent-Length: " + QByteArray::number(m_body.size()) +
                              "\r\nConnection: close\r\n\r\n" + m_body);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    QStringList requestLines() const { return m_requestLines; }

private:
    QTcpServer m_server;
    QByteArray m_status;
    QByteArray m_body;
    QByteArray m_contentType;
    QByteArray m_request;
    QStringList m_requestLines;
};

} // namespace sonavell::test
