// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace sonavell::test {

// How far apart two pictures are, for comparing what a drawing gives on this machine with what it
// gave on another. Qt's rasteriser picks its blending code by CPU (SSE2, AVX2, AVX-512), and the
// routes round anti-aliased edges and gradients a level apart now and then; a real change of the
// drawing (a shape moved by a pixel, a colour changed) moves many pixels or moves some far.
//
// Channels are compared premultiplied: that is how the pixels are drawn and composed, and a
// one-level slip of a nearly transparent pixel does not swing its colour across the range the
// way it does once the alpha is divided out.
struct ImageDifference
{
    // A pixel differs when one of its channels is more than this many levels off.
    static constexpr int kRoundingLevels = 2;
    // Pictures match while at most this share of their pixels differs and no channel anywhere is
    // more than kLargestLevels off.
    static constexpr double kDifferingShare = 0.005;
    static constexpr int kLargestLevels = 8;

    bool sameSize = false;
    qint64 pixels = 0;
    qint64 differingPixels = 0;
    int largestLevels = 0;

    static ImageDifference between(const QImage& expected, const QImage& actual)
    {
        ImageDifference d;
        d.sameSize = !expected.isNull() && expected.size() == actual.size();
        if (!d.sameSize)
            return d;
        const QImage a = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage b = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        d.pixels = qint64(a.width()) * a.height();
        for (int y = 0; y < a.height(); ++y) {
            const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x) {
                const int most = std::max({std::abs(qRed(rowA[x]) - qRed(rowB[x])),
                                           std::abs(qGreen(rowA[x]) - qGreen(rowB[x])),
                                           std::abs(qBlue(rowA[x]) - qBlue(rowB[x])),
                                           std::abs(qAlpha(rowA[x]) - qAlpha(rowB[x]))});
                d.differingPixels += most > kRoundingLevels;
                d.largestLevels = std::max(d.largestLevels, most);
            }
        }
        return d;
    }

    bool withinRounding() const
    {
        return sameSize && differingPixels <= kDifferingShare * double(pixels) &&
               largestLevels <= kLargestLevels;
    }

    std::string describe() const
    {
        if (!sameSize)
            return "the sizes differ (or there is no picture)";
        return std::to_string(differingPixels) + " of " + std::to_string(pixels) +
               " pixels differ, by up to " + std::to_string(largestLevels) + " levels";
    }
};

// For EXPECT_TRUE: the actual picture is the expected one within rounding.
inline ::testing::AssertionResult sameWithinRounding(const QImage& expected, const QImage& actual)
{
    const ImageDifference d = ImageDifference::between(expected, actual);
    if (d.withinRounding())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << d.describe();
}

} // namespace sonavell::test
