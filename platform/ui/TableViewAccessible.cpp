// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TableViewAccessible.h"

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

#include <QPushButton>

#include <algorithm>

TableViewAccessible::TableViewAccessible(TableView* table)
    : AccessibleWidget(table, QAccessible::List)
{
}

TableView* TableViewAccessible::table() const
{
    return static_cast<TableView*>(widget());
}

QString TableViewAccessible::text(QAccessible::Text t) const
{
    if (t != QAccessible::Name)
        return AccessibleWidget::text(t);
    if (!table()->accessibleName().isEmpty())
        return table()->accessibleName();
    for (const QWidget* up = table()->parentWidget(); up; up = up->parentWidget()) {
        if (const auto* screen = qobject_cast<const ViewController*>(up))
            return screen->title();
    }
    return {};
}

QList<QWidget*> TableViewAccessible::children() const
{
    QList<QWidget*> list;
    const TableView* t = table();
    QList<int> rows = t->indexPathsForVisibleRows();
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        QWidget* cell = t->cellForRowAtIndexPath(row);
        if (cell && !cell->isHidden())
            list << cell;
        if (row == t->deleteConfirmationRow() && !t->deleteConfirmationButton()->isHidden())
            list << t->deleteConfirmationButton();
    }
    return list;
}

int TableViewAccessible::childCount() const
{
    return int(children().size());
}

QAccessibleInterface* TableViewAccessible::child(int index) const
{
    const QList<QWidget*> list = children();
    if (index < 0 || index >= list.size())
        return nullptr;
    return QAccessible::queryAccessibleInterface(list[index]);
}

int TableViewAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child)
        return -1;
    return int(children().indexOf(qobject_cast<QWidget*>(child->object())));
}

QAccessibleInterface* TableViewAccessible::childAt(int x, int y) const
{
    for (QWidget* w : children()) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        if (iface && iface->rect().contains(x, y))
            return iface;
    }
    return nullptr;
}
