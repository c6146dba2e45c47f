// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/CountDownPickerAccessible.h"

#include "platform/ui/CountDownPicker.h"

#include <QCoreApplication>
#include <QPointer>

#include <cmath>

CountDownPickerAccessible::CountDownPickerAccessible(CountDownPicker* picker)
    : AccessibleWidget(picker, QAccessible::SpinBox)
{
}

CountDownPicker* CountDownPickerAccessible::picker() const
{
    return static_cast<CountDownPicker*>(widget());
}

void* CountDownPickerAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return AccessibleWidget::interface_cast(type);
}

QString CountDownPickerAccessible::durationInWords(int minutes)
{
    const int hours = minutes / 60;
    const int rest = minutes % 60;
    const QString h = numerus(
        QCoreApplication::translate("CountDownPicker", "%n hour(s)", nullptr, hours), hours);
    const QString m = numerus(
        QCoreApplication::translate("CountDownPicker", "%n minute(s)", nullptr, rest), rest);
    if (hours == 0)
        return m;
    if (rest == 0)
        return h;
    return QCoreApplication::translate("CountDownPicker", "%1 %2").arg(h, m);
}

QString CountDownPickerAccessible::text(QAccessible::Text t) const
{
    const CountDownPicker* p = picker();
    if (t == QAccessible::Name) {
        const QString name = p->accessibleName();
        return name.isEmpty() ? labelFor(p) : name;
    }
    if (t == QAccessible::Value || t == QAccessible::Description)
        return durationInWords(int(std::lround(p->countDownDuration() / 60.0)));
    return AccessibleWidget::text(t);
}

QAccessible::State CountDownPickerAccessible::state() const
{
    return controlState();
}

QVariant CountDownPickerAccessible::currentValue() const
{
    return int(std::lround(picker()->countDownDuration() / 60.0));
}

void CountDownPickerAccessible::setCurrentValue(const QVariant& value)
{
    bool ok = false;
    const double minutes = value.toDouble(&ok);
    CountDownPicker* p = picker();
    if (!ok || !p->isEnabled())
        return;
    const QPointer<CountDownPicker> alive(p);
    p->setCountDownDurationFromUser(std::round(minutes) * 60.0);
    if (alive) {
        QAccessibleValueChangeEvent event(p, currentValue());
        QAccessible::updateAccessibility(&event);
    }
}

QVariant CountDownPickerAccessible::maximumValue() const
{
    return int(CountDownPicker::kMaximumDuration / 60.0);
}

QVariant CountDownPickerAccessible::minimumValue() const
{
    return int(CountDownPicker::kMinimumDuration / 60.0);
}

QVariant CountDownPickerAccessible::minimumStepSize() const
{
    return 1;
}

QStringList CountDownPickerAccessible::actionNames() const
{
    if (!picker()->isEnabled())
        return {};
    return {increaseAction(), decreaseAction()};
}

void CountDownPickerAccessible::doAction(const QString& actionName)
{
    const int minutes = currentValue().toInt();
    if (actionName == increaseAction())
        setCurrentValue(minutes + 1);
    else if (actionName == decreaseAction())
        setCurrentValue(minutes - 1);
}
