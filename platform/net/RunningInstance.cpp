// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/RunningInstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr int kAnswerTimeoutMs = 3000;
const QByteArray kRaise = QByteArrayLiteral("raise\n");
const QByteArray kRaised = QByteArrayLiteral("raised\n");

// The socket's path: in the user's runtime folder, named after the folder it guards, so copies
// on other folders never meet.
QString socketPath(const QString& documentsPath)
{
    const QString canonical = QFileInfo(documentsPath).canonicalFilePath();
    const QByteArray digest =
        QCryptographicHash::hash((canonical.isEmpty() ? documentsPath : canonical).toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(24);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/sonavell-") + QString::fromLatin1(digest) +
           QStringLiteral(".socket");
}

} // namespace

RunningInstance::RunningInstance(const QString& documentsPath, QObject* parent)
    : QObject(parent)
    , m_lock(QDir(documentsPath).filePath(QLatin1String(kLockFileName)))
{
    // Only a holder that is gone frees the lock, however long a copy runs.
    m_lock.setStaleLockTime(0);
    const QString name = socketPath(documentsPath);
    if (m_lock.tryLock(0)) {
        listen(name);
        return;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        qWarning().noquote() << "Cannot make the lock file" << m_lock.fileName()
                             << "- another copy of Sonavell on this folder would not be noticed";
        return;
    }
    QString host;
    QString application;
    m_lock.getLockInfo(&m_otherProcess, &host, &application);
    m_outcome = askToRaise(name) ? Outcome::RaisedOther : Outcome::OtherNotAnswering;
}

RunningInstance::~RunningInstance()
{
    if (m_server)
        m_server->close();
}

void RunningInstance::listen(const QString& name)
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket left there is a crashed copy's.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        qWarning().noquote() << "A later start cannot reach this window:"
                             << m_server->errorString();
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine())
                    return;
                if (peer->readLine(64) == kRaise) {
                    emit raiseRequested();
                    peer->write(kRaised);
                    peer->flush();
                }
                peer->disconnectFromServer();
            });
        }
    });
}

bool RunningInstance::askToRaise(const QString& name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kAnswerTimeoutMs))
        return false;
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(kAnswerTimeoutMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(kAnswerTimeoutMs))
            return false;
    return socket.readLine(64) == kRaised;
}
