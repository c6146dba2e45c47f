// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Service types and domains are spelt with a final dot here ("_http._tcp.", "local."), while
// dns_sd takes and reports them without it ("_http._tcp", "local").
class DnsServiceName
{
public:
    // The name as dns_sd wants it: UTF-8 without the final dot.
    static QByteArray withoutFinalDot(const QString& text)
    {
        QByteArray bytes = text.toUtf8();
        if (bytes.endsWith('.'))
            bytes.chop(1);
        return bytes;
    }

    // A name dns_sd reported, in the spelling with the final dot.
    static QString withFinalDot(const char* text)
    {
        QString result = QString::fromUtf8(text);
        if (!result.endsWith(QLatin1Char('.')))
            result += QLatin1Char('.');
        return result;
    }
};
