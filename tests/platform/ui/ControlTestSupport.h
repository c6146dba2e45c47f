// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QWidget>

namespace sonavell::test {

// A pixmap of one colour, size in points, at the given pixel density.
inline QPixmap solidPixmap(QSize points, QColor color, qreal ratio = 1.0)
{
    QPixmap pixmap(points * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(color);
    return pixmap;
}

// What the widget shows now, at one pixel per point.
inline QImage rendered(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// Drags the mouse over a widget from `from` by `by` in `steps` equal moves, then lets go.
inline void drag(QWidget* widget, QPoint from, QPoint by, int steps = 4)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    for (int step = 1; step <= steps; ++step)
        QTest::mouseMove(widget, from + by * step / steps);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, from + by);
}

} // namespace sonavell::test
