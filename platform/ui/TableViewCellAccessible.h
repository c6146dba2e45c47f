// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

class TableView;
class TableViewCell;

// One row of a table as assistive technology sees it: a list item named by the texts the row
// shows, in reading order ("Lecture 3, 1m 05s, 12/03/2026 09:15"; "Work (4)"), selectable,
// with the actions a tap offers: Press (as tapping the row), "Show details" for a row with a
// detail disclosure button, and in edit mode "Delete" or "Insert" for its edit control.
class TableViewCellAccessible : public AccessibleWidget
{
public:
    explicit TableViewCellAccessible(TableViewCell* cell);

    TableViewCell* cell() const;
    // The table the row is shown in, and the row; null and -1 when it is not on screen.
    TableView* table() const;
    int row() const;

    static QString detailsAction();
    static QString deleteAction();
    static QString insertAction();

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QAccessibleInterface* parent() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;
};
