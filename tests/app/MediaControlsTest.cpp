// SPDX-License-Identifier: GPL-3.0-or-later
// What the media controls report for each state of the recorder screen's transport.
#include "app/MediaControls.h"
#include "recorder/RecorderTestSupport.h"

#include "platform/audio/AudioSession.h"
#include "platform/ui/ViewController.h"

#include <QDBusConnection>

namespace {

class MediaControlsTest : public RecorderFixture
{
protected:
    MediaPlayerState state() const { return MediaControls::stateOf(*app); }
};

TEST_F(MediaControlsTest, TheStateFollowsTheTransportAndATakeHidesTheMemo)
{
    // Without a bus nothing is registered, and nothing else changes.
    MediaControls controls(*app, nullptr, QDBusConnection(QStringLiteral("no-such-bus")));
    EXPECT_FALSE(controls.isRegistered());

    EXPECT_EQ(state().status, MediaPlayerState::Status::Stopped);
    EXPECT_TRUE(state().trackId.isEmpty());
    EXPECT_FALSE(state().canPlay) << "nothing to play before the first take";

    transport()->doRecord();
    pump(0.5);
    ASSERT_NE(avc->audioRecorder(), nullptr);
    EXPECT_EQ(state().status, MediaPlayerState::Status::Stopped);
    EXPECT_TRUE(state().trackId.isEmpty()) << "a take in progress is no memo to play";
    EXPECT_FALSE(state().canPlay);
    pump(2.0);
    transport()->doRecord();
    pump(0.2);
    settle();

    ASSERT_TRUE(transport()->hasPlayMode());
    const MediaPlayerState loaded = state();
    EXPECT_EQ(loaded.status, MediaPlayerState::Status::Stopped) << "at the start";
    EXPECT_FALSE(loaded.trackId.isEmpty());
    EXPECT_EQ(loaded.title, current()->name());
    EXPECT_NEAR(double(loaded.lengthUs) / 1e6, avc->clipLength(), 1e-6);
    EXPECT_TRUE(loaded.canPlay && loaded.canPause && loaded.canSeek);

    transport()->doPlay();
    pump(0.3);
    EXPECT_EQ(state().status, MediaPlayerState::Status::Playing);
    EXPECT_EQ(state().trackId, loaded.trackId) << "the same memo keeps its id";

    // A call pauses playback until it ends.
    AudioViewController::interruptionListenerCallback(avc.get(),
                                                      AudioSession::kAudioSessionBeginInterruption);
    EXPECT_EQ(state().status, MediaPlayerState::Status::Paused);
    AudioViewController::interruptionListenerCallback(avc.get(),
                                                      AudioSession::kAudioSessionEndInterruption);
    EXPECT_EQ(state().status, MediaPlayerState::Status::Playing);

    transport()->doPlay();
    EXPECT_EQ(state().status, MediaPlayerState::Status::Paused) << "stopped past the start";

    // Behind another screen the memo is shown but cannot be played.
    ViewController other;
    navigation->pushViewController(&other, false);
    EXPECT_FALSE(state().canPlay);
    EXPECT_EQ(state().trackId, loaded.trackId);
    navigation->popViewControllerAnimated(false);
    EXPECT_TRUE(state().canPlay);

    // An append hides the memo again while it runs.
    transport()->doRecord();
    pump(0.5);
    EXPECT_TRUE(state().trackId.isEmpty());
    EXPECT_FALSE(state().canPlay);
}

} // namespace
