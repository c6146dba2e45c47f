// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/net/UrlRequest.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

class QObject;
class UrlConnection;

// URL fetches whose whole answer is wanted at once, without holding the event loop: the request
// starts at once and its outcome is handed to `done` from the event loop, after the request's
// time-out at the latest. The request belongs to `context` (which must be given): when the
// context is deleted first, the request ends with it and `done` is never called, so `done` may
// use whatever the context keeps alive. Deleting the returned connection cancels the request in
// the same silent way; it deletes itself once the outcome is handed over, so keep it in a
// QPointer.
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
    using Done = std::function<void(const Result&)>;

    static UrlConnection* get(const QUrl& url, int timeoutMs, QObject* context, Done done);
    static UrlConnection* send(const UrlRequest& request, QObject* context, Done done);
};
