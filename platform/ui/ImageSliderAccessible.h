// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleValueWidget.h"

class ImageSlider;

// An ImageSlider as assistive technology sees it: a slider over the slider's range, its value
// also in words (percent of the range), with Increase and Decrease actions that move it by a
// twentieth of the range. Setting the value moves the thumb as a short drag would, so the
// slider's receivers hear the touch begin and end.
class ImageSliderAccessible : public AccessibleValueWidget
{
public:
    explicit ImageSliderAccessible(ImageSlider* slider);

    ImageSlider* slider() const;

    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

protected:
    bool operable() const override;
    void setValueFromUser(double value) override;
};
