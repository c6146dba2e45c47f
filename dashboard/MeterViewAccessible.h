// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

#include <QAccessibleValueInterface>

class MeterView;

// A meter as assistive technology sees it: a read-only indicator (a progress bar) of the level
// it shows, in percent: the sound level for the level meter, the share of the memo played for
// the time meter.
class MeterViewAccessible : public AccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit MeterViewAccessible(MeterView* meter);

    MeterView* meter() const;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;
};
