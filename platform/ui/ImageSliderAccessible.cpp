// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImageSliderAccessible.h"

#include "platform/ui/ImageSlider.h"

#include <cmath>

namespace {
constexpr float kStepsPerRange = 20.0f;
} // namespace

ImageSliderAccessible::ImageSliderAccessible(ImageSlider* slider)
    : AccessibleValueWidget(slider, QAccessible::Slider)
{
}

ImageSlider* ImageSliderAccessible::slider() const
{
    return static_cast<ImageSlider*>(widget());
}

QString ImageSliderAccessible::text(QAccessible::Text t) const
{
    const ImageSlider* s = slider();
    if (t == QAccessible::Name)
        return nameOrLabel();
    if (t == QAccessible::Value) {
        const float span = s->maximumValue() - s->minimumValue();
        const float percent = span > 0.0f ? (s->value() - s->minimumValue()) / span * 100.0f : 0.0f;
        return ImageSlider::tr("%1 percent").arg(int(std::lround(percent)));
    }
    if (t == QAccessible::Description) {
        const QString description = s->accessibleDescription();
        return description.isEmpty() ? text(QAccessible::Value) : description;
    }
    return AccessibleWidget::text(t);
}

QVariant ImageSliderAccessible::currentValue() const
{
    return double(slider()->value());
}

bool ImageSliderAccessible::operable() const
{
    return slider()->isEnabled() && slider()->isVisible();
}

void ImageSliderAccessible::setValueFromUser(double value)
{
    slider()->setValueFromUser(float(value));
}

QVariant ImageSliderAccessible::maximumValue() const
{
    return double(slider()->maximumValue());
}

QVariant ImageSliderAccessible::minimumValue() const
{
    return double(slider()->minimumValue());
}

QVariant ImageSliderAccessible::minimumStepSize() const
{
    return double((slider()->maximumValue() - slider()->minimumValue()) / kStepsPerRange);
}
