// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QRectF>

class QPainter;

// An image that stretches to any size while keeping its edges: the left cap and the top cap
// are kept as they are, so are the parts right of and below the single stretched column and
// row that follow them. A cap of 0 stretches the image as a whole in that direction. Caps are
// in points, like the image's size.
class StretchableImage
{
public:
    StretchableImage() = default;
    StretchableImage(const QPixmap& pixmap, int leftCapWidth = 0, int topCapHeight = 0);

    bool isNull() const { return m_pixmap.isNull(); }
    const QPixmap& pixmap() const { return m_pixmap; }
    int leftCapWidth() const { return m_leftCap; }
    int topCapHeight() const { return m_topCap; }
    // The image's own size in points.
    QSize size() const;

    // Draws the image stretched to fill target.
    void draw(QPainter& painter, const QRectF& target) const;

private:
    QPixmap m_pixmap;
    int m_leftCap = 0;
    int m_topCap = 0;
};
