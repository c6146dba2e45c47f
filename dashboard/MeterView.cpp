#include "dashboard/MeterView.h"

#include "platform/ui/BundleImage.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

MeterView::MeterView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    setupMeterView(frame.height() != kLevelMeterSize);
}

void MeterView::setupMeterView(bool timeLook)
{
    if (timeLook) {
        m_lit = BundleImage::imageNamed("displaycircle_filled.png");
        m_unlit = BundleImage::imageNamed("displaycircle.png");
        m_meterSize = kTimeMeterSize;
    } else {
        m_lit = BundleImage::imageNamed("meters_lit.png");
        m_unlit = BundleImage::imageNamed("meter_unlit.png");
        m_meterSize = kLevelMeterSize;
    }
    setAutoFillBackground(false);
    m_currentLevel = 0.001f;
    m_increment = 0.08f;
    if (!timeLook)
        startDemoTimer();
}

void MeterView::updateMeters(float level)
{
    // Nothing sensible can be shown for a level that is not a number (a position divided by
    // the length of a recording that has none); it shows empty, and the sweep, which would
    // otherwise step from it forever, carries on from 0.
    if (!std::isfinite(level))
        level = 0.0f;
    m_currentLevel = level;
    const qreal oldTop = litTop();
    m_shownFraction = std::clamp(level, 0.0f, 1.0f);
    const qreal newTop = litTop();
    // Only the band between the old and the new edge of the lit picture changes; redrawing
    // just that keeps the sweep and the metering ticks cheap in a large window.
    if (newTop != oldTop) {
        const int top = int(std::floor(std::min(oldTop, newTop))) - 1;
        const int bottom = int(std::ceil(std::max(oldTop, newTop))) + 1;
        update(QRect(0, top, width(), bottom - top + 1));
    }
    if (level < 0.0f && m_meterTimer)
        stopDemoTimer();
}

void MeterView::startDemoTimer()
{
    if (m_meterTimer) {
        m_meterTimer->stop();
        m_meterTimer->deleteLater();
    }
    m_meterTimer = new QTimer(this);
    m_meterTimer->setInterval(kSweepIntervalMs);
    connect(m_meterTimer, &QTimer::timeout, this, &MeterView::demoTimer);
    m_meterTimer->start();
    update();
}

void MeterView::stopDemoTimer()
{
    if (m_meterTimer) {
        // Called from the timer's own tick: let it finish before it goes.
        m_meterTimer->stop();
        m_meterTimer->deleteLater();
        m_meterTimer = nullptr;
    }
    update();
}

void MeterView::demoTimer()
{
    if (m_currentLevel > 1.0f)
        m_increment = -m_increment;
    if (m_currentLevel < 0.0f)
        m_increment = -m_increment;
    m_currentLevel += m_increment;
    updateMeters(m_currentLevel);
}

qreal MeterView::litTop() const
{
    return (1.0 - m_shownFraction) * m_meterSize;
}

void MeterView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect square(0, 0, m_meterSize, m_meterSize);
    painter.drawPixmap(square, m_unlit);
    const qreal top = litTop();
    if (top < m_meterSize) {
        // Row y of the view shows row y of the lit picture, so the two pictures line up.
        painter.setClipRect(QRectF(0, top, m_meterSize, m_meterSize - top));
        painter.drawPixmap(square, m_lit);
    }
}
