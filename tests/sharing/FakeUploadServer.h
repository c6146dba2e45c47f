// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An HTTP server on 127.0.0.1 inside the test, in the test's own event loop, that stands in for
// the upload server: it records every request and answers as the test says, also late, wrongly
// or not at all, which the real server never does on purpose.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace sonavell::test {

class FakeUploadServer
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        qint64 arrivedNs = 0;
        qint64 answeredNs = -1;
    };
    struct Answer
    {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        bool hangUp = false; // close the connection without an answer
        bool silent = false; // never answer
    };
    using Handler = std::function<Answer(const Request&, int index)>;

    // The default answers: a name "abc", "SUCCESS" for every part and for the mail.
    FakeUploadServer()
    {
        handler = [](const Request& request, int) {
            if (request.path.endsWith("uploadRandomName.php"))
                return Answer{200, "abc"};
            return Answer{200, "SUCCESS"};
        };
        m_clock.start();
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    *buffer += socket->readAll();
                    take(socket, *buffer);
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    const std::vector<Request>& requests() const { return m_requests; }
    std::vector<Request> requestsTo(const char* path) const
    {
        std::vector<Request> out;
        for (const Request& r : m_requests)
            if (r.path.endsWith(path))
                out.push_back(r);
        return out;
    }

    Handler handler;

private:
    void take(QTcpSocket* socket, QByteArray& buffer)
    {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.path = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        request.arrivedNs = m_clock.nsecsElapsed();
        const int index = int(m_requests.size());
        m_requests.push_back(request);
        const Answer answer = handler(m_requests.back(), index);
        if (answer.silent)
            return;
        QPointer<QTcpSocket> guard(socket);
        auto respond = [this, guard, answer, index] {
            if (!guard)
                return;
            m_requests[size_t(index)].answeredNs = m_clock.nsecsElapsed();
            if (answer.hangUp) {
                guard->abort();
                return;
            }
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n" +
                               "Content-Type: text/plain\r\nConnection: close\r\n" +
                               "Content-Length: " + QByteArray::number(answer.body.size()) +
                               "\r\n\r\n" + answer.body;
            guard->write(reply);
            guard->disconnectFromHost();
        };
        if (answer.delayMs > 0)
            QTimer::singleShot(answer.delayMs, &m_server, respond);
        else
            respond();
    }

    QTcpServer m_server;
    QElapsedTimer m_clock;
    std::vector<Request> m_requests;
};

} // namespace sonavell::test
