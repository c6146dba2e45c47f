// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

class AlertPanel;

// An alert's panel is an alert (AlertMessage), an action sheet's a dialog; either is named by
// its title (an alert without one by its message) and described by its message. Its buttons
// are its children.
class AlertPanelAccessible : public AccessibleWidget
{
public:
    explicit AlertPanelAccessible(AlertPanel* panel);

    AlertPanel* panel() const;

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
};
