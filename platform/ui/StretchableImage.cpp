// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/StretchableImage.h"

#include <QPainter>

#include <algorithm>

StretchableImage::StretchableImage(const QPixmap& pixmap, int leftCapWidth, int topCapHeight)
    : m_pixmap(pixmap)
{
    const QSize points = size();
    // A cap that leaves no column (or row) to stretch is no cap at all.
    m_leftCap = leftCapWidth > 0 && leftCapWidth < points.width() ? leftCapWidth : 0;
    m_topCap = topCapHeight > 0 && topCapHeight < points.height() ? topCapHeight : 0;
}

QSize StretchableImage::size() const
{
    return m_pixmap.deviceIndependentSize().toSize();
}

void StretchableImage::draw(QPainter& painter, const QRectF& target) const
{
    if (m_pixmap.isNull() || target.isEmpty())
        return;
    const QSize points = size();
    const qreal ratio = m_pixmap.devicePixelRatio();
    const qreal left = m_leftCap;
    const qreal right = m_leftCap ? points.width() - m_leftCap - 1 : 0;
    const qreal top = m_topCap;
    const qreal bottom = m_topCap ? points.height() - m_topCap - 1 : 0;

    // Where the target is smaller than the caps, the caps shrink in proportion.
    const qreal sx = left + right > target.width() ? target.width() / (left + right + 1) : 1.0;
    const qreal sy = top + bottom > target.height() ? target.height() / (top + bottom + 1) : 1.0;

    // Source and target edges of the three columns and rows, in pixels and in points.
    const qreal srcX[4] = {0, left * ratio, (points.width() - right) * ratio,
                           points.width() * ratio};
    const qreal dstX[4] = {target.left(), target.left() + left * sx, target.right() - right * sx,
                           target.right()};
    const qreal srcY[4] = {0, top * ratio, (points.height() - bottom) * ratio,
                           points.height() * ratio};
    const qreal dstY[4] = {target.top(), target.top() + top * sy, target.bottom() - bottom * sy,
                           target.bottom()};

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRectF src(srcX[col], srcY[row], srcX[col + 1] - srcX[col],
                             srcY[row + 1] - srcY[row]);
            const QRectF dst(dstX[col], dstY[row], dstX[col + 1] - dstX[col],
                             dstY[row + 1] - dstY[row]);
            if (src.width() > 0 && src.height() > 0 && dst.width() > 0 && dst.height() > 0)
                painter.drawPixmap(dst, m_pixmap, src);
        }
    }
    painter.restore();
}
