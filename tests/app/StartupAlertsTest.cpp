// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window as it starts (the real interface on the offscreen platform): the alerts of
// the start-up are raised before there is a window, and must be drawn once it shows, one after
// the other, without holding back what comes later.
#include "app/MainInterface.h"

#include "core/AppDelegate.h"
#include "core/LibraryFixture.h"
#include "platform/ui/AlertLayer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ScaledWindow.h"

#include <QLabel>
#include <QTest>

#include <algorithm>
#include <cstdlib>

namespace {

// The share of the window's pixels (sampled) that differ clearly between two pictures of it.
double changedShare(const QImage& a, const QImage& b)
{
    int changed = 0;
    int sampled = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); y += 4)
        for (int x = 0; x < std::min(a.width(), b.width()); x += 4) {
            ++sampled;
            changed += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 24;
        }
    return sampled ? double(changed) / sampled : 0.0;
}

// The texts the alert on screen shows.
QStringList shownTexts()
{
    QStringList texts;
    if (QWidget* overlay = AlertLayer::currentOverlay())
        for (QLabel* label : overlay->findChildren<QLabel*>())
            if (label->isVisible())
                texts << label->text();
    return texts;
}

class StartupAlerts : public LibraryFixture
{
};

} // namespace

TEST_F(StartupAlerts, AlertsRaisedBeforeTheWindowAreDrawnOnceItShows)
{
    // A first start (no library yet: the tip) over a folder with a WAV file the library does
    // not know (the recovered memo).
    dir.write("Documents/REC20090101120000.wav", "orphan");
    auto app = start();
    ASSERT_EQ(AlertView::history().size(), 2) << AlertView::history().join('\n').toStdString();
    EXPECT_EQ(AlertLayer::currentOverlay(), nullptr) << "no window to draw in yet";

    MainInterface ui(*app);
    app->applicationDidFinishLaunching();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ui.scaledWindow()));
    QTest::qWait(50);
    ASSERT_NE(AlertLayer::currentOverlay(), nullptr);
    EXPECT_TRUE(AlertLayer::currentOverlay()->isVisible());
    EXPECT_TRUE(shownTexts().contains("Tip")) << shownTexts().join('|').toStdString();
    EXPECT_EQ(AlertLayer::waitingCount(), 1);
    const QImage withTip = ui.scaledWindow()->grab().toImage();

    // Escape answers the tip; the recovered memo's alert comes up in its place.
    QTest::keyClick(ui.scaledWindow(), Qt::Key_Escape);
    QTest::qWait(50);
    ASSERT_NE(AlertLayer::currentOverlay(), nullptr);
    EXPECT_TRUE(shownTexts().join(' ').contains("Recovered Memo"))
        << shownTexts().join('|').toStdString();
    QTest::keyClick(ui.scaledWindow(), Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_EQ(AlertLayer::current(), nullptr) << "nothing left to swallow keys or queue sheets";

    // The tip was drawn over the screen: a good part of the window looks different without it
    // (the dimming and the panel; a picture that merely differs by rounding stays near zero).
    const QImage without = ui.scaledWindow()->grab().toImage();
    EXPECT_GT(changedShare(withTip, without), 0.3);
    EXPECT_LT(changedShare(without, ui.scaledWindow()->grab().toImage()), 0.01);
}
