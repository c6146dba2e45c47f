// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

#include <QAccessibleValueInterface>

class CountDownPicker;

// A CountDownPicker as assistive technology sees it: a spin box of whole minutes (1 to 1439),
// its value in words ("1 hour 30 minutes"), named by its caption. Increase and Decrease move
// it by a minute; setting the value turns the drums as the user would.
class CountDownPickerAccessible : public AccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit CountDownPickerAccessible(CountDownPicker* picker);

    CountDownPicker* picker() const;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // "2 hours 5 minutes", "1 minute".
    static QString durationInWords(int minutes);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
};
