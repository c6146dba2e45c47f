// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertLayer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ScaledWindow.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The longest text each alert of the program can show, with its title and buttons. Messages with
// a part filled in at run time get a long, realistic filling.
struct AlertText
{
    AlertText(QString title, QString message, QString cancel, QStringList others = {},
              bool textField = false)
        : title(std::move(title))
        , message(std::move(message))
        , cancel(std::move(cancel))
        , others(std::move(others))
        , textField(textField)
    {
    }
    QString title;
    QString message;
    QString cancel;
    QStringList others;
    bool textField;
};

const AlertText kAlerts[] = {
    {"Error",
     "An error ocurred sending the memo as an email.  Make sure you are connected to a network, "
     "check the email settings and try again. ",
     "OK"},
    {"Sending Recording",
     "The recording is now being uploaded to our server and will be emailed when the upload is "
     "complete.  Do not quit Sonavell until the upload has completed, or the email will not be "
     "sent.",
     "OK"},
    {"Send Recording",
     "Sonavell has successfully uploaded the recording to our server and the email has been "
     "sent.",
     "OK"},
    {"Error",
     "No upload server is configured. E-mail goes through a sonavell-upload-server; set its "
     "address (for example http://192.168.1.10:8025) as \"upload_url\" in Sonavell's settings.",
     "Done"},
    {"Error", "Enter the recipient's e-mail address, or pick one from the address book.", "Done"},
    {"Error", "Sonavell cannot email recordings larger than 10MB.", "Done"},
    {"Sonavell",
     "Sonavell found a recording that was not saved in the database.  Any recordings the have "
     "been reconnected to the database are now renamed \"Recovered Memo.\"",
     "Done"},
    {"Tip", "To ensure interruption-free recordings, change your phone settings to Airplane mode.",
     "Done"},
    {"Sonavell",
     "Your library could not be saved (No space left on device). The last saved copy is kept; "
     "Sonavell tries again with your next change.",
     "OK"},
    {"Sonavell",
     "The recording could not be saved: Interviews/REC20090415093012.wav is not a file in the "
     "documents folder.",
     "OK"},
    {"Sonavell", "The sound device was lost. The recording was stopped and saved.", "OK"},
    {"Recording Stopped",
     "recording stopped: /home/someone/.local/share/Sonavell/Documents/REC20090415093012.wav "
     "reached the 4 GiB size limit of a WAV file",
     "OK"},
    {"Photo",
     "The photo could not be saved (its file is not a regular file inside the documents "
     "folder). The recording keeps its photo as it was.",
     "OK"},
    {"Not Saved",
     "\"http://uploads.example.org:80x5/sonavell\" is not the address of an upload server. Enter "
     "it as http://HOST:PORT, for example http://192.168.1.10:8025. The setting stays as it was.",
     "OK"},
    {"Not Saved",
     "\"/home/someone/Music/Voice Memos/Help Pages\" is neither a web address (http:// or "
     "https://) nor a folder that exists. The setting stays as it was.",
     "OK"},
    {"Not Saved",
     "There is no folder \"/home/someone/Pictures/SonavellPhotosFromTheOldPhoneBackup2019\". The "
     "setting stays as it was.",
     "OK"},
    {"Enter Category Name", "this gets covered", "Cancel", {"OK"}, true},
    {"Enter Recording Name", "this gets covered", "Cancel", {"OK"}, true},
};

struct SheetText
{
    QString title;
    QString cancel;
    QString destructive;
    QStringList others;
};

const SheetText kSheets[] = {
    {"Are you sure you want to delete this recording?", "Cancel", "Delete", {}},
    {"Choose photo source:", "Cancel", {}, {"New Photo", "From Library"}},
    {"Record from",
     "Cancel",
     {},
     {"Default input", "Built-in Audio Analog Stereo", "Monitor of Built-in Audio Analog Stereo",
      "USB PnP Sound Device Analog Mono", "Bluetooth Headset (HSP/HFP) Microphone"}},
};

// The application view in its smallest (320 × 480 points) and in a tall phone shape.
const QSize kWindowSizes[] = {QSize(320, 480), QSize(360, 720)};

class AlertFitTest : public ::testing::TestWithParam<QSize>
{
protected:
    void SetUp() override
    {
        window.resize(GetParam());
        AlertLayer::setHost(window.contentView());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        for (ActionSheet* sheet : ActionSheet::visibleSheets())
            sheet->dismissWithClickedButtonIndex(-1);
        AlertLayer::setHost(nullptr);
        QCoreApplication::processEvents();
    }

    QWidget* view() const { return window.contentView(); }

    // The widget's rectangle in the coordinates of `ancestor`.
    static QRect rectIn(const QWidget* widget, const QWidget* ancestor)
    {
        return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
    }

    // Where the user can see `widget` whole: the panel, or the scrolled area it lies in, whose
    // content must then be reachable to its end.
    static const QWidget* shownIn(const QWidget* widget, const QWidget* panel)
    {
        for (const QWidget* w = widget->parentWidget(); w && w != panel; w = w->parentWidget())
            if (const auto* area = qobject_cast<const QScrollArea*>(w))
                return area;
        return panel;
    }

    // Nothing of the panel is cut off: every label and button has the height its text needs at
    // its width and the width of its longest line, lies inside the panel (or inside the scrolled
    // area that shows it), and the panel lies inside the application view.
    void expectWhole(const QWidget* panel, const QString& what, bool choicesMayScroll = false) const
    {
        SCOPED_TRACE(what.toStdString());
        ASSERT_NE(panel, nullptr);
        const QRect inView = rectIn(panel, view());
        EXPECT_TRUE(view()->rect().contains(inView))
            << "panel " << inView.y() << "+" << inView.height() << " in a view of "
            << view()->height();

        const auto inside = [&](const QWidget* w, const QString& text) {
            const QWidget* frame = shownIn(w, panel);
            if (frame == panel) {
                EXPECT_TRUE(panel->rect().contains(rectIn(w, panel)))
                    << '"' << text.toStdString() << "\" at " << rectIn(w, panel).y() << "+"
                    << w->height() << " in a panel of " << panel->height();
                return;
            }
            const auto* area = static_cast<const QScrollArea*>(frame);
            EXPECT_TRUE(panel->rect().contains(rectIn(area, panel)));
            // The whole of the scrolled content can be brought into view.
            const QWidget* content = area->widget();
            ASSERT_NE(content, nullptr);
            EXPECT_GE(area->verticalScrollBar()->maximum() + area->viewport()->height(),
                      content->height());
            EXPECT_TRUE(content->rect().contains(rectIn(w, content)));
            EXPECT_LE(content->width(), area->viewport()->width()) << "no sideways scrolling";
        };

        const QList<QLabel*> labels = panel->findChildren<QLabel*>();
        for (const QLabel* label : labels) {
            if (!label->isVisibleTo(panel))
                continue;
            const QString text = label->text();
            const int needed = label->wordWrap() ? label->heightForWidth(label->width())
                                                 : label->sizeHint().height();
            EXPECT_GE(label->height(), needed) << '"' << text.toStdString() << '"';
            const QRect lines = label->fontMetrics().boundingRect(
                QRect(0, 0, label->width(), 100000), Qt::TextWordWrap | label->alignment(), text);
            EXPECT_LE(lines.width(), label->width()) << '"' << text.toStdString() << '"';
            inside(label, text);
        }
        for (const QAbstractButton* button : panel->findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(panel))
                continue;
            EXPECT_GE(button->height(), button->sizeHint().height())
                << '"' << button->text().toStdString() << '"';
            EXPECT_GE(button->width(), button->sizeHint().width())
                << '"' << button->text().toStdString() << '"';
            EXPECT_TRUE(button->toolTip().isEmpty())
                << "shortened: " << button->toolTip().toStdString();
            // An alert's buttons stay in view, and so does a sheet's cancel button.
            if (!choicesMayScroll || button->text() == QLatin1String("Cancel")) {
                EXPECT_EQ(shownIn(button, panel), panel)
                    << '"' << button->text().toStdString() << '"';
            }
            inside(button, button->text());
        }
        for (const QLineEdit* field : panel->findChildren<QLineEdit*>()) {
            EXPECT_GE(field->height(), field->sizeHint().height());
            inside(field, QStringLiteral("text field"));
        }
    }

    ScaledWindow window;
};

TEST_P(AlertFitTest, EveryAlertOfTheProgramShowsItsWholeText)
{
    for (const AlertText& text : kAlerts) {
        auto* alert = new AlertView(text.title, text.message, {}, text.cancel, text.others);
        if (text.textField)
            alert->addTextField(QStringLiteral("Lecture notes"));
        alert->show();
        QCoreApplication::processEvents();
        ASSERT_EQ(AlertLayer::current(), alert);
        expectWhole(alert->panel(), text.title + QStringLiteral(": ") + text.message);
        // Every character of the message is there; a word too long for a line may only have
        // been made breakable.
        if (const auto* message = alert->panel()->findChild<QLabel*>("alertMessage")) {
            EXPECT_EQ(message->text().remove(QChar(0x200B)), text.message);
        }
        // A text that fits is shown whole, without scrolling.
        for (const QScrollArea* area : alert->panel()->findChildren<QScrollArea*>())
            EXPECT_EQ(area->verticalScrollBar()->maximum(), 0) << text.message.toStdString();
        alert->dismissWithClickedButtonIndex(0);
        QCoreApplication::processEvents();
    }
}

TEST_P(AlertFitTest, EveryActionSheetOfTheProgramShowsItsWholeTitleAndAllButtons)
{
    for (const SheetText& text : kSheets) {
        ActionSheet sheet(text.title, {}, text.cancel, text.destructive, text.others);
        sheet.showInView(view());
        QCoreApplication::processEvents();
        ASSERT_EQ(AlertLayer::current(), &sheet);
        expectWhole(sheet.panel(), text.title, true);
        for (const QScrollArea* area : sheet.panel()->findChildren<QScrollArea*>())
            EXPECT_EQ(area->verticalScrollBar()->maximum(), 0) << "no scrolling when all fit";
        const QRect inView = rectIn(sheet.panel(), view());
        EXPECT_EQ(inView.bottom(), view()->rect().bottom()) << "at the bottom of the view";
        sheet.dismissWithClickedButtonIndex(sheet.cancelButtonIndex());
        QCoreApplication::processEvents();
    }
}

TEST_P(AlertFitTest, AMessageTallerThanTheWindowScrollsBetweenTitleAndButtons)
{
    QStringList sentences;
    for (int i = 1; i <= 60; ++i)
        sentences << QStringLiteral("This is sentence %1 of a very long message.").arg(i);
    auto* alert = new AlertView("A long title that needs two lines in the alert",
                                sentences.join(' '), {}, "Cancel", {"OK"});
    alert->show();
    QCoreApplication::processEvents();
    QWidget* panel = alert->panel();
    expectWhole(panel, QStringLiteral("long message"));
    EXPECT_GE(panel->height(), view()->height() - 2 * 8 - 1) << "as tall as the view allows";
    const QList<QScrollArea*> areas = panel->findChildren<QScrollArea*>();
    ASSERT_EQ(areas.size(), 1);
    EXPECT_GT(areas[0]->verticalScrollBar()->maximum(), 0);
    // The title and the buttons stay in view; only the message scrolls.
    const QLabel* message = panel->findChild<QLabel*>("alertMessage");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(shownIn(message, panel), areas[0]);
    EXPECT_EQ(shownIn(panel->findChild<QLabel*>("alertTitle"), panel), panel);
    // The panel follows the view as the window changes size under it.
    for (const QSize size : kWindowSizes) {
        window.resize(size);
        QCoreApplication::processEvents();
        expectWhole(panel, QStringLiteral("long message, resized"));
    }
    alert->dismissWithClickedButtonIndex(1);
}

TEST_P(AlertFitTest, ASheetWithMoreChoicesThanTheWindowHoldsScrollsItsChoices)
{
    QStringList sources;
    for (int i = 1; i <= 16; ++i)
        sources << QStringLiteral("USB Microphone %1 Analog Mono").arg(i);
    ActionSheet sheet("Record from", {}, "Cancel", {}, sources);
    sheet.showInView(view());
    QCoreApplication::processEvents();
    QWidget* panel = sheet.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(view()->rect().contains(rectIn(panel, view())));
    const QList<QScrollArea*> areas = panel->findChildren<QScrollArea*>();
    ASSERT_EQ(areas.size(), 1);
    const QScrollArea* area = areas[0];
    EXPECT_TRUE(panel->rect().contains(rectIn(area, panel)));
    EXPECT_GE(area->verticalScrollBar()->maximum() + area->viewport()->height(),
              area->widget()->height());
    // Every choice is in the scrolled part, whole; Cancel stays in view below it.
    int choices = 0;
    for (const QPushButton* button : panel->findChildren<QPushButton*>()) {
        if (button->text() == QLatin1String("Cancel")) {
            EXPECT_EQ(shownIn(button, panel), panel);
            EXPECT_TRUE(panel->rect().contains(rectIn(button, panel)));
            continue;
        }
        ++choices;
        EXPECT_EQ(shownIn(button, panel), area);
        EXPECT_GE(button->height(), button->sizeHint().height());
        EXPECT_TRUE(area->widget()->rect().contains(rectIn(button, area->widget())));
    }
    EXPECT_EQ(choices, sources.size());
    for (const QSize size : kWindowSizes) {
        window.resize(size);
        QCoreApplication::processEvents();
        EXPECT_TRUE(view()->rect().contains(rectIn(panel, view())));
        EXPECT_TRUE(panel->rect().contains(rectIn(area, panel)));
    }
    sheet.dismissWithClickedButtonIndex(sheet.cancelButtonIndex());
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, AlertFitTest, ::testing::ValuesIn(kWindowSizes),
                         [](const ::testing::TestParamInfo<QSize>& info) {
                             return std::to_string(info.param.width()) + "x" +
                                    std::to_string(info.param.height());
                         });

} // namespace
