// SPDX-License-Identifier: GPL-3.0-or-later
#include "DashboardTestSupport.h"

#include "dashboard/TransportView.h"
#include "platform/ui/ControlTestSupport.h"
#include "platform/ui/ImageSlider.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

using sonavell::test::buttonShows;
using sonavell::test::RecordingDelegate;

namespace {

class TransportViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(320, 480);
        view = new TransportView(&window);
        view->setDelegate(&delegate);
        view->setUserDefaults(settings.get());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    static void tap(QWidget* widget)
    {
        ASSERT_TRUE(widget && widget->isVisible());
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Drags a slider's thumb from its left end to the given fraction of the track, in two moves.
    static void drag(ImageSlider* slider, double fraction)
    {
        const int y = slider->height() / 2;
        sonavell::test::drag(slider, {2, y}, {int(slider->width() * fraction) - 2, 0}, 2);
    }

    sonavell::test::ScratchDir dir;
    std::shared_ptr<QSettings> settings = sonavell::test::privateSettings(dir);
    QWidget window;
    TransportView* view = nullptr;
    RecordingDelegate delegate;
};

TEST_F(TransportViewTest, RecordStopAppendCycleThroughTheButtonsAndTheSludgeAreas)
{
    EXPECT_EQ(view->buttonA()->geometry(), QRect(131, 266, 58, 58));
    EXPECT_TRUE(buttonShows(view->buttonA(), "record.png", "record_pressed.png"));
    EXPECT_EQ(view->buttonB(), nullptr);
    EXPECT_EQ(view->sludgeButtonB()->geometry(), QRect(191, 274, 68, 42));

    tap(view->sludgeButtonB()); // in the record layout both wide areas record
    EXPECT_TRUE(view->recording());
    EXPECT_FALSE(view->hasPlayMode());
    EXPECT_TRUE(buttonShows(view->buttonA(), "stop.png", "stop_pressed.png"));

    tap(view->buttonA()); // stop: the play layout with append and play
    EXPECT_TRUE(view->hasPlayMode());
    EXPECT_EQ(view->buttonA()->geometry(), QRect(100, 266, 58, 58));
    EXPECT_TRUE(buttonShows(view->buttonA(), "append.png", "append_pressed.png"));
    EXPECT_EQ(view->buttonB()->geometry(), QRect(160, 266, 58, 58));
    EXPECT_EQ(view->sludgeButtonB()->geometry(), QRect(220, 264, 33, 62));

    tap(view->buttonB());
    tap(view->sludgeButtonA()); // append: back to the record layout, play flag untouched
    EXPECT_TRUE(view->recording());
    EXPECT_TRUE(view->playing());
    EXPECT_TRUE(buttonShows(view->buttonA(), "stop.png", "stop_pressed.png"));
    // The play button is kept hidden, so nothing can start playback while recording.
    ASSERT_NE(view->buttonB(), nullptr);
    EXPECT_FALSE(view->buttonB()->isVisible());

    EXPECT_EQ(delegate.calls, QStringList({"handleRecord(1)", "handleRecord(0)", "handlePlay(1)",
                                           "handleRecord(1)"}));
}

TEST_F(TransportViewTest, RightAreaPlaysOnlyInPlayModeAndPicturesFollowARebuiltButton)
{
    view->setHasPlayMode(true);
    view->setupTransportButtons();
    tap(view->sludgeButtonB());
    EXPECT_TRUE(buttonShows(view->buttonB(), "pause_up.png", "pause_pressed.png"));
    tap(view->buttonB());
    EXPECT_TRUE(buttonShows(view->buttonB(), "play_up.png", "play_pressed.png"));

    view->setHasPlayMode(false); // flag cleared, layout not yet rebuilt: no effect
    tap(view->sludgeButtonB());
    EXPECT_FALSE(view->playing());
    EXPECT_EQ(delegate.calls, QStringList({"handlePlay(1)", "handlePlay(0)"}));

    // The screen's reaction to play pushes its state back, rebuilding the buttons while the
    // tapped one is still handling its tap; the pause picture goes on the new button.
    view->setHasPlayMode(true);
    view->setupTransportButtons();
    ImageButton* first = view->buttonB();
    delegate.onPlay = [this] {
        view->setPlaying(true);
        view->setupTransportButtons();
    };
    tap(first);
    ASSERT_NE(view->buttonB(), first);
    EXPECT_TRUE(view->buttonB()->isVisible());
    EXPECT_TRUE(buttonShows(view->buttonB(), "pause_up.png", "pause_pressed.png"));
}

TEST_F(TransportViewTest, WithoutADelegateEveryControlStillTogglesAndRedraws)
{
    view->setDelegate(nullptr);
    view->customSlider()->setValue(4.0f);
    tap(view->buttonA());
    tap(view->buttonA());
    tap(view->buttonB());
    tap(view->jsToggle());
    tap(view->lvToggle());
    EXPECT_TRUE(view->playing());
    EXPECT_TRUE(buttonShows(view->buttonB(), "pause_up.png", "pause_pressed.png"));
    EXPECT_TRUE(buttonShows(view->jsToggle(), "jogtoggle.png", "jogtoggle.png"));
    // While held down the slider toggle shows the wheel toggle's picture.
    EXPECT_TRUE(buttonShows(view->lvToggle(), "locator_toggle.png", "jogtoggle.png"));
    EXPECT_FALSE(view->customSlider()->isVisible());
    EXPECT_TRUE(view->customLocateSlider()->isVisible());

    tap(view->lvToggle());
    EXPECT_TRUE(buttonShows(view->lvToggle(), "volume_toggle.png", "shuttletoggle.png"));
    EXPECT_TRUE(view->customSlider()->isVisible());
    EXPECT_FLOAT_EQ(view->customSlider()->value(), 4.0f); // kept while hidden
    EXPECT_TRUE(delegate.calls.isEmpty());
}

TEST_F(TransportViewTest, VolumeDragStoresEveryChangeAndLocateDragIsSilentWhileRecording)
{
    ImageSlider* volume = view->customSlider();
    volume->setValue(0.0f); // a volume never stored shows as the minimum, silently
    EXPECT_FLOAT_EQ(volume->value(), 1.0f);
    drag(volume, 1.0);
    EXPECT_FLOAT_EQ(settings->value(kOutputVolumeKey).toFloat(), 10.0f);
    EXPECT_EQ(delegate.calls.first(), "handleSliderTouchStart");
    EXPECT_EQ(delegate.calls.filter("handleSliderValueChanged").size(), 2);
    EXPECT_EQ(delegate.calls.last(), "handleSliderTouchEnd");

    tap(view->buttonA()); // recording
    tap(view->lvToggle());
    delegate.calls.clear();
    drag(view->customLocateSlider(), 0.8);
    EXPECT_TRUE(delegate.calls.isEmpty());

    tap(view->lvToggle()); // the volume still works while recording
    drag(volume, 0.0);
    EXPECT_FLOAT_EQ(settings->value(kOutputVolumeKey).toFloat(), 1.0f);
    EXPECT_TRUE(delegate.calls.contains("handleSliderValueChanged(1)"));

    tap(view->buttonA()); // stopped: the locate slider reports its percentage
    tap(view->lvToggle());
    delegate.calls.clear();
    drag(view->customLocateSlider(), 1.0);
    EXPECT_EQ(delegate.calls.first(), "handleLocateSliderTouchStart");
    EXPECT_TRUE(delegate.calls.contains("handleLocateMoved(100)"));
    EXPECT_EQ(delegate.calls.last(), "handleLocateSliderTouchEnd");
}

} // namespace
