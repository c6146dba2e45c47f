// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MediaControls.h"

#include "core/AppDelegate.h"
#include "core/Recording.h"
#include "dashboard/DashboardView.h"
#include "dashboard/LocatorControl.h"
#include "dashboard/TransportView.h"
#include "platform/system/MediaPlayer2Service.h"
#include "platform/ui/NavigationController.h"
#include "recorder/AudioViewController.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMicroseconds = 1e6;

AudioViewController* recorderOnTop(const AppDelegate& appDelegate)
{
    AudioViewController* recorder = appDelegate.audioViewController;
    NavigationController* navigation = appDelegate.navigationController;
    if (!recorder || !navigation || navigation->topViewController() != recorder ||
        !recorder->dbView())
        return nullptr;
    return recorder;
}

// A take runs, counts in, or waits for playback to stop before it starts.
bool takeUnderWay(const AudioViewController& recorder)
{
    return recorder.audioRecorder() || recorder.countingIn() || recorder.deferredRecordTimer() ||
           recorder.dbView()->transportView()->recording();
}

// An object path that stays the same for a memo while it is loaded: its file name, hashed into
// the characters an object path may hold.
QString trackIdFor(const Recording& recording)
{
    const QByteArray hash =
        QCryptographicHash::hash(recording.filename().toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("/org/sonavell/Sonavell/memo/m") +
           QString::fromLatin1(hash.toHex().left(20));
}
} // namespace

MediaControls::MediaControls(AppDelegate& appDelegate, QWidget* window, const QDBusConnection& bus,
                             QObject* parent)
    : QObject(parent)
    , m_appDelegate(appDelegate)
    , m_window(window)
{
    MediaPlayer2Service::Handlers handlers;
    handlers.play = [this] { play(); };
    handlers.pause = [this] { pause(); };
    handlers.playPause = [this] { playing() ? pause() : play(); };
    handlers.stop = [this] { stop(); };
    handlers.seek = [this](qint64 offsetUs) { seek(offsetUs); };
    handlers.setPosition = [this](qint64 positionUs) {
        locate(double(positionUs) / kMicroseconds);
    };
    handlers.setRate = [this](double rate) { setRate(rate); };
    handlers.raise = [this] {
        if (!m_window)
            return;
        if (m_window->isMinimized())
            m_window->showNormal();
        else
            m_window->show();
        m_window->raise();
        m_window->activateWindow();
    };
    handlers.position = [this] { return positionUs(); };
    m_service = new MediaPlayer2Service(bus, QStringLiteral("sonavell"), tr("Sonavell"),
                                        QStringLiteral(SONAVELL_APP_ID), std::move(handlers), this);
    m_service->update(stateOf(m_appDelegate));
    m_service->start();
    if (AudioViewController* recorder = m_appDelegate.audioViewController)
        connect(recorder, &AudioViewController::transportChanged, this,
                &MediaControls::refreshSoon);
    // A memo renamed on its details screen shows its new name.
    connect(&m_appDelegate, &AppDelegate::libraryChanged, this, &MediaControls::refreshSoon);
}

MediaControls::~MediaControls() = default;

bool MediaControls::isRegistered() const
{
    return m_service->isRegistered();
}

MediaPlayerState MediaControls::stateOf(const AppDelegate& appDelegate)
{
    MediaPlayerState state;
    const AudioViewController* recorder = appDelegate.audioViewController;
    if (!recorder || !recorder->dbView())
        return state;
    state.rate = recorder->playSpeed();
    const TransportView* transport = recorder->dbView()->transportView();
    const bool taking = takeUnderWay(*recorder);
    const bool loaded = transport->hasPlayMode() && !taking && recorder->clipLength() > 0.0;
    if (loaded) {
        if (auto recording = recorder->currentRecording()) {
            state.trackId = trackIdFor(*recording);
            state.title = recording->name();
            state.lengthUs = qint64(std::llround(recorder->clipLength() * kMicroseconds));
        }
    }
    const bool onTop = recorderOnTop(appDelegate) != nullptr;
    const bool isPlaying = !taking && transport->playing() && recorder->audioPlayer();
    // Playback that an interruption (a call) paused is paused until the interruption ends.
    if (isPlaying && !recorder->interruptedOnPlayback())
        state.status = MediaPlayerState::Status::Playing;
    else if (isPlaying)
        state.status = MediaPlayerState::Status::Paused;
    else if (loaded && recorder->dbView()->locatorControl()->value() > 0.0f)
        state.status = MediaPlayerState::Status::Paused;
    state.canPlay = loaded && onTop;
    state.canPause = state.canPlay;
    state.canSeek = state.canPlay;
    return state;
}

AudioViewController* MediaControls::playableRecorder() const
{
    AudioViewController* recorder = recorderOnTop(m_appDelegate);
    if (!recorder || takeUnderWay(*recorder) || recorder->isScrubbing())
        return nullptr;
    if (!recorder->dbView()->transportView()->hasPlayMode())
        return nullptr;
    return recorder;
}

bool MediaControls::playing() const
{
    const AudioViewController* recorder = m_appDelegate.audioViewController;
    return recorder && recorder->dbView() && recorder->dbView()->transportView()->playing() &&
           recorder->audioPlayer();
}

void MediaControls::play()
{
    if (AudioViewController* recorder = playableRecorder(); recorder && !playing())
        recorder->dbView()->transportView()->doPlay();
    refresh();
}

void MediaControls::pause()
{
    stopPlayback();
    refresh();
}

void MediaControls::stopPlayback()
{
    // Pausing is a stop of the playback, the play button's other half.
    if (AudioViewController* recorder = playableRecorder(); recorder && playing())
        recorder->dbView()->transportView()->doPlay();
}

void MediaControls::stop()
{
    if (!playableRecorder())
        return;
    // The bus hears one change, to stopped at the start, not a pause on the way.
    stopPlayback();
    locate(0.0);
}

void MediaControls::locate(double seconds)
{
    AudioViewController* recorder = playableRecorder();
    if (!recorder)
        return;
    recorder->moveLocatorTo(float(seconds));
    refresh();
    m_service->announceSeek(positionUs());
}

void MediaControls::seek(qint64 offsetUs)
{
    AudioViewController* recorder = playableRecorder();
    if (!recorder)
        return;
    const double target =
        double(recorder->dbView()->locatorControl()->value()) + double(offsetUs) / kMicroseconds;
    // Past the end there is no next memo to go on to, so nothing happens; before the start is
    // the start.
    if (target > recorder->clipLength())
        return;
    locate(std::max(0.0, target));
}

void MediaControls::setRate(double rate)
{
    AudioViewController* recorder = playableRecorder();
    if (!recorder)
        return;
    // The speed button's cycle, as often as it takes (at most twice); a running playback goes
    // on at the new speed.
    for (int i = 0; i < 3 && std::abs(recorder->playSpeed() - rate) > 1e-6; ++i)
        recorder->changePlaySpeed(nullptr);
    refresh();
}

qint64 MediaControls::positionUs() const
{
    const AudioViewController* recorder = m_appDelegate.audioViewController;
    if (!recorder || !recorder->dbView() || takeUnderWay(*recorder))
        return 0;
    return qint64(
        std::llround(double(recorder->dbView()->locatorControl()->value()) * kMicroseconds));
}

void MediaControls::refresh()
{
    m_refreshPending = false;
    m_service->update(stateOf(m_appDelegate));
}

void MediaControls::refreshSoon()
{
    // One action passes through several states (a seek during playback stops and starts it
    // again); the bus hears where it ends up, once control is back in the event loop.
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshPending)
            refresh();
    });
}
