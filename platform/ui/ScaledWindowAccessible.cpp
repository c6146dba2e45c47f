// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ScaledWindowAccessible.h"

#include "platform/ui/ApplicationViewAccessible.h"
#include "platform/ui/ScaledWindow.h"
#include "platform/ui/UiAccessibility.h"

#include <QApplication>

ScaledWindowAccessible::ScaledWindowAccessible(ScaledWindow* window)
    : QAccessibleWidget(window, QAccessible::Window)
{
}

void ScaledWindowAccessible::attach(ScaledWindow* window)
{
    UiAccessibility::install();
    ApplicationViewAccessible::attach(window->contentView());
}

ScaledWindow* ScaledWindowAccessible::scaledWindow() const
{
    return static_cast<ScaledWindow*>(widget());
}

QString ScaledWindowAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return scaledWindow()->windowTitle();
    return QAccessibleWidget::text(t);
}

int ScaledWindowAccessible::childCount() const
{
    return scaledWindow()->contentView() ? 1 : 0;
}

QAccessibleInterface* ScaledWindowAccessible::child(int index) const
{
    if (index != 0 || !scaledWindow()->contentView())
        return nullptr;
    return QAccessible::queryAccessibleInterface(scaledWindow()->contentView());
}

int ScaledWindowAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return child && child->object() == scaledWindow()->contentView() ? 0 : -1;
}

QAccessibleInterface* ScaledWindowAccessible::childAt(int x, int y) const
{
    QAccessibleInterface* view = child(0);
    return view && view->rect().contains(x, y) ? view : nullptr;
}

QAccessibleInterface* ScaledWindowAccessible::focusChild() const
{
    QWidget* focus = QApplication::focusWidget();
    QWidget* view = scaledWindow()->contentView();
    if (focus && view && (focus == view || view->isAncestorOf(focus)))
        return QAccessible::queryAccessibleInterface(focus);
    return nullptr;
}
