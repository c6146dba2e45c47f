// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/MeterViewAccessible.h"

#include "dashboard/MeterView.h"

#include <QCoreApplication>

#include <cmath>

MeterViewAccessible::MeterViewAccessible(MeterView* meter)
    : AccessibleWidget(meter, QAccessible::ProgressBar)
{
}

MeterView* MeterViewAccessible::meter() const
{
    return static_cast<MeterView*>(widget());
}

void* MeterViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return AccessibleWidget::interface_cast(type);
}

QString MeterViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return meter()->isTimeMeter() ? QCoreApplication::translate("MeterView", "Share played")
                                      : QCoreApplication::translate("MeterView", "Sound level");
    if (t == QAccessible::Value)
        return QCoreApplication::translate("MeterView", "%1 percent")
            .arg(int(std::lround(currentValue().toDouble())));
    return AccessibleWidget::text(t);
}

QVariant MeterViewAccessible::currentValue() const
{
    // Where the lit picture begins: the meter's size when empty, 0 when full.
    const double size = meter()->meterSize();
    return size > 0 ? (1.0 - meter()->litTop() / size) * 100.0 : 0.0;
}

void MeterViewAccessible::setCurrentValue(const QVariant&) {}

QVariant MeterViewAccessible::maximumValue() const
{
    return 100.0;
}

QVariant MeterViewAccessible::minimumValue() const
{
    return 0.0;
}

QVariant MeterViewAccessible::minimumStepSize() const
{
    return 0.0;
}
