// SPDX-License-Identifier: GPL-3.0-or-later
#include "PushReceiver.h"

#include "ContentName.h"
#include "IncomingPush.h"
#include "TerminalText.h"

#include <QDir>
#include <QSocketNotifier>
#include <QStorageInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kMostNameNumbers = 20;

} // namespace

PushReceiver::PushReceiver(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
{
}

PushReceiver::~PushReceiver()
{
    if (m_service) {
        m_service->setDelegate(nullptr);
        m_service->stop();
    }
}

quint16 PushReceiver::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void PushReceiver::print(const QString& line)
{
    if (output) {
        output(line);
        return;
    }
    std::fputs(qUtf8Printable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void PushReceiver::ask(const QString& question)
{
    if (prompt) {
        prompt(question);
        return;
    }
    std::fputs(qUtf8Printable(question), stdout);
    std::fflush(stdout);
}

bool PushReceiver::start()
{
    if (!QDir().mkpath(m_options.folder)) {
        std::fprintf(stderr, "sonavell-receive: cannot create the folder %s\n",
                     qUtf8Printable(m_options.folder));
        return false;
    }
    m_server = new QTcpServer(this);
    if (!m_server->listen(m_options.address, m_options.port)) {
        std::fprintf(stderr, "sonavell-receive: cannot listen on %s port %u: %s\n",
                     qUtf8Printable(m_options.address.toString()), unsigned(m_options.port),
                     qUtf8Printable(m_server->errorString()));
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &PushReceiver::newConnections);
    connect(m_server, &QTcpServer::acceptError, this, &PushReceiver::acceptFailed);
    if (m_options.mode == Mode::Ask) {
        m_stdin = new QSocketNotifier(m_options.answerFd, QSocketNotifier::Read, this);
        m_stdin->setEnabled(false);
        connect(m_stdin, &QSocketNotifier::activated, this, &PushReceiver::answerRead);
    }
    if (m_options.announce)
        publishAs(m_options.name);
    return true;
}

void PushReceiver::publishAs(const QString& name)
{
    if (m_service) {
        m_service->setDelegate(nullptr);
        m_service->stop();
        m_service->deleteLater();
    }
    m_service = new NetService(QStringLiteral("local."), QStringLiteral("_relo._tcp."), name,
                               m_server->serverPort(), this);
    m_service->setDelegate(this);
    m_service->publish();
}

void PushReceiver::netServiceDidPublish(NetService* sender)
{
    print(QStringLiteral("Receiving pushes as \"%1\" on port %2; saving into %3")
              .arg(sender->name(), QString::number(m_server->serverPort()), m_options.folder));
}

void PushReceiver::netServiceDidNotPublish(NetService* sender, const QVariantMap& errorDict)
{
    const int code =
        errorDict.value(QString::fromLatin1(NetService::kNetServicesErrorCode)).toInt();
    if (code == NetService::kNetServicesCollisionError && m_nameNumber < kMostNameNumbers) {
        // Another receiver on the network has the name: take the next numbered one.
        ++m_nameNumber;
        publishAs(QStringLiteral("%1 (%2)").arg(m_options.name, QString::number(m_nameNumber)));
        return;
    }
    std::fprintf(stderr,
                 "sonavell-receive: cannot announce \"%s\" over Bonjour (error %d); is "
                 "avahi-daemon running?\n",
                 qUtf8Printable(sender->name()), code);
    emit failed();
}

void PushReceiver::newConnections()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_acceptFailing = false;
        if (m_pushes >= m_options.maxPushes) {
            // Closed at once, so that the sender hears of it; said once until there is room.
            if (!m_refusing)
                print(tr("Refusing connections: %1 pushes are under way already")
                          .arg(m_options.maxPushes));
            m_refusing = true;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_pushes;
        auto* push =
            new IncomingPush(socket, m_options.stallTimeout, m_options.answerTimeout, this);
        connect(push, &IncomingPush::headerReady, this, &PushReceiver::judge);
        connect(push, &IncomingPush::finished, this, &PushReceiver::finished);
    }
}

void PushReceiver::acceptFailed()
{
    // QTcpServer stops accepting after such an error. It starts again after a pause, so that a
    // lack of file descriptors neither ends the receiving nor keeps it busy trying.
    if (!m_acceptFailing)
        print(tr("Cannot accept connections (%1); trying again every %2 ms")
                  .arg(m_server->errorString(), QString::number(m_options.acceptPause.count())));
    m_acceptFailing = true;
    m_server->pauseAccepting();
    QTimer::singleShot(m_options.acceptPause, this, [this] {
        if (m_server)
            m_server->resumeAccepting();
    });
}

qint64 PushReceiver::promisedBytes() const
{
    qint64 bytes = 0;
    for (const IncomingPush* push : m_receiving)
        bytes += std::max<qint64>(0, push->header().contentLength() - push->received());
    return bytes;
}

QString PushReceiver::refusal(const IncomingPush& push) const
{
    const ReloHeader& header = push.header();
    if (header.contentType() != QLatin1String("audio/wav"))
        return tr("not a WAV recording (Content-Type \"%1\")")
            .arg(TerminalText::escaped(header.contentType()));
    const qint64 length = header.contentLength();
    if (length < 0 && header.contentLengthText().endsWith(QLatin1Char('\r')))
        return tr("Content-Length \"%1\" ends in a carriage return; header lines end in a line "
                  "feed alone")
            .arg(TerminalText::escaped(header.contentLengthText()));
    if (length < 0)
        return tr("Content-Length \"%1\" is not a number of bytes")
            .arg(TerminalText::escaped(header.contentLengthText()));
    if (length == 0)
        return tr("the recording is empty");
    if (length > m_options.maxSize)
        return tr("%1 bytes is more than the limit of %2 bytes")
            .arg(QString::number(length), QString::number(m_options.maxSize));
    const qint64 free = QStorageInfo(m_options.folder).bytesAvailable();
    const qint64 promised = promisedBytes();
    if (free >= 0 && length > free - promised) {
        if (promised == 0)
            return tr("%1 bytes do not fit into the %2 bytes free in %3")
                .arg(QString::number(length), QString::number(free), m_options.folder);
        return tr("%1 bytes do not fit into the %2 bytes free in %3 beside the %4 bytes of the "
                  "pushes under way")
            .arg(QString::number(length), QString::number(free), m_options.folder,
                 QString::number(promised));
    }
    return {};
}

void PushReceiver::judge(IncomingPush* push)
{
    const QString why = refusal(*push);
    if (!why.isEmpty()) {
        push->reject(why);
        return;
    }
    switch (m_options.mode) {
    case Mode::Accept:
        acceptPush(push);
        return;
    case Mode::Reject:
        push->reject(QStringLiteral("this receiver rejects every push"));
        return;
    case Mode::Ask:
        if (m_stdinClosed) {
            push->reject(QStringLiteral("nobody is there to answer"));
            return;
        }
        m_questions.push_back(push);
        askNext();
        return;
    }
}

void PushReceiver::acceptPush(IncomingPush* push)
{
    // Checked again: while a question waited for its answer, other pushes may have taken the
    // space.
    const QString why = refusal(*push);
    if (!why.isEmpty()) {
        push->reject(why);
        return;
    }
    push->accept(m_options.folder,
                 ContentName::safeFileName(push->header().contentName()) + QStringLiteral(".wav"));
    if (push->state() == IncomingPush::State::Receiving)
        m_receiving.insert(push);
}

void PushReceiver::askNext()
{
    if (m_asking || m_questions.empty())
        return;
    IncomingPush* push = m_questions.front();
    m_asking = true;
    m_answer.clear();
    // Whatever was typed before the question is not its answer.
    if (::isatty(m_options.answerFd))
        ::tcflush(m_options.answerFd, TCIFLUSH);
    ask(tr("Push from %1: %2 (%3 bytes). Accept? [y/N] ")
            .arg(push->peer(), push->quotedName(),
                 QString::number(push->header().contentLength())));
    m_stdin->setEnabled(true);
}

void PushReceiver::answerRead()
{
    char buffer[256];
    const ssize_t n = ::read(m_options.answerFd, buffer, sizeof buffer);
    if (n <= 0) {
        // No one can answer any more: every waiting push is rejected.
        m_stdinClosed = true;
        m_stdin->setEnabled(false);
        ask(QStringLiteral("\n"));
        const std::deque<IncomingPush*> waiting = m_questions;
        m_questions.clear();
        m_asking = false;
        for (IncomingPush* push : waiting)
            push->reject(QStringLiteral("nobody is there to answer"));
        return;
    }
    m_answer.append(buffer, n);
    const qsizetype end = m_answer.indexOf('\n');
    if (end < 0)
        return;
    const QByteArray reply = m_answer.left(end).trimmed().toLower();
    m_stdin->setEnabled(false);
    m_asking = false;
    if (m_questions.empty())
        return;
    IncomingPush* push = m_questions.front();
    m_questions.pop_front();
    if (reply == "y" || reply == "yes")
        acceptPush(push);
    else
        push->reject(QStringLiteral("declined"));
    askNext();
}

void PushReceiver::finished(IncomingPush* push, const QString& line)
{
    --m_pushes;
    if (m_pushes < m_options.maxPushes)
        m_refusing = false;
    m_receiving.erase(push);
    const auto it = std::find(m_questions.begin(), m_questions.end(), push);
    const bool beingAsked = it == m_questions.begin() && m_asking;
    if (it != m_questions.end())
        m_questions.erase(it);
    if (beingAsked) {
        // The sender gave up while the question was open: the next one is asked instead.
        m_asking = false;
        m_stdin->setEnabled(false);
        ask(QStringLiteral("\n"));
    }
    print(line);
    askNext();
}
