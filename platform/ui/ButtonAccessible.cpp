// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ButtonAccessible.h"

#include "platform/ui/SwitchControl.h"

#include <QAbstractButton>
#include <QCoreApplication>

ButtonAccessible::ButtonAccessible(QAbstractButton* button)
    : AccessibleWidget(button, QAccessible::Button)
{
}

QAbstractButton* ButtonAccessible::button() const
{
    return static_cast<QAbstractButton*>(widget());
}

QAccessible::Role ButtonAccessible::role() const
{
    return qobject_cast<const SwitchControl*>(button()) ? QAccessible::CheckBox
                                                        : QAccessible::Button;
}

QString ButtonAccessible::text(QAccessible::Text t) const
{
    const QAbstractButton* b = button();
    switch (t) {
    case QAccessible::Name: {
        QString name = b->accessibleName();
        if (name.isEmpty())
            name = b->text();
        if (name.isEmpty())
            name = b->toolTip();
        if (name.isEmpty())
            name = labelFor(b);
        return name;
    }
    case QAccessible::Description:
        // A toggle says whether it is on: AT-SPI carries a button's "checked", not that it
        // can be checked.
        if (b->accessibleDescription().isEmpty() && b->isCheckable() &&
            !qobject_cast<const SwitchControl*>(b))
            return b->isChecked() ? QCoreApplication::translate("ButtonAccessible", "on")
                                  : QCoreApplication::translate("ButtonAccessible", "off");
        return b->accessibleDescription();
    case QAccessible::Value:
        if (b->isCheckable())
            return b->isChecked() ? SwitchControl::tr("ON") : SwitchControl::tr("OFF");
        return {};
    default:
        return AccessibleWidget::text(t);
    }
}

QAccessible::State ButtonAccessible::state() const
{
    QAccessible::State state = controlState();
    const QAbstractButton* b = button();
    if (b->isDown())
        state.pressed = true;
    if (b->isCheckable()) {
        state.checkable = true;
        state.checked = b->isChecked();
    }
    if (b->property(kHiddenProperty).toBool()) {
        state.invisible = true;
        state.focusable = false;
    }
    return state;
}

QStringList ButtonAccessible::actionNames() const
{
    if (!button()->isEnabled())
        return {};
    if (qobject_cast<const SwitchControl*>(button()))
        return {toggleAction(), pressAction()};
    return {pressAction()};
}

void ButtonAccessible::doAction(const QString& actionName)
{
    QAbstractButton* b = button();
    if (!b->isEnabled() || !b->isVisible())
        return;
    if (actionName == pressAction() || actionName == toggleAction())
        b->click();
}

QStringList ButtonAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == pressAction() || actionName == toggleAction())
        return {QStringLiteral("space")};
    return {};
}
