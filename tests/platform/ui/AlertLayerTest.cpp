// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AlertLayer.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ScaledWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Alerts and sheets over an application view in a scaled window, as the program shows them.
class AlertLayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AlertView::clearHistory();
        window.resize(360, 720);
        AlertLayer::setHost(window.contentView());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        AlertLayer::setHost(nullptr);
        QCoreApplication::processEvents();
    }

    QWidget* view() const { return window.contentView(); }
    // The alert panels and sheet panels drawn now.
    QList<QWidget*> panels() const
    {
        QList<QWidget*> found;
        for (QWidget* w : view()->findChildren<QWidget*>())
            if ((w->objectName() == "AlertPanel" || w->objectName() == "ActionSheetPanel") &&
                w->isVisible())
                found << w;
        return found;
    }
    static QStringList texts(QWidget* panel, const char* name)
    {
        QStringList out;
        for (QLabel* label : panel->findChildren<QLabel*>(name))
            out << label->text();
        for (QPushButton* button : panel->findChildren<QPushButton*>(name))
            out << button->text();
        return out;
    }
    // The panel's rectangle in window pixels.
    QRectF inWindow(QWidget* panel) const
    {
        const QRect r(panel->mapTo(view(), QPoint(0, 0)), panel->size());
        return QRectF(window.mapFromContent(r.topLeft()), window.mapFromContent(r.bottomRight()));
    }

    ScaledWindow window;
};

TEST_F(AlertLayerTest, AnAlertIsDrawnInsideTheWindowOverTheDimmedViewWithItsExactTexts)
{
    int answered = -1;
    auto* alert = new AlertView(
        "Microphone unavailable", "No sound input was found.",
        [&](AlertView*, int index) { answered = index; }, "OK");
    alert->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(panels().size(), 1);
    QWidget* panel = panels().first();
    EXPECT_EQ(texts(panel, "alertTitle"), QStringList{"Microphone unavailable"});
    EXPECT_EQ(texts(panel, "alertMessage"), QStringList{"No sound input was found."});
    EXPECT_EQ(texts(panel, "alertButton"), QStringList{"OK"});
    EXPECT_EQ(panel->window(), view()) << "inside the application view, not a window of its own";
    EXPECT_EQ(QApplication::topLevelWidgets().count(&window), 1);

    QWidget* overlay = AlertLayer::currentOverlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->geometry(), view()->rect()) << "the dimming covers the whole view";
    EXPECT_LE(panel->width(), 284) << "sized to the application, in points";
    // Every window size keeps the panel inside the window.
    for (const QSize size :
         {QSize(360, 720), QSize(720, 1440), QSize(1280, 800), QSize(200, 300)}) {
        window.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(overlay->geometry(), view()->rect());
        const QRectF drawn = inWindow(panel);
        EXPECT_TRUE(QRectF(window.rect()).contains(drawn)) << size.width() << "x" << size.height();
    }

    QTest::mouseClick(panel->findChild<QPushButton*>("alertButton"), Qt::LeftButton);
    EXPECT_EQ(answered, 0);
    EXPECT_EQ(AlertLayer::current(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(panels().isEmpty());
}

TEST_F(AlertLayerTest, PresentationsShowOneAtATimeInTheOrderAsked)
{
    QStringList answers;
    auto* first = new AlertView(
        "First", "one", [&](AlertView*, int) { answers << "first"; }, "OK");
    ActionSheet sheet(
        "Delete it?", [&](ActionSheet*, int i) { answers << QString("sheet %1").arg(i); }, "Cancel",
        "Delete");
    auto* third = new AlertView("Third", "three", [&](AlertView*, int) { answers << "third"; },
                                "Cancel", {"OK"});
    first->show();
    sheet.showInView(view());
    third->show();
    QCoreApplication::processEvents();

    // All three count as showing (so they can be answered), but only the first is drawn.
    EXPECT_EQ(AlertView::visibleAlerts().size(), 2u);
    EXPECT_EQ(AlertLayer::current(), first);
    EXPECT_EQ(AlertLayer::waitingCount(), 2);
    ASSERT_EQ(panels().size(), 1);
    EXPECT_EQ(texts(panels().first(), "alertTitle"), QStringList{"First"});

    QTest::mouseClick(panels().first()->findChild<QPushButton*>("alertButton"), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_EQ(panels().size(), 1);
    EXPECT_EQ(panels().first()->objectName(), "ActionSheetPanel");
    EXPECT_EQ(texts(panels().first(), "actionSheetButton"), QStringList({"Delete", "Cancel"}));

    // Escape answers with the cancel button; then the last one comes up.
    QTest::keyClick(AlertLayer::currentOverlay(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    ASSERT_EQ(panels().size(), 1);
    EXPECT_EQ(texts(panels().first(), "alertButton"), QStringList({"Cancel", "OK"}));
    QTest::mouseClick(panels().first()->findChildren<QPushButton*>("alertButton").at(1),
                      Qt::LeftButton);
    EXPECT_EQ(answers, QStringList({"first", "sheet 1", "third"}));
    EXPECT_EQ(AlertLayer::current(), nullptr);
}

TEST_F(AlertLayerTest, AWaitingPresentationThatGoesAwayIsSkipped)
{
    auto* first = new AlertView("First", "one", {}, "OK");
    {
        ActionSheet sheet("Gone before its turn", {}, "Cancel");
        first->show();
        sheet.showInView(view());
        EXPECT_EQ(AlertLayer::waitingCount(), 1);
    }
    EXPECT_EQ(AlertLayer::waitingCount(), 0);
    auto* second = new AlertView("Second", "two", {}, "OK");
    second->show();
    second->dismissWithClickedButtonIndex(0); // answered while still waiting
    first->dismissWithClickedButtonIndex(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(AlertLayer::current(), nullptr);
    EXPECT_TRUE(panels().isEmpty());
}

TEST_F(AlertLayerTest, ATextFieldAlertTakesTheKeyboardAndReturnAnswersWithTheLastButton)
{
    QString typed;
    int answered = -1;
    auto* alert = new AlertView("Rename", QString(),
                                [&](AlertView* a, int index) {
                                    answered = index;
                                    typed = a->textField()->text();
                                },
                                "Cancel", {"OK"});
    alert->addTextField("Lecture 3");
    alert->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(panels().size(), 1);
    QLineEdit* field = panels().first()->findChild<QLineEdit*>("alertTextField");
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field, "Lecture 4");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(typed, "Lecture 4");
}

TEST_F(AlertLayerTest, ClosingTheWindowWithAnAlertUpEndsTheEventLoop)
{
    // Alerts are no windows of their own, so closing the application's window closes the last
    // one and the program's event loop ends (its quit handlers then write the library).
    (new AlertView("Tip", "one", {}, "Done"))->show();
    (new AlertView("Sonavell", "two", {}, "Done"))->show();
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    bool timedOut = false;
    QTimer::singleShot(0, &window, [this] { window.close(); });
    QTimer::singleShot(5000, qApp, [&timedOut] {
        timedOut = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_FALSE(timedOut) << "the loop went on after the window was closed";
    EXPECT_EQ(lastClosed.count(), 1);
}

} // namespace
