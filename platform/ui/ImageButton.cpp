// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImageButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

ImageButton::ImageButton(QWidget* parent)
    : QAbstractButton(parent)
{
    // The keyboard reaches it with Tab; a touch does not take the focus.
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::pressed, this, [this] { emit touchDown(this); });
    connect(this, &QAbstractButton::clicked, this, [this] { emit touchUpInside(this); });
}

void ImageButton::setBackgroundImage(const StretchableImage& image, State state)
{
    m_backgrounds[static_cast<size_t>(state)] = image;
    updateGeometry();
    update();
}

StretchableImage ImageButton::backgroundImage(State state) const
{
    const StretchableImage& own = m_backgrounds[static_cast<size_t>(state)];
    return own.isNull() ? m_backgrounds[static_cast<size_t>(State::Normal)] : own;
}

ImageButton::State ImageButton::currentState() const
{
    if (!isEnabled())
        return State::Disabled;
    if (isDown())
        return State::Highlighted;
    if (m_selected)
        return State::Selected;
    return State::Normal;
}

void ImageButton::setSelected(bool selected)
{
    m_selected = selected;
    update();
}

void ImageButton::setShowsTouchWhenHighlighted(bool shows)
{
    m_showsTouch = shows;
    update();
}

void ImageButton::setTitleColor(const QColor& color)
{
    m_titleColor = color;
    update();
}

QSize ImageButton::sizeHint() const
{
    const QSize image = m_backgrounds[static_cast<size_t>(State::Normal)].size();
    return image.isEmpty() ? QSize(44, 44) : image;
}

void ImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const State state = currentState();
    backgroundImage(state).draw(painter, rect());

    if (!text().isEmpty()) {
        painter.setPen(m_titleColor);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

    if (state == State::Highlighted && m_showsTouch) {
        // A white glow the size of a fingertip, centred on the button.
        const QPointF centre = QRectF(rect()).center();
        const qreal radius = 20.0;
        QRadialGradient glow(centre, radius);
        glow.setColorAt(0.0, QColor(255, 255, 255, 230));
        glow.setColorAt(0.4, QColor(255, 255, 255, 120));
        glow.setColorAt(1.0, QColor(255, 255, 255, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius, radius);
    }
}

void ImageButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_tracking = true;
    QAbstractButton::mousePressEvent(event);
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool endsOutside =
        event->button() == Qt::LeftButton && m_tracking && !hitButton(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_tracking = false;
    QAbstractButton::mouseReleaseEvent(event);
    if (endsOutside)
        emit touchUpOutside(this);
}

void ImageButton::changeEvent(QEvent* event)
{
    // A touch that is taken away (the button disabled under the finger) ends nowhere.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        m_tracking = false;
    QAbstractButton::changeEvent(event);
}
