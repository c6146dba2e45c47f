// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/UrlLoader.h"

#include "platform/net/UrlConnection.h"

#include <memory>

UrlConnection* UrlLoader::get(const QUrl& url, int timeoutMs, QObject* context, Done done)
{
    UrlRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    return send(request, context, std::move(done));
}

UrlConnection* UrlLoader::send(const UrlRequest& request, QObject* context, Done done)
{
    Q_ASSERT(context);
    // A child of the context: it goes with the context, and its signals with it.
    auto* connection = new UrlConnection(request, context);
    auto result = std::make_shared<Result>();
    QObject::connect(connection, &UrlConnection::didReceiveData, connection,
                     [result](const QByteArray& data) { result->body += data; });
    auto finish = [connection, result, done = std::move(done)](bool ok, const QString& error) {
        result->ok = ok;
        result->error = error;
        result->status = connection->statusCode();
        if (!ok)
            result->body.clear();
        // Nothing more is wanted from it. It leaves the context first: `done` may delete the
        // context, which must not delete the connection inside its own signal.
        connection->disconnect();
        connection->setParent(nullptr);
        connection->deleteLater();
        if (done)
            done(*result);
    };
    QObject::connect(connection, &UrlConnection::didFinishLoading, connection,
                     [finish] { finish(true, QString()); });
    QObject::connect(connection, &UrlConnection::didFailWithError, connection,
                     [finish](const QString& error) { finish(false, error); });
    return connection;
}
