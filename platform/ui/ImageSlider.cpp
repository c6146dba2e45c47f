// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImageSlider.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

ImageSlider::ImageSlider(QWidget* parent)
    : QWidget(parent)
{
    // The keyboard reaches it with Tab; a touch does not take the focus.
    setFocusPolicy(Qt::TabFocus);
}

void ImageSlider::setValue(float value)
{
    if (std::isnan(value))
        value = m_minimum;
    m_value = std::clamp(value, m_minimum, m_maximum);
    update();
}

void ImageSlider::setValueFromUser(float value)
{
    if (m_tracking || !isEnabled())
        return;
    m_tracking = true;
    m_valueAtTouchDown = m_value;
    emit touchDown(this);
    // A handler may have hidden or disabled the slider, which ends the touch.
    if (!m_tracking)
        return;
    const float before = m_value;
    setValue(value);
    if (m_value != before)
        emit valueChanged(this);
    if (!m_tracking)
        return;
    m_tracking = false;
    emit touchUpInside(this);
}

void ImageSlider::setMinimumValue(float minimum)
{
    if (!std::isfinite(minimum))
        return;
    m_minimum = minimum;
    m_maximum = std::max(m_maximum, minimum);
    setValue(m_value);
}

void ImageSlider::setMaximumValue(float maximum)
{
    if (!std::isfinite(maximum))
        return;
    m_maximum = maximum;
    m_minimum = std::min(m_minimum, maximum);
    setValue(m_value);
}

void ImageSlider::setThumbImage(const QPixmap& image)
{
    m_thumb = image;
    updateGeometry();
    update();
}

void ImageSlider::setMinimumTrackImage(const StretchableImage& image)
{
    m_minimumTrack = image;
    update();
}

void ImageSlider::setMaximumTrackImage(const StretchableImage& image)
{
    m_maximumTrack = image;
    update();
}

QSizeF ImageSlider::thumbSize() const
{
    if (m_thumb.isNull())
        return {23.0, 23.0};
    return m_thumb.deviceIndependentSize();
}

QRectF ImageSlider::thumbRect() const
{
    const QSizeF thumb = thumbSize();
    const qreal travel = std::max<qreal>(0.0, width() - thumb.width());
    const float span = m_maximum - m_minimum;
    const qreal fraction = span > 0.0f ? (m_value - m_minimum) / span : 0.0;
    return {fraction * travel, (height() - thumb.height()) / 2.0, thumb.width(), thumb.height()};
}

float ImageSlider::valueAt(qreal thumbLeft) const
{
    const qreal travel = width() - thumbSize().width();
    if (travel <= 0.0)
        return m_minimum;
    const qreal fraction = std::clamp(thumbLeft / travel, 0.0, 1.0);
    return m_minimum + static_cast<float>(fraction) * (m_maximum - m_minimum);
}

QSize ImageSlider::sizeHint() const
{
    const QSizeF thumb = thumbSize();
    return {118, std::max(23, static_cast<int>(std::ceil(thumb.height())))};
}

void ImageSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF thumb = thumbRect();
    const qreal split = thumb.center().x();

    auto track = [&](const StretchableImage& image, qreal left, qreal right, const QColor& plain) {
        if (right <= left)
            return;
        if (!image.isNull()) {
            const qreal h = image.size().height();
            image.draw(painter, QRectF(left, (height() - h) / 2.0, right - left, h));
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(plain);
            painter.drawRoundedRect(QRectF(left, height() / 2.0 - 2, right - left, 4), 2, 2);
        }
    };
    track(m_minimumTrack, 0, split, QColor(0x2f, 0x8c, 0xff));
    track(m_maximumTrack, split, width(), QColor(0x70, 0x70, 0x70));

    if (!m_thumb.isNull()) {
        painter.drawPixmap(thumb.topLeft(), m_thumb);
    } else {
        painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
        painter.setBrush(QColor(0xf4, 0xf4, 0xf4));
        painter.drawEllipse(thumb.adjusted(1, 1, -1, -1));
    }
}

void ImageSlider::moveThumbTo(qreal x)
{
    const float before = m_value;
    m_value = valueAt(x - m_grabOffset);
    update();
    if (m_continuous && m_value != before)
        emit valueChanged(this);
}

void ImageSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_tracking)
        return;
    const QRectF thumb = thumbRect();
    const qreal x = event->position().x();
    m_tracking = true;
    m_valueAtTouchDown = m_value;
    emit touchDown(this);
    // A handler may have hidden or disabled the slider, which ends the touch.
    if (!m_tracking)
        return;
    if (x >= thumb.left() && x <= thumb.right()) {
        m_grabOffset = x - thumb.left();
    } else {
        m_grabOffset = thumb.width() / 2.0;
        moveThumbTo(x);
    }
}

void ImageSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (m_tracking)
        moveThumbTo(event->position().x());
}

void ImageSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_tracking)
        return;
    moveThumbTo(event->position().x());
    // A valueChanged handler may have hidden or disabled the slider, which already ended it.
    if (!m_tracking)
        return;
    m_tracking = false;
    if (!m_continuous && m_value != m_valueAtTouchDown)
        emit valueChanged(this);
    if (rect().contains(event->position().toPoint()))
        emit touchUpInside(this);
    else
        emit touchUpOutside(this);
}

void ImageSlider::cancelTracking()
{
    if (!m_tracking)
        return;
    m_tracking = false;
    if (!m_continuous && m_value != m_valueAtTouchDown)
        emit valueChanged(this);
    emit touchCancel(this);
}

void ImageSlider::hideEvent(QHideEvent* event)
{
    cancelTracking();
    QWidget::hideEvent(event);
}

void ImageSlider::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        cancelTracking();
    QWidget::changeEvent(event);
}
