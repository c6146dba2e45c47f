// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

#include <QAccessibleValueInterface>

class ImageSlider;

// An ImageSlider as assistive technology sees it: a slider over the slider's range, its value
// also in words (percent of the range), with Increase and Decrease actions that move it by a
// twentieth of the range. Setting the value moves the thumb as a short drag would, so the
// slider's receivers hear the touch begin and end.
class ImageSliderAccessible : public AccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ImageSliderAccessible(ImageSlider* slider);

    ImageSlider* slider() const;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;
};
