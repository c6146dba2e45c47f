// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TableViewCellAccessible.h"

#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"

#include <QCoreApplication>
#include <QLabel>

#include <algorithm>

TableViewCellAccessible::TableViewCellAccessible(TableViewCell* cell)
    : AccessibleWidget(cell, QAccessible::ListItem)
{
}

TableViewCell* TableViewCellAccessible::cell() const
{
    return static_cast<TableViewCell*>(widget());
}

TableView* TableViewCellAccessible::table() const
{
    const QWidget* viewport = cell()->parentWidget();
    return viewport ? qobject_cast<TableView*>(viewport->parentWidget()) : nullptr;
}

int TableViewCellAccessible::row() const
{
    const TableView* t = table();
    return t ? t->indexPathForCell(cell()) : -1;
}

QString TableViewCellAccessible::detailsAction()
{
    return QCoreApplication::translate("TableViewCell", "Show details");
}

QString TableViewCellAccessible::deleteAction()
{
    return QCoreApplication::translate("TableViewCell", "Delete");
}

QString TableViewCellAccessible::insertAction()
{
    return QCoreApplication::translate("TableViewCell", "Insert");
}

QAccessible::Role TableViewCellAccessible::role() const
{
    return QAccessible::ListItem;
}

QString TableViewCellAccessible::text(QAccessible::Text t) const
{
    if (t != QAccessible::Name)
        return AccessibleWidget::text(t);
    const TableViewCell* c = cell();
    if (!c->accessibleName().isEmpty())
        return c->accessibleName();
    // What the row shows, top to bottom and left to right.
    QList<const QLabel*> labels;
    for (const QLabel* label : c->findChildren<QLabel*>()) {
        if (label->isVisibleTo(c) && !label->text().trimmed().isEmpty())
            labels << label;
    }
    const auto at = [c](const QLabel* label) { return label->mapTo(c, QPoint(0, 0)); };
    std::stable_sort(labels.begin(), labels.end(), [&](const QLabel* a, const QLabel* b) {
        const QPoint pa = at(a);
        const QPoint pb = at(b);
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    QStringList texts;
    for (const QLabel* label : labels)
        texts << label->text().trimmed();
    return texts.join(QStringLiteral(", "));
}

QAccessible::State TableViewCellAccessible::state() const
{
    QAccessible::State state = controlState();
    state.selectable = true;
    state.selected = cell()->isSelected();
    return state;
}

QAccessibleInterface* TableViewCellAccessible::parent() const
{
    if (TableView* t = table())
        return QAccessible::queryAccessibleInterface(t);
    return AccessibleWidget::parent();
}

QStringList TableViewCellAccessible::actionNames() const
{
    const TableView* t = table();
    const int r = row();
    if (!t || r < 0)
        return {};
    QStringList names;
    const TableViewCellEditingStyle edit = t->editControlStyle(r);
    // The row that adds one is worked by its insert control; tapping it does nothing more.
    if (edit == TableViewCellEditingStyle::Insert)
        return {insertAction()};
    if (!t->isEditing() || t->allowsSelectionDuringEditing())
        names << pressAction();
    if (!t->isEditing() &&
        cell()->accessoryType() == TableViewCell::AccessoryType::DetailDisclosureButton)
        names << detailsAction();
    if (edit == TableViewCellEditingStyle::Delete || (!t->isEditing() && t->canSwipeToDelete(r)))
        names << deleteAction();
    return names;
}

void TableViewCellAccessible::doAction(const QString& actionName)
{
    TableView* t = table();
    const int r = row();
    if (!t || r < 0 || !t->isEnabled())
        return;
    if (actionName == pressAction())
        t->tapRow(r);
    else if (actionName == detailsAction())
        t->tapAccessory(r);
    else if (actionName == insertAction())
        t->tapEditControl(r);
    else if (actionName == deleteAction())
        t->isEditing() ? t->tapEditControl(r) : t->swipeRow(r);
}

QStringList TableViewCellAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == pressAction())
        return {QStringLiteral("space")};
    return {};
}
