#include "DashboardTestSupport.h"

#include "dashboard/TransportView.h"
#include "platform/ImageSlider.h"
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

    // A tap in the middle of a control, as a finger would give it.
    static void tap(QWidget* widget)
    {
        ASSERT_NE(widget, nullptr);
        ASSERT_TRUE(widget->isVisible());
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Drags a slider's thumb from its left end to the given fraction of the track.
    static void drag(ImageSlider* slider, double fraction)
    {
        const int y = slider->height() / 2;
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(2, y));
        QTest::mouseMove(slider, QPoint(int(slider->width() * fraction / 2), y));
        QTest::mouseMove(slider, QPoint(int(slider->width() * fraction), y));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(int(slider->width() * fraction), y));
    }

    sonavell::test::ScratchDir dir;
    std::shared_ptr<QSettings> settings = sonavell::test::privateSettings(dir);
    QWidget window;
    TransportView* view = nullptr;
    RecordingDelegate delegate;
};

TEST_F(TransportViewTest, StartsInTheRecordLayoutWithTheVolumeSlider)
{
    EXPECT_EQ(view->geometry(), QRect(0, 50, 320, 384));
    EXPECT_FALSE(view->hasPlayMode() || view->playing() || view->recording() || view->jogMode() ||
                 view->locatorMode());

    EXPECT_EQ(view->buttonA()->geometry(), QRect(131, 266, 58, 58));
    EXPECT_TRUE(buttonShows(view->buttonA(), "record.png", "record_pressed.png"));
    EXPECT_TRUE(view->buttonA()->showsTouchWhenHighlighted());
    EXPECT_EQ(view->buttonB(), nullptr);
    EXPECT_EQ(view->sludgeButtonA()->geometry(), QRect(61, 274, 68, 42));
    EXPECT_EQ(view->sludgeButtonB()->geometry(), QRect(191, 274, 68, 42));
    EXPECT_FALSE(view->sludgeButtonA()->showsTouchWhenHighlighted());
    EXPECT_TRUE(buttonShows(view->jsToggle(), "shuttletoggle.png", "shuttletoggle.png"));
    EXPECT_EQ(view->jsToggle()->geometry(), QRect(10, 22, 40, 40));
    EXPECT_TRUE(buttonShows(view->lvToggle(), "volume_toggle.png", "shuttletoggle.png"));
    EXPECT_EQ(view->lvToggle()->geometry(), QRect(10, 300, 40, 40));

    ImageSlider* volume = view->customSlider();
    ImageSlider* locate = view->customLocateSlider();
    EXPECT_EQ(volume->geometry(), QRect(30, 354, 262, 20));
    EXPECT_EQ(locate->geometry(), QRect(30, 354, 262, 20));
    EXPECT_TRUE(volume->isVisible());
    EXPECT_FALSE(locate->isVisible());
    EXPECT_FLOAT_EQ(volume->minimumValue(), 1.0f);
    EXPECT_FLOAT_EQ(volume->maximumValue(), 10.0f);
    EXPECT_FLOAT_EQ(locate->minimumValue(), 0.0f);
    EXPECT_FLOAT_EQ(locate->maximumValue(), 100.0f);
    EXPECT_FLOAT_EQ(locate->value(), 1.0f);

    // A stored volume of 0 (never written) shows as the minimum and tells nobody.
    volume->setValue(0.0f);
    EXPECT_FLOAT_EQ(volume->value(), 1.0f);
    EXPECT_TRUE(delegate.calls.isEmpty());
}

TEST_F(TransportViewTest, RecordStopAppendCycleThroughTheButtonsAndTheSludgeAreas)
{
    tap(view->sludgeButtonB()); // in the record layout both wide areas record
    EXPECT_TRUE(view->recording());
    EXPECT_FALSE(view->hasPlayMode());
    EXPECT_TRUE(buttonShows(view->buttonA(), "stop.png", "stop_pressed.png"));

    tap(view->buttonA()); // stop: the play layout with append and play
    EXPECT_FALSE(view->recording());
    EXPECT_TRUE(view->hasPlayMode());
    EXPECT_EQ(view->buttonA()->geometry(), QRect(100, 266, 58, 58));
    EXPECT_TRUE(buttonShows(view->buttonA(), "append.png", "append_pressed.png"));
    EXPECT_EQ(view->buttonB()->geometry(), QRect(160, 266, 58, 58));
    EXPECT_TRUE(buttonShows(view->buttonB(), "play_up.png", "play_pressed.png"));
    EXPECT_EQ(view->sludgeButtonA()->geometry(), QRect(67, 264, 33, 62));
    EXPECT_EQ(view->sludgeButtonB()->geometry(), QRect(220, 264, 33, 62));

    tap(view->buttonB());
    ASSERT_TRUE(view->playing());
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

TEST_F(TransportViewTest, PlayPauseSwapsPicturesAndTheRightAreaPlaysOnlyInPlayMode)
{
    view->setHasPlayMode(true);
    view->setupTransportButtons();
    tap(view->sludgeButtonB());
    EXPECT_TRUE(view->playing());
    EXPECT_TRUE(buttonShows(view->buttonB(), "pause_up.png", "pause_pressed.png"));
    tap(view->buttonB());
    EXPECT_FALSE(view->playing());
    EXPECT_TRUE(buttonShows(view->buttonB(), "play_up.png", "play_pressed.png"));

    // The play layout's right area while the flag says nothing is loaded: no effect.
    view->setHasPlayMode(false);
    tap(view->sludgeButtonB());
    EXPECT_FALSE(view->playing());
    EXPECT_EQ(delegate.calls, QStringList({"handlePlay(1)", "handlePlay(0)"}));
}

TEST_F(TransportViewTest, PictureSwapFollowsAPlayButtonRebuiltByTheDelegate)
{
    view->setHasPlayMode(true);
    view->setupTransportButtons();
    ImageButton* first = view->buttonB();
    // The screen's reaction to play pushes its state back, which rebuilds the buttons while
    // the tapped one is still handling its tap.
    delegate.onPlay = [this] {
        view->setPlaying(true);
        view->setupTransportButtons();
    };
    tap(first);
    ASSERT_NE(view->buttonB(), nullptr);
    EXPECT_NE(view->buttonB(), first);
    EXPECT_TRUE(view->buttonB()->isVisible());
    EXPECT_TRUE(buttonShows(view->buttonB(), "pause_up.png", "pause_pressed.png"));
}

TEST_F(TransportViewTest, WithoutADelegateEveryControlStillTogglesAndRedraws)
{
    view->setDelegate(nullptr);
    tap(view->buttonA());
    tap(view->buttonA());
    tap(view->buttonB());
    tap(view->jsToggle());
    tap(view->lvToggle());
    drag(view->customLocateSlider(), 0.5);
    EXPECT_TRUE(view->hasPlayMode());
    EXPECT_TRUE(view->playing());
    EXPECT_TRUE(view->jogMode());
    EXPECT_TRUE(view->locatorMode());
    EXPECT_TRUE(buttonShows(view->buttonB(), "pause_up.png", "pause_pressed.png"));
    EXPECT_TRUE(buttonShows(view->jsToggle(), "jogtoggle.png", "jogtoggle.png"));
    EXPECT_TRUE(view->customLocateSlider()->isVisible());
    EXPECT_TRUE(delegate.calls.isEmpty());
}

TEST_F(TransportViewTest, TogglesSwapPicturesAndSlidersKeepTheirValuesWhileHidden)
{
    tap(view->jsToggle());
    EXPECT_TRUE(buttonShows(view->jsToggle(), "jogtoggle.png", "jogtoggle.png"));
    tap(view->lvToggle());
    EXPECT_TRUE(buttonShows(view->lvToggle(), "locator_toggle.png", "jogtoggle.png"));
    EXPECT_FALSE(view->customSlider()->isVisible());
    EXPECT_TRUE(view->customLocateSlider()->isVisible());

    view->customSlider()->setValue(4.0f);
    tap(view->lvToggle());
    EXPECT_TRUE(buttonShows(view->lvToggle(), "volume_toggle.png", "shuttletoggle.png"));
    EXPECT_TRUE(view->customSlider()->isVisible());
    EXPECT_FLOAT_EQ(view->customSlider()->value(), 4.0f);
    EXPECT_EQ(delegate.calls,
              QStringList({"handleJog(1)", "handleLVToggle(1)", "handleLVToggle(0)"}));
}

TEST_F(TransportViewTest, VolumeDragStoresEveryChangeAndLocateDragIsSilentWhileRecording)
{
    ImageSlider* volume = view->customSlider();
    drag(volume, 1.0);
    EXPECT_FLOAT_EQ(volume->value(), 10.0f);
    EXPECT_FLOAT_EQ(settings->value(kOutputVolumeKey).toFloat(), 10.0f);
    const QStringList volumeCalls = delegate.calls;
    ASSERT_GE(volumeCalls.size(), 4);
    EXPECT_EQ(volumeCalls.first(), "handleSliderTouchStart");
    EXPECT_EQ(volumeCalls.last(), "handleSliderTouchEnd");
    EXPECT_EQ(volumeCalls.at(volumeCalls.size() - 2), "handleSliderValueChanged(10)");
    // Two moves, two changes: one message for each.
    EXPECT_EQ(volumeCalls.filter("handleSliderValueChanged").size(), 2);

    tap(view->buttonA()); // recording
    tap(view->lvToggle());
    delegate.calls.clear();
    drag(view->customLocateSlider(), 0.8);
    EXPECT_TRUE(delegate.calls.isEmpty());

    // The volume still works while recording.
    tap(view->lvToggle());
    delegate.calls.clear();
    drag(volume, 0.0);
    EXPECT_FLOAT_EQ(settings->value(kOutputVolumeKey).toFloat(), 1.0f);
    EXPECT_TRUE(delegate.calls.contains("handleSliderValueChanged(1)"));

    // Stopped again: the locate slider reports its percentage and the drag's ends.
    tap(view->buttonA());
    tap(view->lvToggle());
    delegate.calls.clear();
    drag(view->customLocateSlider(), 1.0);
    EXPECT_EQ(delegate.calls.first(), "handleLocateSliderTouchStart");
    EXPECT_TRUE(delegate.calls.contains("handleLocateMoved(100)"));
    EXPECT_EQ(delegate.calls.last(), "handleLocateSliderTouchEnd");
}

} // namespace
