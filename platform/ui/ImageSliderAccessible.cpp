// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImageSliderAccessible.h"

#include "platform/ui/ImageSlider.h"

#include <QPointer>

#include <cmath>

namespace {
constexpr float kStepsPerRange = 20.0f;
} // namespace

ImageSliderAccessible::ImageSliderAccessible(ImageSlider* slider)
    : AccessibleWidget(slider, QAccessible::Slider)
{
}

ImageSlider* ImageSliderAccessible::slider() const
{
    return static_cast<ImageSlider*>(widget());
}

void* ImageSliderAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return AccessibleWidget::interface_cast(type);
}

QString ImageSliderAccessible::text(QAccessible::Text t) const
{
    const ImageSlider* s = slider();
    if (t == QAccessible::Name) {
        const QString name = s->accessibleName();
        return name.isEmpty() ? labelFor(s) : name;
    }
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

QAccessible::State ImageSliderAccessible::state() const
{
    return controlState();
}

QVariant ImageSliderAccessible::currentValue() const
{
    return double(slider()->value());
}

void ImageSliderAccessible::setCurrentValue(const QVariant& value)
{
    bool ok = false;
    const double wanted = value.toDouble(&ok);
    ImageSlider* s = slider();
    if (!ok || !s->isEnabled() || !s->isVisible())
        return;
    const QPointer<ImageSlider> alive(s);
    s->setValueFromUser(float(wanted));
    if (alive) {
        QAccessibleValueChangeEvent event(s, double(s->value()));
        QAccessible::updateAccessibility(&event);
    }
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

QStringList ImageSliderAccessible::actionNames() const
{
    if (!slider()->isEnabled())
        return {};
    return {increaseAction(), decreaseAction()};
}

void ImageSliderAccessible::doAction(const QString& actionName)
{
    const double step = minimumStepSize().toDouble();
    if (actionName == increaseAction())
        setCurrentValue(double(slider()->value()) + step);
    else if (actionName == decreaseAction())
        setCurrentValue(double(slider()->value()) - step);
}

QStringList ImageSliderAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == increaseAction())
        return {QStringLiteral("Up")};
    if (actionName == decreaseAction())
        return {QStringLiteral("Down")};
    return {};
}
