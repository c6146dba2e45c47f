// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/StretchableImage.h"
#include "ControlTestSupport.h"

#include <gtest/gtest.h>

namespace {

// 20 x 10 points: columns 0-11 red (the left cap), column 12 green (the stretched column),
// columns 13-19 blue (the right cap).
QPixmap capped(qreal ratio)
{
    QPixmap pixmap(QSize(20, 10) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRectF(0, 0, 12, 10), Qt::red);
    painter.fillRect(QRectF(12, 0, 1, 10), Qt::green);
    painter.fillRect(QRectF(13, 0, 7, 10), Qt::blue);
    return pixmap;
}

QImage drawnInto(const StretchableImage& image, QSize size)
{
    QImage target(size, QImage::Format_ARGB32);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    image.draw(painter, QRectF(QPointF(0, 0), size));
    return target;
}

TEST(StretchableImageTest, KeepsTheCapsAndStretchesTheColumnBetweenThem)
{
    for (qreal ratio : {1.0, 2.0}) {
        const StretchableImage image(capped(ratio), 12, 0);
        EXPECT_EQ(image.size(), QSize(20, 10));
        const QImage out = drawnInto(image, QSize(100, 30));
        EXPECT_EQ(out.pixelColor(5, 15), QColor(Qt::red)) << ratio;
        EXPECT_EQ(out.pixelColor(11, 15), QColor(Qt::red)) << ratio;
        EXPECT_EQ(out.pixelColor(13, 15), QColor(Qt::green)) << ratio;
        EXPECT_EQ(out.pixelColor(50, 2), QColor(Qt::green)) << ratio;
        EXPECT_EQ(out.pixelColor(86, 28), QColor(Qt::green)) << ratio;
        EXPECT_EQ(out.pixelColor(94, 15), QColor(Qt::blue)) << ratio;
        EXPECT_EQ(out.pixelColor(99, 15), QColor(Qt::blue)) << ratio;
    }
}

TEST(StretchableImageTest, CapsBeyondTheImageOrTargetDoNotBreakTheDrawing)
{
    // A cap as wide as the image leaves nothing to stretch: it counts as no cap.
    EXPECT_EQ(StretchableImage(capped(1), 20, 10).leftCapWidth(), 0);
    EXPECT_EQ(StretchableImage(capped(1), -3, 0).leftCapWidth(), 0);

    // Narrower than its caps: both ends still show, squeezed.
    const QImage narrow = drawnInto(StretchableImage(capped(1), 12, 0), QSize(10, 10));
    EXPECT_EQ(narrow.pixelColor(1, 5), QColor(Qt::red));
    EXPECT_EQ(narrow.pixelColor(9, 5), QColor(Qt::blue));

    // A null image draws nothing.
    const QImage nothing = drawnInto(StretchableImage(), QSize(10, 10));
    EXPECT_EQ(nothing.pixelColor(5, 5).alpha(), 0);
}

} // namespace
