// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/net/UrlRequest.h"

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// One asynchronous HTTP request whose events arrive on the thread that made it: the answer's
// bytes as they come (didReceiveData), then either didFinishLoading or didFailWithError, exactly
// one of the two. An answer whose status is not 2xx is a failure, as are a lost connection and
// a request that outlasts its time-out. Destroying the connection cancels the request silently.
class UrlConnection : public QObject
{
    Q_OBJECT
public:
    // Starts the request at once.
    explicit UrlConnection(const UrlRequest& request, QObject* parent = nullptr);
    ~UrlConnection() override;

    bool isFinished() const { return m_finished; }
    int statusCode() const { return m_status; }

signals:
    void didReceiveData(const QByteArray& data);
    void didFinishLoading();
    void didFailWithError(const QString& error);

private:
    void onReadyRead();
    void onFinished();

    QNetworkAccessManager* m_manager = nullptr;
    QNetworkReply* m_reply = nullptr;
    QTimer* m_timer = nullptr;
    bool m_finished = false;
    bool m_timedOut = false;
    int m_status = 0;
};
