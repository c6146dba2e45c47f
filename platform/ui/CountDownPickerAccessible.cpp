// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/CountDownPickerAccessible.h"

#include "platform/ui/CountDownPicker.h"

#include <QCoreApplication>

#include <cmath>

CountDownPickerAccessible::CountDownPickerAccessible(CountDownPicker* picker)
    : AccessibleValueWidget(picker, QAccessible::SpinBox)
{
}

CountDownPicker* CountDownPickerAccessible::picker() const
{
    return static_cast<CountDownPicker*>(widget());
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
    if (t == QAccessible::Name)
        return nameOrLabel();
    if (t == QAccessible::Value || t == QAccessible::Description)
        return durationInWords(int(std::lround(p->countDownDuration() / 60.0)));
    return AccessibleWidget::text(t);
}

QVariant CountDownPickerAccessible::currentValue() const
{
    return int(std::lround(picker()->countDownDuration() / 60.0));
}

void CountDownPickerAccessible::setValueFromUser(double minutes)
{
    picker()->setCountDownDurationFromUser(std::round(minutes) * 60.0);
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
