// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/StretchableImage.h"

#include <QPixmap>
#include <QWidget>

// A horizontal slider over a float range, drawn from a thumb image and two stretchable track
// images: the minimum track left of the thumb's centre, the maximum track right of it.
//
// A touch anywhere on the slider grabs the thumb: on the thumb it keeps the finger's offset,
// elsewhere the thumb jumps under the finger. While the finger moves, valueChanged is sent on
// every change (or once at the end of the touch when the slider is not continuous). The touch
// ends with touchUpInside, touchUpOutside, or touchCancel when the slider is hidden or disabled
// under the finger. setValue from code clamps to the range and sends nothing.
class ImageSlider : public QWidget
{
    Q_OBJECT
public:
    explicit ImageSlider(QWidget* parent = nullptr);

    float value() const { return m_value; }
    // Clamped to the range; a value that is not a number shows the minimum.
    void setValue(float value);
    // Moves the thumb to `value` as a touch that comes down and lifts at once would (the
    // keyboard and assistive technology move the slider so): touchDown, valueChanged when the
    // value changed, then touchUpInside. Nothing happens while a touch is down.
    void setValueFromUser(float value);
    float minimumValue() const { return m_minimum; }
    float maximumValue() const { return m_maximum; }
    // A minimum above the maximum raises the maximum with it, and the other way round; the
    // value is clamped into the new range. Bounds that are not finite are ignored.
    void setMinimumValue(float minimum);
    void setMaximumValue(float maximum);

    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool continuous) { m_continuous = continuous; }
    bool isTracking() const { return m_tracking; }

    void setThumbImage(const QPixmap& image);
    QPixmap thumbImage() const { return m_thumb; }
    void setMinimumTrackImage(const StretchableImage& image);
    void setMaximumTrackImage(const StretchableImage& image);

    // Where the thumb is drawn now, in the slider's coordinates.
    QRectF thumbRect() const;

    QSize sizeHint() const override;

signals:
    void valueChanged(ImageSlider* sender);
    void touchDown(ImageSlider* sender);
    void touchUpInside(ImageSlider* sender);
    void touchUpOutside(ImageSlider* sender);
    void touchCancel(ImageSlider* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QSizeF thumbSize() const;
    float valueAt(qreal thumbLeft) const;
    void moveThumbTo(qreal x);
    void cancelTracking();

    float m_value = 0.0f;
    float m_minimum = 0.0f;
    float m_maximum = 1.0f;
    bool m_continuous = true;
    bool m_tracking = false;
    float m_valueAtTouchDown = 0.0f;
    qreal m_grabOffset = 0.0;
    QPixmap m_thumb;
    StretchableImage m_minimumTrack;
    StretchableImage m_maximumTrack;
};
