// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

#include <QAccessibleValueInterface>

// The base of the accessible interfaces of controls that hold a value (sliders, the wheel, the
// timer picker): the value interface, and Increase and Decrease actions (bound to Up and Down)
// that move the value by its step. Setting the value goes through the control as the user's own
// change would, and then tells assistive technology the new value. A control that cannot be
// operated now shows as unavailable and offers no actions.
class AccessibleValueWidget : public AccessibleWidget, public QAccessibleValueInterface
{
public:
    AccessibleValueWidget(QWidget* widget, QAccessible::Role role);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    void setCurrentValue(const QVariant& value) final;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

protected:
    // Whether the control takes a value from assistive technology now.
    virtual bool operable() const;
    // Sets the value as the user would; called only while operable.
    virtual void setValueFromUser(double value) = 0;
    // The name the control was given, else the words of the label that names it.
    QString nameOrLabel() const;
};
