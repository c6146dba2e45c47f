// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TableView.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr int kScrollThreshold = 8;
constexpr int kSwipeThreshold = 24;
constexpr int kSlideMs = 250;
constexpr int kDeleteButtonWidth = 64;
} // namespace

bool TableViewDataSource::tableViewCanMoveRowAtIndexPath(TableView*, int)
{
    return false;
}

void TableViewDataSource::tableViewCommitEditingStyle(TableView*, TableViewCellEditingStyle, int) {}

void TableViewDataSource::tableViewMoveRowAtIndexPath(TableView*, int, int) {}

TableViewCellEditingStyle TableViewDelegate::tableViewEditingStyleForRowAtIndexPath(TableView*, int)
{
    return TableViewCellEditingStyle::Delete;
}

int TableViewDelegate::tableViewTargetIndexPathForMoveFromRowAtIndexPath(TableView*, int,
                                                                         int proposed)
{
    return proposed;
}

void TableViewDelegate::tableViewDidSelectRowAtIndexPath(TableView*, int) {}

void TableViewDelegate::tableViewAccessoryButtonTappedForRowWithIndexPath(TableView*, int) {}

std::optional<TableViewCell::AccessoryType>
TableViewDelegate::tableViewAccessoryTypeForRowWithIndexPath(TableView*, int)
{
    return std::nullopt;
}

TableView::TableView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setPalette(listPalette());
    viewport()->setAutoFillBackground(true);

    m_deleteButton = new QPushButton(tr("Delete"), viewport());
    m_deleteButton->setObjectName(QStringLiteral("deleteConfirmationButton"));
    // The keyboard reaches it with Tab; a touch does not take the focus.
    m_deleteButton->setFocusPolicy(Qt::TabFocus);
    m_deleteButton->setStyleSheet(
        QStringLiteral("QPushButton { color: white; font-weight: bold; border: 1px solid #8e1610;"
                       " border-radius: 5px; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                       " stop:0 #ef5a50, stop:1 #b3231b); padding: 2px 6px; outline: none; }"));
    m_deleteButton->hide();
    connect(m_deleteButton, &QPushButton::clicked, this, [this] {
        const int row = m_confirmRow;
        hideDeleteConfirmation();
        if (m_dataSource && row >= 0 && row < m_rowCount)
            m_dataSource->tableViewCommitEditingStyle(this, TableViewCellEditingStyle::Delete, row);
    });
}

TableView::~TableView() = default;

QPalette TableView::listPalette()
{
    const QColor text(Qt::black);
    const QColor white(Qt::white);
    const QColor disabledText(128, 128, 128);
    QPalette palette;
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::AlternateBase})
        palette.setColor(role, white);
    palette.setColor(QPalette::Button, QColor(239, 239, 239));
    palette.setColor(QPalette::Light, white);
    palette.setColor(QPalette::Midlight, QColor(227, 227, 227));
    palette.setColor(QPalette::Mid, QColor(160, 160, 160));
    palette.setColor(QPalette::Dark, QColor(120, 120, 120));
    palette.setColor(QPalette::Shadow, QColor(70, 70, 70));
    palette.setColor(QPalette::BrightText, white);
    palette.setColor(QPalette::Highlight, QColor(8, 116, 227));
    palette.setColor(QPalette::HighlightedText, white);
    palette.setColor(QPalette::Link, QColor(36, 112, 216));
    palette.setColor(QPalette::LinkVisited, QColor(110, 60, 170));
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabledText);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    return palette;
}

void TableView::setRowHeight(int height)
{
    m_rowHeight = std::max(1, height);
    verticalScrollBar()->setSingleStep(m_rowHeight);
    recycleAll();
    updateScrollRange();
    layoutCells();
}

void TableView::reloadData()
{
    hideDeleteConfirmation();
    m_rowCount =
        m_dataSource ? std::max(0, m_dataSource->tableViewNumberOfRowsInSection(this, 0)) : 0;
    if (m_selectedRow >= m_rowCount)
        m_selectedRow = -1;
    recycleAll();
    updateScrollRange();
    layoutCells();
}

int TableView::indexPathForCell(const TableViewCell* cell) const
{
    for (auto it = m_visible.begin(); it != m_visible.end(); ++it) {
        if (it.value() == cell)
            return it.key();
    }
    return -1;
}

TableViewCell* TableView::dequeueReusableCellWithIdentifier(const QString& identifier)
{
    auto found = m_pool.find(identifier);
    if (found == m_pool.end())
        return nullptr;
    TableViewCell* cell = found.value();
    m_pool.erase(found);
    return cell;
}

QRect TableView::rectForRowAtIndexPath(int row) const
{
    return QRect(0, row * m_rowHeight - verticalScrollBar()->value(), viewport()->width(),
                 m_rowHeight);
}

int TableView::indexPathForRowAtPoint(const QPoint& point) const
{
    if (point.y() < 0 && verticalScrollBar()->value() == 0)
        return -1;
    const int row = (point.y() + verticalScrollBar()->value()) / m_rowHeight;
    return row >= 0 && row < m_rowCount ? row : -1;
}

void TableView::scrollToRowAtIndexPath(int row)
{
    const QRect r = rectForRowAtIndexPath(row);
    QScrollBar* bar = verticalScrollBar();
    if (r.top() < 0)
        bar->setValue(bar->value() + r.top());
    else if (r.bottom() > viewport()->height())
        bar->setValue(bar->value() + r.bottom() - viewport()->height() + 1);
}

QRect TableView::editControlRect(int row) const
{
    const QRect r = rectForRowAtIndexPath(row);
    return QRect(r.left(), r.top(), TableViewCell::kEditInset, r.height());
}

QRect TableView::reorderControlRect(int row) const
{
    const QRect r = rectForRowAtIndexPath(row);
    return QRect(r.right() - 34 + 1, r.top(), 34, r.height());
}

TableViewCellEditingStyle TableView::editingStyle(int row) const
{
    if (!m_delegate)
        return TableViewCellEditingStyle::Delete;
    return m_delegate->tableViewEditingStyleForRowAtIndexPath(const_cast<TableView*>(this), row);
}

bool TableView::canMove(int row) const
{
    return m_dataSource &&
           m_dataSource->tableViewCanMoveRowAtIndexPath(const_cast<TableView*>(this), row);
}

void TableView::setEditing(bool editing, bool animated)
{
    Q_UNUSED(animated);
    hideDeleteConfirmation();
    if (editing == m_editing)
        return;
    m_editing = editing;
    for (auto it = m_visible.begin(); it != m_visible.end(); ++it)
        configure(it.value(), it.key());
}

void TableView::insertRowsAtIndexPaths(const QList<int>& rows, TableViewRowAnimation animation)
{
    reloadData();
    if (animation != TableViewRowAnimation::Right)
        return;
    for (int row : rows) {
        TableViewCell* cell = m_visible.value(row);
        if (!cell)
            continue;
        auto* slide = new QPropertyAnimation(cell, "pos", cell);
        slide->setDuration(kSlideMs);
        slide->setStartValue(QPoint(viewport()->width(), cell->y()));
        slide->setEndValue(cell->pos());
        slide->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

void TableView::deleteRowsAtIndexPaths(const QList<int>& rows, TableViewRowAnimation animation)
{
    if (animation == TableViewRowAnimation::Right) {
        for (int row : rows) {
            if (TableViewCell* cell = m_visible.value(row))
                slideOut(cell);
        }
    }
    if (rows.contains(m_selectedRow))
        m_selectedRow = -1;
    reloadData();
}

void TableView::slideOut(TableViewCell* cell)
{
    // A picture of the row leaves to the right while the rows below close up.
    auto* ghost = new QLabel(viewport());
    ghost->setPixmap(cell->grab());
    ghost->setGeometry(cell->geometry());
    ghost->setAttribute(Qt::WA_TransparentForMouseEvents);
    ghost->show();
    auto* slide = new QPropertyAnimation(ghost, "pos", ghost);
    slide->setDuration(kSlideMs);
    slide->setEndValue(QPoint(viewport()->width(), ghost->y()));
    connect(slide, &QPropertyAnimation::finished, ghost, &QObject::deleteLater);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void TableView::selectRowAtIndexPath(int row)
{
    if (m_selectedRow >= 0)
        if (TableViewCell* cell = m_visible.value(m_selectedRow))
            cell->setSelected(false);
    m_selectedRow = row >= 0 && row < m_rowCount ? row : -1;
    if (TableViewCell* cell = m_visible.value(m_selectedRow))
        cell->setSelected(true);
}

void TableView::deselectRowAtIndexPath(int row, bool animated)
{
    Q_UNUSED(animated);
    if (row != m_selectedRow || row < 0)
        return;
    if (TableViewCell* cell = m_visible.value(row))
        cell->setSelected(false);
    m_selectedRow = -1;
}

void TableView::recycle(int row)
{
    TableViewCell* cell = m_visible.take(row);
    if (!cell)
        return;
    cell->hide();
    cell->setSelected(false);
    m_pool.insert(cell->reuseIdentifier(), cell);
}

void TableView::recycleAll()
{
    const QList<int> rows = m_visible.keys();
    for (int row : rows)
        recycle(row);
}

void TableView::updateScrollRange()
{
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(m_rowHeight);
    bar->setRange(0, std::max(0, m_rowCount * m_rowHeight - viewport()->height()));
}

void TableView::configure(TableViewCell* cell, int row)
{
    const TableViewCellEditingStyle style =
        m_editing ? editingStyle(row) : TableViewCellEditingStyle::None;
    cell->setEditControl(m_editing, int(style));
    cell->setShowsReorderControl(m_editing && canMove(row));
}

void TableView::layoutCells()
{
    if (m_layingOut || !m_dataSource)
        return;
    m_layingOut = true;
    const int scroll = verticalScrollBar()->value();
    const int first = std::max(0, scroll / m_rowHeight);
    const int last =
        std::min(m_rowCount - 1, (scroll + std::max(0, viewport()->height() - 1)) / m_rowHeight);

    const QList<int> shown = m_visible.keys();
    for (int row : shown) {
        if (row < first || row > last)
            recycle(row);
    }
    for (int row = first; row <= last; ++row) {
        TableViewCell* cell = m_visible.value(row);
        if (!cell) {
            cell = m_dataSource->tableViewCellForRowAtIndexPath(this, row);
            if (!cell)
                continue;
            if (cell->parentWidget() != viewport())
                cell->setParent(viewport());
            m_visible.insert(row, cell);
            if (m_delegate)
                if (auto accessory =
                        m_delegate->tableViewAccessoryTypeForRowWithIndexPath(this, row))
                    cell->setAccessoryType(*accessory);
            configure(cell, row);
            cell->setSelected(row == m_selectedRow);
        }
        if (cell != m_dragCell)
            cell->setGeometry(rectForRowAtIndexPath(row));
        cell->show();
    }
    if (m_confirmRow >= 0) {
        const QRect r = rectForRowAtIndexPath(m_confirmRow);
        m_deleteButton->setGeometry(r.right() - kDeleteButtonWidth - 8, r.top() + 8,
                                    kDeleteButtonWidth, r.height() - 16);
        m_deleteButton->raise();
    }
    m_layingOut = false;
}

void TableView::showDeleteConfirmation(int row)
{
    m_confirmRow = row;
    m_deleteButton->show();
    layoutCells();
}

void TableView::hideDeleteConfirmation()
{
    m_confirmRow = -1;
    m_deleteButton->hide();
}

void TableView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    layoutCells();
}

void TableView::scrollContentsBy(int, int)
{
    layoutCells();
}

void TableView::paintEvent(QPaintEvent*)
{
    // The empty area below the last row shows the separators of rows to come.
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    const int bottom = m_rowCount * m_rowHeight - verticalScrollBar()->value();
    for (int y = bottom + m_rowHeight - 1; y < viewport()->height(); y += m_rowHeight)
        painter.fillRect(QRect(0, y, viewport()->width(), 1), QColor(217, 217, 217));
}

void TableView::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    m_pressPoint = point;
    m_pressRow = indexPathForRowAtPoint(point);
    m_pressScroll = verticalScrollBar()->value();
    m_touch = Touch::Pending;
    event->accept();
    if (m_pressRow < 0)
        return;

    if (m_editing && editControlRect(m_pressRow).contains(point) && tapEditControl(m_pressRow)) {
        m_touch = Touch::Handled;
        return;
    }
    if (m_editing && canMove(m_pressRow) && reorderControlRect(m_pressRow).contains(point)) {
        hideDeleteConfirmation();
        m_touch = Touch::Dragging;
        m_dragFrom = m_pressRow;
        m_dragCell = m_visible.value(m_pressRow);
        if (m_dragCell)
            m_dragCell->raise();
    }
}

void TableView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    const QPoint delta = point - m_pressPoint;
    event->accept();
    switch (m_touch) {
    case Touch::Pending:
        if (std::abs(delta.x()) > kSwipeThreshold && std::abs(delta.x()) > std::abs(delta.y())) {
            m_touch = Touch::Handled;
            swipeRow(m_pressRow);
        } else if (std::abs(delta.y()) > kScrollThreshold) {
            m_touch = Touch::Scrolling;
        }
        if (m_touch == Touch::Scrolling)
            verticalScrollBar()->setValue(m_pressScroll - delta.y());
        break;
    case Touch::Scrolling:
        verticalScrollBar()->setValue(m_pressScroll - delta.y());
        break;
    case Touch::Dragging:
        if (m_dragCell) {
            const QRect home = rectForRowAtIndexPath(m_dragFrom);
            m_dragCell->move(0, home.top() + delta.y());
        }
        break;
    default:
        break;
    }
}

void TableView::finishDrag(const QPoint& point)
{
    const int from = m_dragFrom;
    m_dragFrom = -1;
    TableViewCell* cell = m_dragCell;
    m_dragCell = nullptr;
    // The row the dragged row's centre is over, clamped to the table.
    const int centreY = cell ? cell->geometry().center().y() : point.y();
    int proposed = (centreY + verticalScrollBar()->value()) / m_rowHeight;
    proposed = std::clamp(proposed, 0, std::max(0, m_rowCount - 1));
    int target =
        m_delegate
            ? m_delegate->tableViewTargetIndexPathForMoveFromRowAtIndexPath(this, from, proposed)
            : proposed;
    target = std::clamp(target, 0, std::max(0, m_rowCount - 1));
    if (target != from && m_dataSource)
        m_dataSource->tableViewMoveRowAtIndexPath(this, from, target);
    // The rows show their new order; the table asks for the cells again.
    recycleAll();
    layoutCells();
}

void TableView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    event->accept();
    const Touch touch = m_touch;
    m_touch = Touch::None;
    if (touch == Touch::Dragging) {
        finishDrag(point);
        return;
    }
    if (touch != Touch::Pending)
        return;
    // A tap. While a Delete button shows, a tap elsewhere only puts it away.
    if (m_confirmRow >= 0) {
        hideDeleteConfirmation();
        return;
    }
    const int row = indexPathForRowAtPoint(point);
    if (row < 0 || row != m_pressRow)
        return;
    TableViewCell* cell = m_visible.value(row);
    if (cell && cell->accessoryRect().translated(cell->pos()).contains(point) && tapAccessory(row))
        return;
    tapRow(row);
}

TableViewCellEditingStyle TableView::editControlStyle(int row) const
{
    if (!m_editing || row < 0 || row >= m_rowCount)
        return TableViewCellEditingStyle::None;
    return editingStyle(row);
}

bool TableView::tapEditControl(int row)
{
    const TableViewCellEditingStyle style = editControlStyle(row);
    if (style == TableViewCellEditingStyle::Delete) {
        if (m_confirmRow == row)
            hideDeleteConfirmation();
        else
            showDeleteConfirmation(row);
        return true;
    }
    if (style == TableViewCellEditingStyle::Insert) {
        hideDeleteConfirmation();
        if (m_dataSource)
            m_dataSource->tableViewCommitEditingStyle(this, style, row);
        return true;
    }
    return false;
}

bool TableView::swipeRow(int row)
{
    if (m_editing || row < 0 || row >= m_rowCount ||
        editingStyle(row) != TableViewCellEditingStyle::Delete)
        return false;
    showDeleteConfirmation(row);
    return true;
}

bool TableView::tapAccessory(int row)
{
    const TableViewCell* cell = m_visible.value(row);
    if (!cell || cell->accessoryType() != TableViewCell::AccessoryType::DetailDisclosureButton ||
        m_editing || cell->accessoryRect().isEmpty())
        return false;
    if (m_delegate)
        m_delegate->tableViewAccessoryButtonTappedForRowWithIndexPath(this, row);
    return true;
}

bool TableView::tapRow(int row)
{
    if (row < 0 || row >= m_rowCount || (m_editing && !m_allowsSelectionDuringEditing))
        return false;
    selectRowAtIndexPath(row);
    if (m_delegate)
        m_delegate->tableViewDidSelectRowAtIndexPath(this, row);
    return true;
}
