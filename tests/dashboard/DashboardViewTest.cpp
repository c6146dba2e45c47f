#include "DashboardTestSupport.h"

#include "dashboard/DashboardView.h"
#include "dashboard/MeterView.h"
#include "dashboard/TransportView.h"
#include "platform/Toolbar.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

using sonavell::test::showsImage;

namespace {

class ScreenDelegate : public DashboardViewDelegate
{
public:
    double quality = 11025.0;
    double speed = 1.0;
    QStringList calls;
    QList<QObject*> senders;

    double recordQuality() const override { return quality; }
    double playSpeed() const override { return speed; }
    void doSendOptions(QObject* s) override { note("doSendOptions", s); }
    void deleteRecordingPrompt(QObject* s) override { note("deleteRecordingPrompt", s); }
    void changeRecordQuality(QObject* s) override { note("changeRecordQuality", s); }
    void changePlaySpeed(QObject* s) override { note("changePlaySpeed", s); }
    void setRecordTime(QObject* s) override { note("setRecordTime", s); }

private:
    void note(const char* name, QObject* sender)
    {
        calls << name;
        senders << sender;
    }
};

class DashboardViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dashboard.setDelegate(&screen);
        dashboard.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dashboard));
    }

    static void tapItem(Toolbar* toolbar, int index)
    {
        QAbstractButton* button = toolbar->buttonForItem(index);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }

    static QList<bool> enabledItems(const Toolbar* toolbar)
    {
        QList<bool> enabled;
        for (const BarButtonItem& item : toolbar->items())
            enabled << item.isEnabled();
        return enabled;
    }

    ScreenDelegate screen;
    DashboardView dashboard;
};

TEST_F(DashboardViewTest, StacksItsViewsAndStartsWithTheRecordLayoutAndAnEmptyLocator)
{
    EXPECT_EQ(dashboard.background()->geometry(), QRect(0, 67, 320, 367));
    EXPECT_TRUE(showsImage(dashboard.background()->pixmap(), "dbbackground.png"));
    EXPECT_EQ(dashboard.meterView()->geometry(), QRect(12, 48, 293, 293));
    EXPECT_FALSE(dashboard.meterView()->isTimeMeter());
    EXPECT_EQ(dashboard.timeMeterView()->geometry(), QRect(74, 116, 173, 173));
    EXPECT_TRUE(dashboard.timeMeterView()->isTimeMeter());
    EXPECT_EQ(dashboard.transportView()->geometry(), QRect(0, 50, 320, 384));

    // Bottom to top: background, level meter, time meter, transport view.
    const QObjectList& children = dashboard.children();
    const auto at = [&](QObject* child) { return children.indexOf(child); };
    EXPECT_LT(at(dashboard.background()), at(dashboard.meterView()));
    EXPECT_LT(at(dashboard.meterView()), at(dashboard.timeMeterView()));
    EXPECT_LT(at(dashboard.timeMeterView()), at(dashboard.transportView()));

    EXPECT_FALSE(dashboard.playerMode());
    EXPECT_TRUE(dashboard.recordToolbar()->isVisible());
    EXPECT_FALSE(dashboard.playToolbar()->isVisible());
    EXPECT_GE(dashboard.recordToolbar()->count(), 6);
    EXPECT_GE(dashboard.playToolbar()->count(), 6);

    LocatorControl* locator = dashboard.locatorControl();
    EXPECT_FLOAT_EQ(locator->min(), 0.0f);
    EXPECT_FLOAT_EQ(locator->max(), 0.0f);
    EXPECT_FLOAT_EQ(locator->increment(), 0.5f);
    EXPECT_FLOAT_EQ(locator->value(), 0.0f);
    EXPECT_EQ(locator->delegate(), nullptr);
}

TEST_F(DashboardViewTest, TransportStateChoosesTheToolbarAndItsDisabledItems)
{
    struct Case
    {
        bool loaded, playing, recording;
        bool playToolbar;
        QList<int> disabled;
    };
    const Case cases[] = {
        {false, false, false, false, {}},
        {false, false, true, false, {1, 3, 5}},
        {true, false, false, true, {}},
        {true, true, false, true, {5}},
        // A take appended to a loaded recording still shows the record toolbar.
        {true, false, true, false, {1, 3, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.loaded << c.playing << c.recording);
        dashboard.changeTransport(c.loaded, c.playing, c.recording);
        TransportView* transport = dashboard.transportView();
        EXPECT_EQ(transport->hasPlayMode(), c.loaded);
        EXPECT_EQ(transport->playing(), c.playing);
        EXPECT_EQ(transport->recording(), c.recording);
        Toolbar* shown = c.playToolbar ? dashboard.playToolbar() : dashboard.recordToolbar();
        Toolbar* other = c.playToolbar ? dashboard.recordToolbar() : dashboard.playToolbar();
        EXPECT_TRUE(shown->isVisible());
        EXPECT_FALSE(other->isVisible());
        const QList<bool> enabled = enabledItems(shown);
        for (int i = 0; i < enabled.size(); ++i)
            EXPECT_EQ(enabled[i], !c.disabled.contains(i)) << "item " << i;
        // The transport buttons follow the same state.
        const bool playLayout = c.loaded && !c.recording;
        EXPECT_EQ(transport->buttonB() && transport->buttonB()->isVisible(), playLayout);
    }
}

TEST_F(DashboardViewTest, ItemThreeShowsTheQualityAndKeepsItsPictureAndActionForOtherRates)
{
    const std::pair<double, const char*> qualities[] = {
        {22050.0, "MQ.png"}, {44100.0, "HQ.png"}, {11025.0, "LQ.png"}};
    for (const auto& [rate, image] : qualities) {
        screen.quality = rate;
        dashboard.setupToolbar();
        EXPECT_TRUE(showsImage(dashboard.recordToolbar()->item(3).image(), image)) << image;
    }
    // A rate loaded at another speed has no picture: the last one stays, and so does the action.
    screen.quality = 11025.0 * 1.5;
    dashboard.setupToolbar();
    EXPECT_TRUE(showsImage(dashboard.recordToolbar()->item(3).image(), "LQ.png"));
    tapItem(dashboard.recordToolbar(), 3);
    EXPECT_EQ(screen.calls, QStringList({"changeRecordQuality"}));

    // Without a screen behind it nothing is known and nothing changes.
    dashboard.setDelegate(nullptr);
    dashboard.setupToolbar();
    EXPECT_TRUE(showsImage(dashboard.recordToolbar()->item(3).image(), "LQ.png"));
    tapItem(dashboard.recordToolbar(), 3);
    EXPECT_EQ(screen.calls.size(), 1);
}

TEST_F(DashboardViewTest, SpeedChangeWhileStoppedOnlySwapsItemThree)
{
    dashboard.changeTransport(true, false, false);
    Toolbar* toolbar = dashboard.playToolbar();
    toolbar->setItemEnabled(1, false); // whatever else the screen did to its items stays
    const QString deleteTitle = toolbar->item(1).title();

    const std::pair<double, const char*> speeds[] = {
        {1.5, "2x.png"}, {0.75, "1-2x.png"}, {1.0, "1x.png"}};
    for (const auto& [speed, image] : speeds) {
        screen.speed = speed;
        dashboard.setupToolbar();
        EXPECT_TRUE(showsImage(toolbar->item(3).image(), image)) << image;
        EXPECT_FALSE(toolbar->item(1).isEnabled());
        EXPECT_EQ(toolbar->item(1).title(), deleteTitle);
        EXPECT_TRUE(toolbar->item(5).isEnabled());
    }
    tapItem(toolbar, 3);
    EXPECT_EQ(screen.calls, QStringList({"changePlaySpeed"}));
}

TEST_F(DashboardViewTest, ToolbarButtonsReachTheScreenWithTheirToolbar)
{
    tapItem(dashboard.recordToolbar(), 1);
    tapItem(dashboard.recordToolbar(), 5);
    dashboard.changeTransport(true, false, false);
    tapItem(dashboard.playToolbar(), 1);
    tapItem(dashboard.playToolbar(), 5);
    EXPECT_EQ(screen.calls, QStringList({"setRecordTime", "doSendOptions", "deleteRecordingPrompt",
                                         "doSendOptions"}));
    EXPECT_EQ(screen.senders, QList<QObject*>({dashboard.recordToolbar(), dashboard.recordToolbar(),
                                               dashboard.playToolbar(), dashboard.playToolbar()}));

    // Disabled items send nothing.
    dashboard.changeTransport(true, true, false);
    tapItem(dashboard.playToolbar(), 5);
    EXPECT_EQ(screen.calls.size(), 4);
}

TEST_F(DashboardViewTest, ToolbarWithoutItemsIsLeftAloneAndTheOtherStaysShown)
{
    dashboard.playToolbar()->setItems({});
    dashboard.changeTransport(true, false, false);
    EXPECT_TRUE(dashboard.transportView()->hasPlayMode());
    EXPECT_TRUE(dashboard.recordToolbar()->isVisible());
    EXPECT_FALSE(dashboard.playToolbar()->isVisible());
    EXPECT_EQ(dashboard.playToolbar()->count(), 0);
}

} // namespace
