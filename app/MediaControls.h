// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/system/MediaPlayerState.h"

#include <QObject>

class AppDelegate;
class AudioViewController;
class MediaPlayer2Service;
class QDBusConnection;
class QWidget;

// The recorder screen's transport as a media player on the session bus, for the lock screen,
// the notification area and media keys. Requests go through the same calls as the screen's
// buttons and keys (the transport view's play button, the locator), so the screen's state
// machine decides what happens; they never start a take, and do nothing while one runs or is
// on its way, or while the recorder screen is not the one shown (leaving it stops playback).
class MediaControls : public QObject
{
    Q_OBJECT
public:
    // `window` is raised on request. Nothing is registered when the bus is not there.
    MediaControls(AppDelegate& appDelegate, QWidget* window, const QDBusConnection& bus,
                  QObject* parent = nullptr);
    ~MediaControls() override;

    bool isRegistered() const;

    // The state the bus sees for the recorder screen as it is now.
    static MediaPlayerState stateOf(const AppDelegate& appDelegate);

private:
    // The recorder screen when it is on top and may play: a memo is loaded and no take runs,
    // counts in or waits for playback to stop.
    AudioViewController* playableRecorder() const;
    bool playing() const;
    void play();
    void pause();
    void stopPlayback();
    void stop();
    // Moves the play position (seconds, kept inside the memo); playback goes on from there.
    void locate(double seconds);
    void seek(qint64 offsetUs);
    void setRate(double rate);
    qint64 positionUs() const;
    // Tells the bus the state now, or once the event loop is reached again.
    void refresh();
    void refreshSoon();

    AppDelegate& m_appDelegate;
    QWidget* m_window;
    MediaPlayer2Service* m_service;
    bool m_refreshPending = false;
};
