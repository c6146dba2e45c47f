// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/system/MediaPlayerState.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class MprisPlayerAdaptor;
class MprisRootAdaptor;

// The program as a media player on the session bus (MPRIS 2: the object /org/mpris/MediaPlayer2
// with the interfaces org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player), so lock
// screens, notification areas and media keys can see and control playback.
//
// The service only carries requests and state: every request goes to a callback, and the owner
// reports its state with update(), which sends one PropertiesChanged with what differs from the
// last report, so the signals follow the reports in order. The position is read on demand and
// only its jumps are signalled (Seeked), as the protocol has it.
// Callbacks that are empty ignore their request.
class MediaPlayer2Service : public QObject
{
    Q_OBJECT
public:
    struct Handlers
    {
        std::function<void()> play;
        std::function<void()> pause;
        std::function<void()> playPause;
        std::function<void()> stop;
        // Relative, in microseconds.
        std::function<void(qint64 offsetUs)> seek;
        // Absolute, in microseconds, for the item trackId names (checked by the service).
        std::function<void(qint64 positionUs)> setPosition;
        // One of the supported rates (checked by the service).
        std::function<void(double rate)> setRate;
        std::function<void()> raise;
        // The play position in microseconds.
        std::function<qint64()> position;
    };

    static constexpr double kMinimumRate = 0.75;
    static constexpr double kMaximumRate = 1.5;
    // The rates the player has: its three play speeds.
    static bool isSupportedRate(double rate);

    // `instanceName` ends the bus name: org.mpris.MediaPlayer2.<instanceName>.
    MediaPlayer2Service(const QDBusConnection& bus, const QString& instanceName,
                        const QString& identity, const QString& desktopEntry, Handlers handlers,
                        QObject* parent = nullptr);
    ~MediaPlayer2Service() override;

    // Registers the object and the bus name. When the name is taken (another copy runs on
    // another library), the name gets ".instance<pid>" added, as the protocol asks. False when
    // there is no bus or nothing could be registered.
    bool start();
    bool isRegistered() const { return !m_serviceName.isEmpty(); }
    QString serviceName() const { return m_serviceName; }

    void update(const MediaPlayerState& state);
    const MediaPlayerState& state() const { return m_state; }
    // The position jumped (a seek, a move of the wheel): sends Seeked with the new position.
    void announceSeek(qint64 positionUs);

    // ---- For the adaptors ----
    const Handlers& handlers() const { return m_handlers; }
    QString identity() const { return m_identity; }
    QString desktopEntry() const { return m_desktopEntry; }
    // The item as the Metadata property carries it.
    QVariantMap metadata() const;
    QString playbackStatus() const;
    // The item's id as an object path; the protocol's "no track" path when there is none.
    QString trackPath() const;

private:
    void sendPropertiesChanged(const QString& interface, const QVariantMap& changed);

    QDBusConnection m_bus;
    QString m_instanceName;
    QString m_identity;
    QString m_desktopEntry;
    Handlers m_handlers;
    MediaPlayerState m_state;
    QString m_serviceName;
    bool m_objectRegistered = false;
    MprisRootAdaptor* m_root;
    MprisPlayerAdaptor* m_player;
};
