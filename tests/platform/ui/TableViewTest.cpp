// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TableView.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

// A long list whose data source counts the cells it is asked for and makes.
class CountingSource : public TableViewDataSource, public TableViewDelegate
{
public:
    int tableViewNumberOfRowsInSection(TableView*, int) override { return rows; }
    TableViewCell* tableViewCellForRowAtIndexPath(TableView* table, int row) override
    {
        ++asked;
        TableViewCell* cell = table->dequeueReusableCellWithIdentifier(QStringLiteral("id"));
        if (!cell) {
            cell = new TableViewCell(QStringLiteral("id"));
            ++made;
        }
        cell->setText(QString::number(row));
        return cell;
    }
    TableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(TableView*, int row) override
    {
        return row == 0 ? TableViewCellEditingStyle::None : TableViewCellEditingStyle::Delete;
    }
    void tableViewCommitEditingStyle(TableView*, TableViewCellEditingStyle style, int row) override
    {
        commits << std::make_pair(style, row);
    }
    bool tableViewCanMoveRowAtIndexPath(TableView*, int) override { return true; }
    int tableViewTargetIndexPathForMoveFromRowAtIndexPath(TableView*, int, int proposed) override
    {
        return std::max(1, proposed);
    }
    void tableViewMoveRowAtIndexPath(TableView*, int from, int to) override
    {
        moves << std::make_pair(from, to);
    }

    int rows = 10000;
    int asked = 0;
    int made = 0;
    QList<std::pair<TableViewCellEditingStyle, int>> commits;
    QList<std::pair<int, int>> moves;
};

} // namespace

TEST(TableView, BuildsCellsOnlyForVisibleRowsAndReusesThem)
{
    CountingSource source;
    TableView table;
    table.resize(320, 440); // ten rows of 44
    table.show();
    table.setDataSource(&source);
    table.setDelegate(&source);
    table.reloadData();
    EXPECT_EQ(table.numberOfRows(), 10000);
    EXPECT_EQ(source.asked, 10);
    EXPECT_EQ(source.made, 10);
    EXPECT_EQ(table.indexPathsForVisibleRows().first(), 0);

    // Scrolling to the end asks only for the rows that come on screen, reusing cells.
    table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
    EXPECT_EQ(table.indexPathsForVisibleRows().last(), 9999);
    EXPECT_EQ(table.cellForRowAtIndexPath(9999)->text(), "9999");
    EXPECT_EQ(source.made, 10);
    EXPECT_EQ(table.cellForRowAtIndexPath(0), nullptr);
    EXPECT_EQ(table.indexPathForRowAtPoint(QPoint(5, 5)), 9990);

    // A reload asks again for the visible rows only.
    source.asked = 0;
    source.rows = 3;
    table.reloadData();
    EXPECT_EQ(table.numberOfRows(), 3);
    EXPECT_EQ(source.asked, 3);
    EXPECT_EQ(table.verticalScrollBar()->value(), 0);
}

TEST(TableView, EditControlsAndDeleteConfirmation)
{
    CountingSource source;
    source.rows = 4;
    TableView table;
    table.resize(320, 440);
    table.show();
    table.setDataSource(&source);
    table.setDelegate(&source);
    table.reloadData();

    // Outside edit mode the delete control is not there; a swipe is (TableView's touches are
    // covered end to end by the browser's test). The confirmation button commits the delete.
    table.setEditing(true, false);
    EXPECT_TRUE(table.isEditing());
    QWidget* viewport = table.viewport();
    auto press = [&](QPoint p) {
        QMouseEvent down(QEvent::MouseButtonPress, p, viewport->mapToGlobal(p), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, p, viewport->mapToGlobal(p), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &up);
    };
    press(table.editControlRect(0).center()); // row 0 has no control
    EXPECT_EQ(table.deleteConfirmationRow(), -1);
    press(table.editControlRect(2).center());
    EXPECT_EQ(table.deleteConfirmationRow(), 2);
    table.deleteConfirmationButton()->click();
    ASSERT_EQ(source.commits.size(), 1);
    EXPECT_EQ(source.commits[0], std::make_pair(TableViewCellEditingStyle::Delete, 2));
    EXPECT_EQ(table.deleteConfirmationRow(), -1);

    // Dragging row 3 by its grip onto row 0 asks the delegate where it lands (row 1 here).
    const QPoint grip = table.reorderControlRect(3).center();
    QMouseEvent down(QEvent::MouseButtonPress, grip, viewport->mapToGlobal(grip), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &down);
    const QPoint top(grip.x(), 5);
    QMouseEvent move(QEvent::MouseMove, top, viewport->mapToGlobal(top), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    QMouseEvent up(QEvent::MouseButtonRelease, top, viewport->mapToGlobal(top), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &up);
    ASSERT_EQ(source.moves.size(), 1);
    EXPECT_EQ(source.moves[0], std::make_pair(3, 1));
}
