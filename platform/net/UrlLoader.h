#pragma once

#include "platform/net/UrlRequest.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

// Blocking URL fetches for callers that wait for the answer on the main thread: the request
// runs in a local event loop (timers and sockets keep being served, user input waits) and gives
// up after the request's time-out.
class UrlLoader
{
public:
    struct Result
    {
        bool ok = false; // a complete answer with a 2xx status
        int status = 0;  // the HTTP status, 0 when none arrived
        QByteArray body;
        QString error; // why the request failed, when it did
    };

    static Result fetch(const QUrl& url, int timeoutMs);
    static Result sendSynchronousRequest(const UrlRequest& request);
};
