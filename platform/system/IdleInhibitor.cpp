// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/IdleInhibitor.h"
#include "platform/system/PlatformSystemLog.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>

namespace {
const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kScreenSaverInterface = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kWho = QStringLiteral("Sonavell");
const QString kWhy = QStringLiteral("Recording or playing a memo");
} // namespace

IdleInhibitor::IdleInhibitor(QObject* parent)
    : IdleInhibitor(QDBusConnection::systemBus(), QDBusConnection::sessionBus(), parent)
{
}

IdleInhibitor::IdleInhibitor(const QDBusConnection& systemBus, const QDBusConnection& sessionBus,
                             QObject* parent)
    : QObject(parent)
    , m_system(systemBus)
    , m_session(sessionBus)
{
}

IdleInhibitor::~IdleInhibitor()
{
    releaseHolds(false);
}

void IdleInhibitor::setIdleTimerDisabled(bool disabled)
{
    if (disabled == m_disabled)
        return;
    m_disabled = disabled;
    ++m_generation;
    if (disabled)
        takeHolds();
    else
        releaseHolds(true);
}

void IdleInhibitor::takeHolds()
{
    const quint64 generation = m_generation;
    if (m_system.isConnected()) {
        QDBusMessage inhibit = QDBusMessage::createMethodCall(kLogindService, kLogindPath,
                                                              kLogindInterface, "Inhibit");
        inhibit << QStringLiteral("sleep:idle") << kWho << kWhy << QStringLiteral("block");
        auto* watcher = new QDBusPendingCallWatcher(m_system.asyncCall(inhibit), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, generation](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
                    if (reply.isError()) {
                        qCWarning(lcPlatformSystem).noquote()
                            << "No sleep inhibitor:" << reply.error().message();
                        return;
                    }
                    // An answer for a request that was withdrawn: the descriptor closes here.
                    if (generation != m_generation || !m_disabled)
                        return;
                    m_sleepLock = reply.value();
                    emit holdsChanged();
                });
    }
    if (m_session.isConnected()) {
        QDBusMessage inhibit = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                              kScreenSaverInterface, "Inhibit");
        inhibit << kWho << kWhy;
        auto* watcher = new QDBusPendingCallWatcher(m_session.asyncCall(inhibit), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, generation](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    QDBusPendingReply<uint> reply = *call;
                    if (reply.isError()) {
                        qCWarning(lcPlatformSystem).noquote()
                            << "No screen saver inhibit:" << reply.error().message();
                        return;
                    }
                    if (generation != m_generation || !m_disabled) {
                        releaseScreenSaver(reply.value());
                        return;
                    }
                    m_screenSaverCookie = reply.value();
                    emit holdsChanged();
                });
    }
}

void IdleInhibitor::releaseHolds(bool notify)
{
    const bool held = holdsSleepInhibitor() || holdsScreenSaverInhibit();
    // Closing the descriptor ends the logind inhibitor.
    m_sleepLock = QDBusUnixFileDescriptor();
    if (m_screenSaverCookie) {
        releaseScreenSaver(*m_screenSaverCookie);
        m_screenSaverCookie.reset();
    }
    if (held && notify)
        emit holdsChanged();
}

void IdleInhibitor::releaseScreenSaver(uint cookie)
{
    QDBusMessage uninhibit = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                            kScreenSaverInterface, "UnInhibit");
    uninhibit << cookie;
    m_session.call(uninhibit, QDBus::NoBlock);
}
