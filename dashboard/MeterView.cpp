// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/MeterView.h"

#include "platform/ui/BundleImage.h"
#include "platform/ui/ScaledWindow.h"

#include <QImage>
#include <QPainter>
#include <QRegion>

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
    // just that keeps the sweep and the metering ticks cheap in a large window. An edge that
    // stays on the same row of device pixels draws the same picture, so nothing is redrawn.
    // Within the band only the columns where the lit picture shows anything change (the sides
    // of the level meter's ring), so the read-outs and the wheel inside the ring are not drawn
    // again with it.
    if (newTop != oldTop && !sameDeviceRow(oldTop, newTop)) {
        const int top = int(std::floor(std::min(oldTop, newTop))) - 1;
        const int bottom = int(std::ceil(std::max(oldTop, newTop))) + 1;
        const QRegion band = bandRegion(top, bottom);
        if (!band.isEmpty())
            ScaledWindow::updateParts(this, band);
    }
    if (level < 0.0f && m_meterTimer)
        stopDemoTimer();
}

bool MeterView::sameDeviceRow(qreal oldTop, qreal newTop) const
{
    // The lit picture's clip is a rectangle, which the raster engine rounds to whole device
    // pixels; the painter of the last paint tells where a point lands on the device. An edge
    // close to halfway between two rows is redrawn whatever the rounding would be.
    if (!m_paintedOnce || m_deviceTransform.type() > QTransform::TxScale)
        return false;
    const auto deviceRow = [this](qreal top, bool* nearHalf) {
        const qreal y = m_deviceTransform.map(QPointF(0.0, top)).y();
        const qreal fraction = y - std::floor(y);
        *nearHalf = std::abs(fraction - 0.5) < 1e-3;
        return std::lround(y);
    };
    bool oldNearHalf = false;
    bool newNearHalf = false;
    const long oldRow = deviceRow(oldTop, &oldNearHalf);
    const long newRow = deviceRow(newTop, &newNearHalf);
    return !oldNearHalf && !newNearHalf && oldRow == newRow;
}

const std::vector<MeterView::RowSpans>& MeterView::litSpans()
{
    if (m_litSpansKnown)
        return m_litSpans;
    m_litSpansKnown = true;
    const QImage image = m_lit.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return m_litSpans;
    // The picture is drawn over the square of the meter's size: this many pixels per point.
    const int size = m_meterSize;
    const double perPointX = double(image.width()) / size;
    const double perPointY = double(image.height()) / size;
    const int middle = size / 2;
    std::vector<RowSpans> raw(static_cast<size_t>(size));
    for (int y = 0; y < image.height(); ++y) {
        RowSpans& row = raw[size_t(std::min(size - 1, int(y / perPointY)))];
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            const int column = std::min(size - 1, int(x / perPointX));
            row.add(column < middle, column);
        }
    }
    // A scaled picture is smoothed over its neighbouring pixels, and the update is rounded out
    // to whole device pixels: a row takes in the rows beside it and two points each side.
    constexpr int kMargin = 2;
    m_litSpans.assign(size_t(size), RowSpans());
    for (int y = 0; y < size; ++y) {
        RowSpans& row = m_litSpans[size_t(y)];
        for (int near = std::max(0, y - 1); near <= std::min(size - 1, y + 1); ++near) {
            const RowSpans& other = raw[size_t(near)];
            if (other.leftBegin >= 0) {
                row.add(true, std::max(0, other.leftBegin - kMargin));
                row.add(true, other.leftEnd + kMargin);
            }
            if (other.rightBegin >= 0) {
                row.add(false, other.rightBegin - kMargin);
                row.add(false, std::min(size - 1, other.rightEnd + kMargin));
            }
        }
    }
    return m_litSpans;
}

QRegion MeterView::bandRegion(int top, int bottom)
{
    const std::vector<RowSpans>& spans = litSpans();
    if (spans.empty())
        return QRect(0, top, width(), bottom - top + 1);
    RowSpans band;
    for (int y = std::max(0, top); y <= std::min(m_meterSize - 1, bottom); ++y) {
        const RowSpans& row = spans[size_t(y)];
        if (row.leftBegin >= 0) {
            band.add(true, row.leftBegin);
            band.add(true, row.leftEnd);
        }
        if (row.rightBegin >= 0) {
            band.add(false, row.rightBegin);
            band.add(false, row.rightEnd);
        }
    }
    const int height = bottom - top + 1;
    if (band.leftBegin >= 0 && band.rightBegin >= 0 && band.leftEnd + 1 >= band.rightBegin)
        return QRect(band.leftBegin, top, band.rightEnd - band.leftBegin + 1, height);
    QRegion region;
    if (band.leftBegin >= 0)
        region += QRect(band.leftBegin, top, band.leftEnd - band.leftBegin + 1, height);
    if (band.rightBegin >= 0)
        region += QRect(band.rightBegin, top, band.rightEnd - band.rightBegin + 1, height);
    return region;
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
}

void MeterView::stopDemoTimer()
{
    if (m_meterTimer) {
        // Called from the timer's own tick: let it finish before it goes.
        m_meterTimer->stop();
        m_meterTimer->deleteLater();
        m_meterTimer = nullptr;
    }
    // Nothing drawn depends on the sweep: its last step drew its last band, so the meter is not
    // drawn again whole (which in a large window kept the program busy after start-up).
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
    m_deviceTransform = painter.deviceTransform();
    m_paintedOnce = true;
    const QRect square(0, 0, m_meterSize, m_meterSize);
    painter.drawPixmap(square, m_unlit);
    const qreal top = litTop();
    if (top < m_meterSize) {
        // Row y of the view shows row y of the lit picture, so the two pictures line up.
        painter.setClipRect(QRectF(0, top, m_meterSize, m_meterSize - top));
        painter.drawPixmap(square, m_lit);
    }
}
