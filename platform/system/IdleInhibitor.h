// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <optional>

// Keeps the machine awake and the screen on while the idle timer is disabled (recording or
// playing). Disabled, it holds a logind "sleep:idle" inhibitor on the system bus and an
// org.freedesktop.ScreenSaver inhibit on the session bus; enabled again, it lets both go.
// Each bus or service that is missing is skipped; without any it only keeps the state.
//
// The calls never wait: a hold granted after the idle timer was enabled again is released at
// once, so nothing is ever left held.
class IdleInhibitor : public QObject
{
    Q_OBJECT
public:
    // On the machine's system bus and the user's session bus.
    explicit IdleInhibitor(QObject* parent = nullptr);
    // On the given connections (tests use a private bus for both).
    IdleInhibitor(const QDBusConnection& systemBus, const QDBusConnection& sessionBus,
                  QObject* parent = nullptr);
    ~IdleInhibitor() override;

    void setIdleTimerDisabled(bool disabled);
    bool isIdleTimerDisabled() const { return m_disabled; }

    // What is held now.
    bool holdsSleepInhibitor() const { return m_sleepLock.isValid(); }
    bool holdsScreenSaverInhibit() const { return m_screenSaverCookie.has_value(); }

signals:
    // A hold was taken or let go.
    void holdsChanged();

private:
    void takeHolds();
    void releaseHolds(bool notify);
    void releaseScreenSaver(uint cookie);

    QDBusConnection m_system;
    QDBusConnection m_session;
    bool m_disabled = false;
    // Counts the requests, so a late answer to an earlier one is recognised.
    quint64 m_generation = 0;
    QDBusUnixFileDescriptor m_sleepLock;
    std::optional<uint> m_screenSaverCookie;
};
