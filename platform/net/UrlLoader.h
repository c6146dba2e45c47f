#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Blocking URL fetches for callers that wait for the answer on the main thread: the request
// runs in a local event loop and gives up after a time-out.
class UrlLoader
{
public:
    struct Result
    {
        bool ok = false;
        QByteArray body;
        QString error; // why the fetch failed, when it did
    };

    static Result fetch(const QUrl& url, int timeoutMs);
};
