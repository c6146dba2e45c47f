// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

class QAbstractButton;

// What assistive technology sees of the drawn buttons (ImageButton, NavigationBarButton, the
// toolbar's buttons, SwitchControl): a push button, or a check box for a switch; checkable and
// checked when the button toggles something; a Press action (Toggle for a switch) that taps it.
// The name is the button's accessible name, else its title, else its tool tip, else the label
// that names it (a switch's caption).
//
// A button whose property kHiddenProperty is true duplicates another control (a wider hit area
// around it): it is kept out of reach (invisible), though touches still find it.
class ButtonAccessible : public AccessibleWidget
{
public:
    explicit ButtonAccessible(QAbstractButton* button);

    static constexpr const char* kHiddenProperty = "sonavellAccessibleHidden";

    QAbstractButton* button() const;

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;
};
