// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/UrlConnection.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

UrlConnection::UrlConnection(const UrlRequest& request, QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_timer(new QTimer(this))
{
    QNetworkRequest networkRequest(request.url);
    for (const auto& [name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    networkRequest.setTransferTimeout(request.timeoutMs);
    if (request.method == "GET")
        m_reply = m_manager->get(networkRequest);
    else
        m_reply = m_manager->sendCustomRequest(networkRequest, request.method, request.body);
    connect(m_reply, &QNetworkReply::readyRead, this, &UrlConnection::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UrlConnection::onFinished);
    // The transfer time-out only counts silence; this one bounds the whole exchange.
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        m_reply->abort();
    });
    m_timer->start(request.timeoutMs);
}

UrlConnection::~UrlConnection()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply;
    }
}

void UrlConnection::onReadyRead()
{
    m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // The bytes of an error answer are not the answer the caller waits for.
    if (m_status >= 200 && m_status < 300)
        emit didReceiveData(m_reply->readAll());
}

void UrlConnection::onFinished()
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer->stop();
    m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool httpError = m_status != 0 && (m_status < 200 || m_status >= 300);
    if (m_timedOut) {
        emit didFailWithError(QStringLiteral("no answer in time"));
    } else if (httpError) {
        emit didFailWithError(QStringLiteral("HTTP status %1").arg(m_status));
    } else if (m_reply->error() != QNetworkReply::NoError) {
        // No answer, or one cut short.
        emit didFailWithError(m_reply->errorString());
    } else {
        if (m_reply->bytesAvailable() > 0)
            emit didReceiveData(m_reply->readAll());
        emit didFinishLoading();
    }
}
