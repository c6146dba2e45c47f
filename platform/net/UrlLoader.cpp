#include "platform/net/UrlLoader.h"

#include "platform/net/UrlConnection.h"

#include <QEventLoop>

UrlLoader::Result UrlLoader::fetch(const QUrl& url, int timeoutMs)
{
    UrlRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    return sendSynchronousRequest(request);
}

UrlLoader::Result UrlLoader::sendSynchronousRequest(const UrlRequest& request)
{
    Result result;
    QEventLoop loop;
    UrlConnection connection(request);
    QObject::connect(&connection, &UrlConnection::didReceiveData, &loop,
                     [&result](const QByteArray& data) { result.body += data; });
    QObject::connect(&connection, &UrlConnection::didFinishLoading, &loop, [&] {
        result.ok = true;
        loop.quit();
    });
    QObject::connect(&connection, &UrlConnection::didFailWithError, &loop,
                     [&](const QString& error) {
                         result.error = error;
                         loop.quit();
                     });
    if (!connection.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    result.status = connection.statusCode();
    if (!result.ok)
        result.body.clear();
    return result;
}
