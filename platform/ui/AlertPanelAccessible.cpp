// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AlertPanelAccessible.h"

#include "platform/ui/AlertPanel.h"

#include <QCoreApplication>

AlertPanelAccessible::AlertPanelAccessible(AlertPanel* panel)
    : AccessibleWidget(panel, QAccessible::Dialog)
{
}

AlertPanel* AlertPanelAccessible::panel() const
{
    return static_cast<AlertPanel*>(widget());
}

QAccessible::Role AlertPanelAccessible::role() const
{
    return panel()->kind() == AlertPanel::Kind::Alert ? QAccessible::AlertMessage
                                                      : QAccessible::Dialog;
}

QString AlertPanelAccessible::text(QAccessible::Text t) const
{
    const AlertPanel* p = panel();
    switch (t) {
    case QAccessible::Name:
        if (!p->title().isEmpty())
            return p->title();
        if (!p->message().isEmpty())
            return p->message();
        return p->kind() == AlertPanel::Kind::Alert
                   ? QCoreApplication::translate("AlertPanel", "Alert")
                   : QCoreApplication::translate("AlertPanel", "Choices");
    case QAccessible::Description:
        return p->title().isEmpty() ? QString() : p->message();
    default:
        return AccessibleWidget::text(t);
    }
}

QAccessible::State AlertPanelAccessible::state() const
{
    QAccessible::State state = AccessibleWidget::state();
    state.modal = true;
    return state;
}
