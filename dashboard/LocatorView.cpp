// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/LocatorView.h"

#include "platform/ui/BundleImage.h"

#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>

#include <cmath>

LocatorView::LocatorView(const QRect& frame, QWidget* parent)
    : TouchView(parent)
{
    setGeometry(frame);
    m_locatorImage = BundleImage::imageNamed(QStringLiteral("Oval.png"));
    m_locatorImage2 = BundleImage::imageNamed(QStringLiteral("jog.png"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    // The keyboard reaches the wheel with Tab (Up and Down then turn it); a touch does not take
    // the focus.
    setFocusPolicy(Qt::TabFocus);
}

float LocatorView::angleAt(QPointF location, QPointF centre)
{
    // The wheel's own constant, kept so that angles and notches fall where they always have.
    constexpr double kDegreesPerRadian = 180.0 / 3.14159;
    const double dx = location.x() - centre.x();
    const double dy = centre.y() - location.y();
    return float(std::atan2(dx, dy) * kDegreesPerRadian + 180.0);
}

int LocatorView::notchIndex(float angle)
{
    return int(std::floor(angle / 3.6f));
}

void LocatorView::setLocatorImage(const QPixmap& image)
{
    m_locatorImage = image;
    update();
}

void LocatorView::setLocatorImage2(const QPixmap& image)
{
    m_locatorImage2 = image;
    update();
}

QPointF LocatorView::center() const
{
    const QRect frame = geometry();
    return {frame.x() + frame.width() / 2.0, frame.y() + frame.height() / 2.0};
}

void LocatorView::stopAnimation()
{
    if (!m_animation)
        return;
    QVariantAnimation* animation = m_animation;
    m_animation = nullptr;
    animation->disconnect(this);
    animation->stop();
    animation->deleteLater();
    if (auto didStop = std::exchange(m_didStop, {}))
        QTimer::singleShot(0, this, [didStop] { didStop(false); });
}

void LocatorView::setRotation(float radians)
{
    stopAnimation();
    m_rotation = radians;
    m_presented = radians;
    update();
}

void LocatorView::animateRotation(float radians, int durationMs, const QEasingCurve& curve,
                                  std::function<void(bool finished)> didStop)
{
    stopAnimation();
    m_rotation = radians;
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(m_presented);
    animation->setEndValue(radians);
    animation->setDuration(durationMs);
    animation->setEasingCurve(curve);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_presented = value.toFloat();
        update();
    });
    connect(animation, &QVariantAnimation::finished, this, [this, animation] {
        m_animation = nullptr;
        animation->deleteLater();
        m_presented = m_rotation;
        update();
        if (auto done = std::exchange(m_didStop, {}))
            done(true);
    });
    m_animation = animation;
    m_didStop = std::move(didStop);
    animation->start();
}

void LocatorView::startTouch()
{
    if (m_delegate)
        m_delegate->startLocatorTouch();
}

void LocatorView::endTouch()
{
    if (m_delegate)
        m_delegate->endLocatorTouch();
}

void LocatorView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF middle(width() / 2.0, height() / 2.0);
    painter.translate(middle);
    painter.rotate(double(m_presented) * 180.0 / M_PI);
    painter.translate(-middle);
    painter.drawPixmap(QPointF(0, 0), m_jog ? m_locatorImage2 : m_locatorImage);
}
