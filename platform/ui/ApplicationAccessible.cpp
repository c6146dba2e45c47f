// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ApplicationAccessible.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

void ApplicationAccessible::attach()
{
    QObject* application = QCoreApplication::instance();
    if (!application)
        return;
    if (QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(application)) {
        if (dynamic_cast<ApplicationAccessible*>(existing))
            return;
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    }
    QAccessible::registerAccessibleInterface(new ApplicationAccessible);
}

QObjectList ApplicationAccessible::topLevelObjects() const
{
    QObjectList list;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (QWindow* window : windows) {
        if (window->type() == Qt::Popup || window->type() == Qt::Desktop)
            continue;
        QAccessibleInterface* root = window->accessibleRoot();
        if (!root || !root->object())
            continue;
        if (const auto* widget = qobject_cast<const QWidget*>(root->object());
            widget && widget->graphicsProxyWidget())
            continue;
        list.append(root->object());
    }
    return list;
}

int ApplicationAccessible::childCount() const
{
    return int(topLevelObjects().size());
}

QAccessibleInterface* ApplicationAccessible::child(int index) const
{
    const QObjectList list = topLevelObjects();
    if (index < 0 || index >= list.size())
        return nullptr;
    return QAccessible::queryAccessibleInterface(list[index]);
}

int ApplicationAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child)
        return -1;
    return int(topLevelObjects().indexOf(child->object()));
}
