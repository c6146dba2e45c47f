// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/TableViewCell.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>

#include <optional>

class QPushButton;
class TableView;

enum class TableViewCellEditingStyle
{
    None = 0,
    Delete = 1,
    Insert = 2,
};

// Row animations for inserted and deleted rows; the values are the platform's.
enum class TableViewRowAnimation
{
    Fade = 0,
    Right = 1, // slides in from the right, slides out to the right
};

// Where a table's rows come from and where edits go. Every member but the first two is
// optional: the defaults are what a table does when its data source does not implement it.
class TableViewDataSource
{
public:
    virtual ~TableViewDataSource() = default;
    virtual int tableViewNumberOfRowsInSection(TableView* table, int section) = 0;
    virtual TableViewCell* tableViewCellForRowAtIndexPath(TableView* table, int row) = 0;
    virtual bool tableViewCanMoveRowAtIndexPath(TableView* table, int row);
    virtual void tableViewCommitEditingStyle(TableView* table, TableViewCellEditingStyle style,
                                             int row);
    virtual void tableViewMoveRowAtIndexPath(TableView* table, int from, int to);
};

// What a table asks about behaviour. Every member is optional.
class TableViewDelegate
{
public:
    virtual ~TableViewDelegate() = default;
    // Delete unless answered otherwise.
    virtual TableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(TableView* table,
                                                                             int row);
    // The row a dragged row lands on when dropped on `proposed`; the proposal by default.
    virtual int tableViewTargetIndexPathForMoveFromRowAtIndexPath(TableView* table, int from,
                                                                  int proposed);
    virtual void tableViewDidSelectRowAtIndexPath(TableView* table, int row);
    virtual void tableViewAccessoryButtonTappedForRowWithIndexPath(TableView* table, int row);
    // An accessory that overrides the cell's own; none by default.
    virtual std::optional<TableViewCell::AccessoryType>
    tableViewAccessoryTypeForRowWithIndexPath(TableView* table, int row);
};

// A one-section table of rows of one height. Cells are made only for the rows on screen and are
// handed back for reuse by identifier once they scroll away, so a table of any length costs the
// same to show and to scroll.
//
// Touches: a tap selects a row (or, on a detail disclosure button, reports the button); a
// vertical drag scrolls; a horizontal swipe on a row whose editing style is Delete offers its
// Delete button outside edit mode too. In edit mode each row shows its edit control (delete or
// insert) at the left, and movable rows a grip at the right that drags the row to a new place.
class TableView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TableView(QWidget* parent = nullptr);
    ~TableView() override;

    // The colours of every list: dark text on white rows, whatever the desktop's theme. A table
    // sets all of them on itself, so no row, label or field takes a dark theme's light text onto
    // the white it paints.
    static QPalette listPalette();

    void setDataSource(TableViewDataSource* dataSource) { m_dataSource = dataSource; }
    void setDelegate(TableViewDelegate* delegate) { m_delegate = delegate; }

    int rowHeight() const { return m_rowHeight; }
    void setRowHeight(int height);

    // Asks the data source for the number of rows again and rebuilds the visible cells.
    void reloadData();
    int numberOfRows() const { return m_rowCount; }

    // A cell handed back for reuse under the identifier, or null when there is none.
    TableViewCell* dequeueReusableCellWithIdentifier(const QString& identifier);
    // The cell showing the row, or null when the row is not on screen.
    TableViewCell* cellForRowAtIndexPath(int row) const { return m_visible.value(row); }
    // The row a cell on screen shows, or -1.
    int indexPathForCell(const TableViewCell* cell) const;
    QList<int> indexPathsForVisibleRows() const { return m_visible.keys(); }
    // The row's rectangle in the viewport's coordinates.
    QRect rectForRowAtIndexPath(int row) const;
    // The row under a point of the viewport, or -1.
    int indexPathForRowAtPoint(const QPoint& point) const;
    void scrollToRowAtIndexPath(int row);

    bool isEditing() const { return m_editing; }
    void setEditing(bool editing, bool animated);
    bool allowsSelectionDuringEditing() const { return m_allowsSelectionDuringEditing; }
    void setAllowsSelectionDuringEditing(bool allows) { m_allowsSelectionDuringEditing = allows; }

    // The data source has already added (removed) these rows; the table shows the change.
    void insertRowsAtIndexPaths(const QList<int>& rows, TableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const QList<int>& rows, TableViewRowAnimation animation);

    int indexPathForSelectedRow() const { return m_selectedRow; }
    void selectRowAtIndexPath(int row);
    void deselectRowAtIndexPath(int row, bool animated);

    // The row whose Delete button shows (after a swipe or a tap on its delete control), or -1.
    int deleteConfirmationRow() const { return m_confirmRow; }
    QPushButton* deleteConfirmationButton() const { return m_deleteButton; }
    // Where a row's controls are, in the viewport's coordinates (for the touches above).
    QRect editControlRect(int row) const;
    QRect reorderControlRect(int row) const;

    // What a tap does, for the keyboard and assistive technology as for touches: on the row
    // (selects it and tells the delegate, unless editing forbids it), on its detail disclosure
    // button, and on its edit control (offers Delete, or inserts). Each returns whether it did
    // anything.
    bool tapRow(int row);
    bool tapAccessory(int row);
    bool tapEditControl(int row);
    // What a horizontal swipe across a row does outside edit mode: offers its Delete button
    // when the row can be deleted.
    bool swipeRow(int row);
    // The row can be offered for deletion with a swipe (outside edit mode).
    bool canSwipeToDelete(int row) const
    {
        return !m_editing && row >= 0 && row < m_rowCount &&
               editingStyle(row) == TableViewCellEditingStyle::Delete;
    }
    // The edit control the row shows now (None outside edit mode).
    TableViewCellEditingStyle editControlStyle(int row) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    enum class Touch
    {
        None,
        Pending,   // down, not yet known as a tap, a scroll or a swipe
        Scrolling, // a vertical drag
        Dragging,  // moving a row by its grip
        Handled,   // the press did its work (an edit control, a swipe)
    };

    TableViewCellEditingStyle editingStyle(int row) const;
    bool canMove(int row) const;
    void recycleAll();
    void recycle(int row);
    void layoutCells();
    void configure(TableViewCell* cell, int row);
    void updateScrollRange();
    void showDeleteConfirmation(int row);
    void hideDeleteConfirmation();
    void slideOut(TableViewCell* cell);
    void finishDrag(const QPoint& point);

    TableViewDataSource* m_dataSource = nullptr;
    TableViewDelegate* m_delegate = nullptr;
    int m_rowHeight = 44;
    int m_rowCount = 0;
    QMap<int, TableViewCell*> m_visible;
    QMultiHash<QString, TableViewCell*> m_pool;
    bool m_editing = false;
    bool m_allowsSelectionDuringEditing = false;
    int m_selectedRow = -1;
    int m_confirmRow = -1;
    QPushButton* m_deleteButton = nullptr;
    bool m_layingOut = false;

    Touch m_touch = Touch::None;
    QPoint m_pressPoint;
    int m_pressRow = -1;
    int m_pressScroll = 0;
    int m_dragFrom = -1;
    QPointer<TableViewCell> m_dragCell;
};
