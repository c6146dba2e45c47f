// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ApplicationViewAccessible.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>

ApplicationViewAccessible::ApplicationViewAccessible(QWidget* view)
    : AccessibleWidget(view, QAccessible::Pane)
{
}

void ApplicationViewAccessible::attach(QWidget* view)
{
    // An interface made for the view before (by Qt's own factory) goes; the view's own takes
    // its place in Qt's cache, where every later question about the view finds it.
    if (QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(view)) {
        if (dynamic_cast<ApplicationViewAccessible*>(existing))
            return;
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    }
    QAccessible::registerAccessibleInterface(new ApplicationViewAccessible(view));
}

QAccessibleInterface* ApplicationViewAccessible::parent() const
{
    if (const QGraphicsProxyWidget* proxy = widget()->graphicsProxyWidget()) {
        if (const QGraphicsScene* scene = proxy->scene(); scene && !scene->views().isEmpty())
            return QAccessible::queryAccessibleInterface(scene->views().first());
    }
    return AccessibleWidget::parent();
}
