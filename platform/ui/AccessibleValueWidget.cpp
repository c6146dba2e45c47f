// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AccessibleValueWidget.h"

#include <QPointer>
#include <QWidget>

AccessibleValueWidget::AccessibleValueWidget(QWidget* widget, QAccessible::Role role)
    : AccessibleWidget(widget, role)
{
}

void* AccessibleValueWidget::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return AccessibleWidget::interface_cast(type);
}

QAccessible::State AccessibleValueWidget::state() const
{
    QAccessible::State state = controlState();
    if (!operable())
        state.disabled = true;
    return state;
}

bool AccessibleValueWidget::operable() const
{
    return widget()->isEnabled();
}

void AccessibleValueWidget::setCurrentValue(const QVariant& value)
{
    bool ok = false;
    const double wanted = value.toDouble(&ok);
    if (!ok || !operable())
        return;
    // The control's receivers may delete it.
    const QPointer<QWidget> alive(widget());
    setValueFromUser(wanted);
    if (alive) {
        QAccessibleValueChangeEvent event(alive, currentValue());
        QAccessible::updateAccessibility(&event);
    }
}

QStringList AccessibleValueWidget::actionNames() const
{
    if (!operable())
        return {};
    return {increaseAction(), decreaseAction()};
}

void AccessibleValueWidget::doAction(const QString& actionName)
{
    const double now = currentValue().toDouble();
    const double step = minimumStepSize().toDouble();
    if (actionName == increaseAction())
        setCurrentValue(now + step);
    else if (actionName == decreaseAction())
        setCurrentValue(now - step);
}

QStringList AccessibleValueWidget::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == increaseAction())
        return {QStringLiteral("Up")};
    if (actionName == decreaseAction())
        return {QStringLiteral("Down")};
    return {};
}

QString AccessibleValueWidget::nameOrLabel() const
{
    const QString name = widget()->accessibleName();
    return name.isEmpty() ? labelFor(widget()) : name;
}
