// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The header a sender announces a push with, read from the start of what it has sent:
//   RELO/1.0\nContent-Type: audio/wav\nContent-Name: <name>\nContent-Length: <bytes>\n
// Lines end with a line feed; the Content-Length line ends the header (so does an empty line).
// Fields may come in any order; unknown ones are ignored. A carriage return before the line feed
// stays in the value, as the sender never sends one: "12\r" is no number of bytes.
class ReloHeader
{
public:
    enum class Status
    {
        Incomplete, // more bytes are needed
        Complete,   // the header is read; its fields are set (they may still be unacceptable)
        Invalid,    // not a push this receiver can read; see error()
    };

    Status parse(const QByteArray& bytes);

    QString contentType() const { return m_contentType; }
    QString contentName() const { return m_contentName; }
    // The announced length, or -1 when it is missing or not a plain decimal number.
    qint64 contentLength() const { return m_contentLength; }
    QString contentLengthText() const { return m_contentLengthText; }
    // The number of bytes the header took up.
    qsizetype size() const { return m_size; }
    QString error() const { return m_error; }

    static constexpr qsizetype kMaxSize = 16 * 1024;

private:
    Status invalid(const QString& error);

    QString m_contentType;
    QString m_contentName;
    QString m_contentLengthText;
    qint64 m_contentLength = -1;
    qsizetype m_size = 0;
    QString m_error;
};
