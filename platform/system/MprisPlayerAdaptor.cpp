// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/MprisPlayerAdaptor.h"

#include "platform/system/MediaPlayer2Service.h"

MprisPlayerAdaptor::MprisPlayerAdaptor(MediaPlayer2Service* service)
    : QDBusAbstractAdaptor(service)
    , m_service(service)
{
}

QString MprisPlayerAdaptor::playbackStatus() const
{
    return m_service->playbackStatus();
}

double MprisPlayerAdaptor::rate() const
{
    return m_service->state().rate;
}

void MprisPlayerAdaptor::setRate(double rate)
{
    const auto& handlers = m_service->handlers();
    if (handlers.setRate && MediaPlayer2Service::isSupportedRate(rate))
        handlers.setRate(rate);
}

double MprisPlayerAdaptor::minimumRate() const
{
    return MediaPlayer2Service::kMinimumRate;
}

double MprisPlayerAdaptor::maximumRate() const
{
    return MediaPlayer2Service::kMaximumRate;
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    return m_service->metadata();
}

qlonglong MprisPlayerAdaptor::position() const
{
    const auto& handlers = m_service->handlers();
    return handlers.position ? handlers.position() : 0;
}

bool MprisPlayerAdaptor::canPlay() const
{
    return m_service->state().canPlay;
}

bool MprisPlayerAdaptor::canPause() const
{
    return m_service->state().canPause;
}

bool MprisPlayerAdaptor::canSeek() const
{
    return m_service->state().canSeek;
}

void MprisPlayerAdaptor::Pause()
{
    if (m_service->handlers().pause)
        m_service->handlers().pause();
}

void MprisPlayerAdaptor::PlayPause()
{
    if (m_service->handlers().playPause)
        m_service->handlers().playPause();
}

void MprisPlayerAdaptor::Stop()
{
    if (m_service->handlers().stop)
        m_service->handlers().stop();
}

void MprisPlayerAdaptor::Play()
{
    if (m_service->handlers().play)
        m_service->handlers().play();
}

void MprisPlayerAdaptor::Seek(qlonglong offset)
{
    if (m_service->handlers().seek)
        m_service->handlers().seek(offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position)
{
    // A request for another item than the one loaded is stale and ignored, as is a position
    // outside the item.
    const MediaPlayerState& state = m_service->state();
    if (state.trackId.isEmpty() || trackId.path() != state.trackId)
        return;
    if (position < 0 || position > state.lengthUs)
        return;
    if (m_service->handlers().setPosition)
        m_service->handlers().setPosition(position);
}
