// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/net/NetService.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <set>

#include <unistd.h>

class IncomingPush;
class QSocketNotifier;
class QTcpServer;

// The receiving side of a push: listens for connections, announces itself over Bonjour as a
// "_relo._tcp." service under a name the user sees, judges every announced push (accepting,
// rejecting or asking the user), and saves accepted recordings into a folder. Every push ends
// with one line on the output.
//
// It holds a bounded number of pushes at once (more connections are closed at once), asks about
// one push at a time, and counts the bytes that accepted pushes have still to bring against
// the free space, so that pushes that each fit but not together are not all accepted. When
// the system refuses new connections (no file descriptors left), it pauses accepting for a
// while instead of trying again at once.
class PushReceiver : public QObject, public NetService::Delegate
{
    Q_OBJECT
public:
    enum class Mode
    {
        Ask,
        Accept,
        Reject
    };

    struct Options
    {
        QString name;
        QString folder;
        Mode mode = Mode::Ask;
        qint64 maxSize = qint64(2) << 30;
        QHostAddress address = QHostAddress::Any;
        quint16 port = 0;
        // The time a sender may stay silent, and may take over its whole header.
        std::chrono::milliseconds stallTimeout{30000};
        // The time a push waits for the decision; the sender itself waits 30 seconds.
        std::chrono::milliseconds answerTimeout{30000};
        // Pushes held at once, in any phase.
        int maxPushes = 8;
        // Where the answers to the questions of --ask are read.
        int answerFd = STDIN_FILENO;
        // How long accepting pauses after the system refused a connection.
        std::chrono::milliseconds acceptPause{1000};
        // Whether to announce over Bonjour; off only where a test drives the receiver directly.
        bool announce = true;
    };

    explicit PushReceiver(Options options, QObject* parent = nullptr);
    ~PushReceiver() override;

    // Listens and publishes; false (with a message on the error output) when either fails.
    bool start();
    quint16 port() const;

    // Where the lines go; standard output when empty.
    std::function<void(const QString&)> output;
    // Where the questions of --ask go (without a line break); standard output when empty.
    std::function<void(const QString&)> prompt;

    // Bonjour callbacks.
    void netServiceDidPublish(NetService* sender) override;
    void netServiceDidNotPublish(NetService* sender, const QVariantMap& errorDict) override;

    // Why a push with this header cannot be taken, or an empty string when it can.
    QString refusal(const IncomingPush& push) const;

signals:
    // Publication failed for good; the program should end.
    void failed();

private:
    void newConnections();
    void acceptFailed();
    void judge(IncomingPush* push);
    void acceptPush(IncomingPush* push);
    void askNext();
    void answerRead();
    void finished(IncomingPush* push, const QString& line);
    void print(const QString& line);
    void ask(const QString& question);
    void publishAs(const QString& name);
    // Bytes the accepted pushes have still to bring.
    qint64 promisedBytes() const;

    Options m_options;
    QTcpServer* m_server = nullptr;
    NetService* m_service = nullptr;
    int m_nameNumber = 1;
    // Pushes waiting for the user's answer, the first one being asked.
    std::deque<IncomingPush*> m_questions;
    bool m_asking = false;
    QSocketNotifier* m_stdin = nullptr;
    QByteArray m_answer;
    bool m_stdinClosed = false;
    int m_pushes = 0;
    bool m_refusing = false;
    bool m_acceptFailing = false;
    std::set<IncomingPush*> m_receiving;
};
