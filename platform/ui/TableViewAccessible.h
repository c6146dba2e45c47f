// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

class TableView;

// A TableView as assistive technology sees it: a list whose children are the rows on screen, in
// order, with the Delete button that a row offers after it. Its name is the screen's title.
class TableViewAccessible : public AccessibleWidget
{
public:
    explicit TableViewAccessible(TableView* table);

    TableView* table() const;

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    QList<QWidget*> children() const;
};
