// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two real servers e-mail goes through, run as processes on 127.0.0.1 for a test: the
// test SMTP server (tests/support/smtp-sink.py, which stores every message it receives) and
// the built sonavell-upload-server with the former as its smarthost. Both stop with the object.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace sonavell::test {

// A message as the SMTP server received it, taken apart.
struct ReceivedMail
{
    QStringList envelopeTo;
    QString envelopeFrom;
    QString login;
    QMap<QByteArray, QByteArray> headers; // names in lower case, the first of each
    QByteArray text;                      // the text part, decoded
    QByteArray attachmentHead;            // the attachment part's header lines
    QByteArray attachment;                // decoded
    QByteArray raw;
};

inline QByteArray decodeQuotedPrintable(const QByteArray& in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && in.mid(i + 1, 2) == "\r\n") {
            i += 2; // soft line break
        } else if (in[i] == '=' && i + 2 < in.size()) {
            out += char(in.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

// The decoded text of a header that may hold RFC 2047 encoded words.
inline QString decodeHeader(const QByteArray& value)
{
    static const QRegularExpression word(QStringLiteral("=\\?UTF-8\\?B\\?([^?]*)\\?="),
                                         QRegularExpression::CaseInsensitiveOption);
    QString text = QString::fromUtf8(value);
    if (!text.contains(QLatin1String("=?")))
        return text;
    QByteArray decoded;
    auto it = word.globalMatch(text);
    while (it.hasNext())
        decoded += QByteArray::fromBase64(it.next().captured(1).toLatin1());
    return QString::fromUtf8(decoded);
}

inline ReceivedMail parseMail(const QByteArray& raw, const QByteArray& envelope)
{
    ReceivedMail mail;
    mail.raw = raw;
    for (const QByteArray& line : envelope.split('\n')) {
        if (line.startsWith("to "))
            mail.envelopeTo << QString::fromUtf8(line.mid(3));
        else if (line.startsWith("from "))
            mail.envelopeFrom = QString::fromUtf8(line.mid(5));
        else if (line.startsWith("login "))
            mail.login = QString::fromUtf8(line.mid(6));
    }
    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    QByteArray head = raw.left(headEnd);
    head.replace("\r\n ", " ");
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (colon > 0 && !mail.headers.contains(name))
            mail.headers.insert(name, line.mid(colon + 1).trimmed());
    }
    const QByteArray type = mail.headers.value("content-type");
    const qsizetype b = type.indexOf("boundary=");
    if (b < 0)
        return mail;
    QByteArray boundary = type.mid(b + 9);
    if (boundary.startsWith('"'))
        boundary = boundary.mid(1, boundary.indexOf('"', 1) - 1);
    const QByteArray body = raw.mid(headEnd + 4);
    const QList<QByteArray> parts = body.split('\n');
    // Split on the delimiter lines.
    QList<QByteArray> sections;
    QByteArray current;
    bool inside = false;
    for (QByteArray line : parts) {
        if (line.startsWith("--" + boundary)) {
            if (inside)
                sections << current;
            current.clear();
            inside = !line.startsWith("--" + boundary + "--");
            continue;
        }
        if (inside)
            current += line + '\n';
    }
    for (QByteArray section : sections) {
        if (section.endsWith("\r\n"))
            section.chop(2);
        const qsizetype end = section.indexOf("\r\n\r\n");
        const QByteArray partHead = section.left(end);
        const QByteArray content = section.mid(end + 4);
        if (partHead.toLower().contains("content-disposition: attachment")) {
            mail.attachmentHead = partHead;
            mail.attachment = QByteArray::fromBase64(content);
        } else {
            mail.text = partHead.toLower().contains("quoted-printable")
                            ? decodeQuotedPrintable(content)
                            : content;
        }
    }
    return mail;
}

// Reads "word N" from the first lines a process prints.
inline int readPort(QProcess& process, const QRegularExpression& pattern,
                    QByteArray* seen = nullptr)
{
    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        output += process.readAllStandardOutput();
        const auto match = pattern.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            if (seen)
                *seen = output;
            return match.captured(1).toInt();
        }
        process.waitForReadyRead(200);
    }
    if (seen)
        *seen = output + process.readAllStandardError();
    return 0;
}

class SmtpSink
{
public:
    // Extra arguments: --delay SECONDS, --refuse, --user NAME --password SECRET.
    explicit SmtpSink(const QStringList& options = {})
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{qEnvironmentVariable("SONAVELL_SOURCE_DIR") +
                                        QStringLiteral("/tests/support/smtp-sink.py"),
                                    m_dir.path()} +
                            options);
        m_port = readPort(m_process, QRegularExpression(QStringLiteral("port (\\d+)")));
    }
    ~SmtpSink()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }
    QString url() const { return QStringLiteral("smtp://127.0.0.1:%1").arg(m_port); }
    // Messages received so far, in order.
    QList<ReceivedMail> mails() const
    {
        QList<ReceivedMail> list;
        for (int n = 1;; ++n) {
            QFile eml(m_dir.filePath(QStringLiteral("%1.eml").arg(n)));
            QFile envelope(m_dir.filePath(QStringLiteral("%1.envelope").arg(n)));
            if (!eml.open(QIODevice::ReadOnly) || !envelope.open(QIODevice::ReadOnly))
                return list;
            list << parseMail(eml.readAll(), envelope.readAll());
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

class UploadServerProcess
{
public:
    static QString program()
    {
        return qEnvironmentVariable("SONAVELL_BUILD_DIR") +
               QStringLiteral("/tools/upload-server/sonavell-upload-server");
    }

    UploadServerProcess(const QString& smtpUrl, const QStringList& options = {})
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setStandardErrorFile(m_spool.filePath(QStringLiteral("server.log")));
        m_process.start(program(),
                        QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                    QStringLiteral("--smtp"), smtpUrl, QStringLiteral("--spool"),
                                    spoolDir()} +
                            options);
        m_port =
            readPort(m_process, QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)")),
                     &m_banner);
    }
    ~UploadServerProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    QString spoolDir() const { return m_spool.filePath(QStringLiteral("spool")); }
    // The spool files now held.
    QStringList spoolFiles() const { return QDir(spoolDir()).entryList(QDir::Files); }
    QByteArray banner() const { return m_banner; }
    QByteArray log() const
    {
        QFile file(m_spool.filePath(QStringLiteral("server.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QProcess& process() { return m_process; }

private:
    QTemporaryDir m_spool;
    QProcess m_process;
    int m_port = 0;
    QByteArray m_banner;
};

} // namespace sonavell::test
