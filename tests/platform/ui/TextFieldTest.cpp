// SPDX-License-Identifier: GPL-3.0-or-later
// The one-line text field, the picker view's choice of the selected row, and the modal screen's
// animated dismissal.
#include "platform/ui/TextField.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ViewController.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(TextField, ReturnAsksTheDelegateAndTheFontShrinksNoFurtherThanTheMinimum)
{
    QWidget window;
    auto* field = new TextField(&window);
    field->setGeometry(0, 0, 120, 36);
    window.show();
    int returns = 0;
    field->textFieldShouldReturn = [&](TextField* f) {
        ++returns;
        f->resignFirstResponder();
        return true;
    };
    field->setFontSize(19, true);
    field->setMinimumFontSize(12);
    field->setText(QStringLiteral("Hi"));
    EXPECT_EQ(field->currentFontSize(), 19);
    EXPECT_TRUE(field->font().bold());
    field->setText(QStringLiteral("A rather long name for a memo"));
    EXPECT_EQ(field->currentFontSize(), 12);
    field->setText(QStringLiteral("Hi"));
    EXPECT_EQ(field->currentFontSize(), 19);

    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(returns, 1);
    EXPECT_FALSE(field->hasFocus());
    EXPECT_EQ(field->text(), "Hi");
}

class Rows : public PickerView::DataSource
{
public:
    int pickerViewNumberOfRowsInComponent(PickerView*, int) override { return 3; }
    QString pickerViewTitleForRow(PickerView*, int row, int) override
    {
        return QStringLiteral("Row %1").arg(row);
    }
};

TEST(PickerView, ATapOnTheSelectedRowChoosesItOnce)
{
    Rows rows;
    PickerView picker;
    picker.resize(200, 200);
    picker.setDataSource(&rows);
    picker.reloadAllComponents();
    picker.show();
    QList<int> chosen;
    QObject::connect(&picker, &PickerView::didSelectRow, [&](int row, int) { chosen << row; });
    picker.selectRow(1, 0, false); // from code: no signal
    EXPECT_TRUE(chosen.isEmpty());
    QTest::mouseClick(picker.rowsViewport(), Qt::LeftButton, {}, picker.rectForRow(1).center());
    QTest::mouseClick(picker.rowsViewport(), Qt::LeftButton, {}, picker.rectForRow(2).center());
    EXPECT_EQ(chosen, QList<int>({1, 2}));
    EXPECT_EQ(picker.titleForRow(2, 0), "Row 2");
}

TEST(PickerView, EveryMoveOfTheSelectionIsReported)
{
    Rows rows;
    PickerView picker;
    picker.resize(200, 200);
    picker.setDataSource(&rows);
    picker.show();
    int changes = 0;
    QObject::connect(&picker, &PickerView::selectionChanged, [&] { ++changes; });
    picker.reloadAllComponents();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(picker.selectedRowInComponent(0), 0);
    picker.selectRow(2, 0, false);
    EXPECT_EQ(changes, 2);
    QTest::mouseClick(picker.rowsViewport(), Qt::LeftButton, {}, picker.rectForRow(1).center());
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(picker.selectedRowInComponent(0), 1);
}

TEST(ModalScreen, AnAnimatedDismissalHidesAtOnceAndSlidesAPictureAway)
{
    ViewController host;
    host.resize(320, 480);
    auto* modal = new ViewController;
    host.show();
    host.presentModalViewController(modal, true);
    ASSERT_TRUE(modal->isVisible());
    EXPECT_EQ(modal->geometry(), host.rect());
    host.dismissModalViewControllerAnimated(true);
    EXPECT_FALSE(modal->isVisible());
    EXPECT_EQ(host.modalViewController(), nullptr);
    // The picture that slides takes no touches and goes when it has left.
    QList<QLabel*> ghosts = host.findChildren<QLabel*>();
    ASSERT_EQ(ghosts.size(), 1);
    EXPECT_TRUE(ghosts[0]->testAttribute(Qt::WA_TransparentForMouseEvents));
    QTest::qWait(ViewController::kModalAnimationMs + 200);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(host.findChildren<QLabel*>().isEmpty());
    // Without animation nothing is left behind.
    host.presentModalViewController(modal, false);
    host.dismissModalViewControllerAnimated(false);
    EXPECT_TRUE(host.findChildren<QLabel*>().isEmpty());
}

} // namespace
