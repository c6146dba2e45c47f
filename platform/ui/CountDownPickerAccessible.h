// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleValueWidget.h"

class CountDownPicker;

// A CountDownPicker as assistive technology sees it: a spin box of whole minutes (1 to 1439),
// its value in words ("1 hour 30 minutes"), named by its caption. Increase and Decrease move
// it by a minute; setting the value turns the drums as the user would.
class CountDownPickerAccessible : public AccessibleValueWidget
{
public:
    explicit CountDownPickerAccessible(CountDownPicker* picker);

    CountDownPicker* picker() const;

    // "2 hours 5 minutes", "1 minute".
    static QString durationInWords(int minutes);

    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

protected:
    void setValueFromUser(double minutes) override;
};
