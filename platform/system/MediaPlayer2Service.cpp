// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/MediaPlayer2Service.h"

#include "platform/system/MprisPlayerAdaptor.h"
#include "platform/system/MprisRootAdaptor.h"
#include "platform/system/PlatformSystemLog.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDebug>

#include <cmath>

namespace {
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
} // namespace

bool MediaPlayer2Service::isSupportedRate(double rate)
{
    for (const double supported : {0.75, 1.0, 1.5})
        if (std::abs(rate - supported) < 1e-6)
            return true;
    return false;
}

MediaPlayer2Service::MediaPlayer2Service(const QDBusConnection& bus, const QString& instanceName,
                                         const QString& identity, const QString& desktopEntry,
                                         Handlers handlers, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_instanceName(instanceName)
    , m_identity(identity)
    , m_desktopEntry(desktopEntry)
    , m_handlers(std::move(handlers))
    , m_root(new MprisRootAdaptor(this))
    , m_player(new MprisPlayerAdaptor(this))
{
}

MediaPlayer2Service::~MediaPlayer2Service()
{
    if (!m_serviceName.isEmpty())
        m_bus.unregisterService(m_serviceName);
    if (m_objectRegistered)
        m_bus.unregisterObject(kObjectPath);
}

bool MediaPlayer2Service::start()
{
    if (!m_bus.isConnected())
        return false;
    if (!m_objectRegistered) {
        m_objectRegistered = m_bus.registerObject(kObjectPath, this);
        if (!m_objectRegistered) {
            qCWarning(lcPlatformSystem) << "The media player object could not be registered";
            return false;
        }
    }
    const QString name = QStringLiteral("org.mpris.MediaPlayer2.") + m_instanceName;
    for (const QString& candidate :
         {name, name + QStringLiteral(".instance") +
                    QString::number(QCoreApplication::applicationPid())}) {
        if (m_bus.registerService(candidate)) {
            m_serviceName = candidate;
            qCInfo(lcPlatformSystem).noquote()
                << "Media controls on the session bus as" << candidate;
            return true;
        }
    }
    qCWarning(lcPlatformSystem).noquote()
        << "The media player name could not be taken:" << m_bus.lastError().message();
    return false;
}

QString MediaPlayer2Service::trackPath() const
{
    return m_state.trackId.isEmpty() ? kNoTrack : m_state.trackId;
}

QVariantMap MediaPlayer2Service::metadata() const
{
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackPath())));
    if (m_state.trackId.isEmpty())
        return map;
    map.insert(QStringLiteral("mpris:length"), QVariant::fromValue(qlonglong(m_state.lengthUs)));
    map.insert(QStringLiteral("xesam:title"), m_state.title);
    return map;
}

QString MediaPlayer2Service::playbackStatus() const
{
    switch (m_state.status) {
    case MediaPlayerState::Status::Playing:
        return QStringLiteral("Playing");
    case MediaPlayerState::Status::Paused:
        return QStringLiteral("Paused");
    case MediaPlayerState::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

void MediaPlayer2Service::update(const MediaPlayerState& state)
{
    const MediaPlayerState old = m_state;
    m_state = state;
    QVariantMap changed;
    if (old.status != state.status)
        changed.insert(QStringLiteral("PlaybackStatus"), playbackStatus());
    if (old.rate != state.rate)
        changed.insert(QStringLiteral("Rate"), state.rate);
    if (old.trackId != state.trackId || old.title != state.title || old.lengthUs != state.lengthUs)
        changed.insert(QStringLiteral("Metadata"), metadata());
    if (old.canPlay != state.canPlay)
        changed.insert(QStringLiteral("CanPlay"), state.canPlay);
    if (old.canPause != state.canPause)
        changed.insert(QStringLiteral("CanPause"), state.canPause);
    if (old.canSeek != state.canSeek)
        changed.insert(QStringLiteral("CanSeek"), state.canSeek);
    if (!changed.isEmpty())
        sendPropertiesChanged(kPlayerInterface, changed);
}

void MediaPlayer2Service::announceSeek(qint64 positionUs)
{
    if (isRegistered())
        emit m_player->Seeked(positionUs);
}

void MediaPlayer2Service::sendPropertiesChanged(const QString& interface,
                                                const QVariantMap& changed)
{
    if (!isRegistered())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    m_bus.send(signal);
}
