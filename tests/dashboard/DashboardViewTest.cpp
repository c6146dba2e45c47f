// SPDX-License-Identifier: GPL-3.0-or-later
#include "DashboardTestSupport.h"

#include "dashboard/DashboardView.h"
#include "dashboard/TransportView.h"
#include "platform/ui/Toolbar.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
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

    ScreenDelegate screen;
    DashboardView dashboard;
};

TEST_F(DashboardViewTest, TransportStateChoosesTheToolbarAndItsDisabledItems)
{
    struct Case
    {
        bool loaded, playing, recording, playToolbar;
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
        Toolbar* shown = c.playToolbar ? dashboard.playToolbar() : dashboard.recordToolbar();
        Toolbar* other = c.playToolbar ? dashboard.recordToolbar() : dashboard.playToolbar();
        EXPECT_TRUE(shown->isVisible());
        EXPECT_FALSE(other->isVisible());
        for (int i = 0; i < shown->count(); ++i)
            EXPECT_EQ(shown->item(i).isEnabled(), !c.disabled.contains(i)) << "item " << i;
        TransportView* transport = dashboard.transportView();
        EXPECT_EQ(transport->buttonB() && transport->buttonB()->isVisible(),
                  c.loaded && !c.recording);
    }

    // Enabled items reach the screen with their toolbar; disabled ones send nothing.
    dashboard.changeTransport(false, false, false);
    tapItem(dashboard.recordToolbar(), 1);
    tapItem(dashboard.recordToolbar(), 5);
    dashboard.changeTransport(true, true, false);
    tapItem(dashboard.playToolbar(), 1);
    tapItem(dashboard.playToolbar(), 5);
    EXPECT_EQ(screen.calls,
              QStringList({"setRecordTime", "doSendOptions", "deleteRecordingPrompt"}));
    EXPECT_EQ(screen.senders, QList<QObject*>({dashboard.recordToolbar(), dashboard.recordToolbar(),
                                               dashboard.playToolbar()}));
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

    dashboard.setDelegate(nullptr); // nothing known, nothing changes, nobody is called
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
    const QString title = toolbar->item(1).title();
    const std::pair<double, const char*> speeds[] = {
        {1.5, "2x.png"}, {0.75, "1-2x.png"}, {1.0, "1x.png"}};
    for (const auto& [speed, image] : speeds) {
        screen.speed = speed;
        dashboard.setupToolbar();
        EXPECT_TRUE(showsImage(toolbar->item(3).image(), image)) << image;
        EXPECT_FALSE(toolbar->item(1).isEnabled());
        EXPECT_EQ(toolbar->item(1).title(), title);
    }
    tapItem(toolbar, 3);
    EXPECT_EQ(screen.calls, QStringList({"changePlaySpeed"}));
}

TEST_F(DashboardViewTest, ToolbarWithoutItemsIsLeftAloneAndTheOtherStaysShown)
{
    dashboard.playToolbar()->setItems({});
    dashboard.changeTransport(true, false, false);
    EXPECT_TRUE(dashboard.transportView()->hasPlayMode());
    EXPECT_TRUE(dashboard.recordToolbar()->isVisible());
    EXPECT_FALSE(dashboard.playToolbar()->isVisible());
}

// The pictures decoded ahead of a new dashboard are ones it loads: a name that matches no
// shipped file would be decoded for nothing and leave the real picture to the main thread.
TEST(DashboardViewImagesTest, StartupPicturesAreShippedImages)
{
    const QDir images(BundleImage::imagesDirectory());
    ASSERT_FALSE(images.path().isEmpty());
    const QStringList names = DashboardView::startupImageNames();
    EXPECT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        const QFileInfo info(name);
        const QString doubleName = info.completeBaseName() + "@2x." + info.suffix();
        EXPECT_TRUE(images.exists(name) || images.exists(doubleName)) << name.toStdString();
    }
}

} // namespace
