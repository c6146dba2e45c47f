// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/artwork/Artwork.h"
#include "support/ImageDifference.h"
#include "support/TestEnvironment.h"
#include "tools/artwork/AppIcon.h"
#include "tools/artwork/CountInSound.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using sonavell::test::ImageDifference;
using sonavell::test::sameWithinRounding;
using sonavell::test::ScratchDir;
using sonavell::test::sourceDir;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString committed(const QString& relative)
{
    return sourceDir() + QStringLiteral("/resources/") + relative;
}

// The committed files are what the generator draws now: regenerate and compare. PNG bytes
// depend on the image library's compressor and the pixels on the CPU's blending code, so where
// bytes differ the decoded pixels decide, within rounding.
TEST(ArtworkTest, CommittedImagesAreWhatTheGeneratorDraws)
{
    ScratchDir dir;
    QString error;
    const QStringList written = sonavell::artwork::writeImages(dir.path(), &error);
    ASSERT_FALSE(written.isEmpty()) << error.toStdString();

    QStringList present = QDir(committed("images")).entryList({"*.png"}, QDir::Files);
    QStringList expected = written;
    present.sort();
    expected.sort();
    EXPECT_EQ(present, expected) << "run scripts/make-artwork and commit resources/images";

    for (const QString& name : written) {
        const QByteArray fresh = readAll(dir.file(name));
        const QByteArray stored = readAll(committed("images/" + name));
        if (fresh == stored)
            continue;
        EXPECT_TRUE(sameWithinRounding(QImage::fromData(stored), QImage::fromData(fresh)))
            << name.toStdString() << ": run scripts/make-artwork and commit resources/images";
    }
}

// The picture with the slips a blending route of another CPU may make: every channel of every
// pixel up to two levels off, and one pixel in 250 up to eight.
QImage withRoundingSlips(const QImage& picture)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    qint64 index = 0;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x, ++index) {
            const QRgb p = row[x];
            if (index % 250 == 249) {
                // Premultiplied channels stay within the alpha.
                const int a = qAlpha(p) >= 8 ? qAlpha(p) - 8 : qAlpha(p) + 8;
                row[x] =
                    qRgba(std::min(qRed(p), a), std::min(qGreen(p), a), std::min(qBlue(p), a), a);
                continue;
            }
            auto slip = [&](int value, int channel, int most) {
                return std::clamp(value + (x * 7 + y * 13 + channel * 5) % 5 - 2, 0, most);
            };
            const int a = slip(qAlpha(p), 3, 255);
            row[x] = qRgba(slip(qRed(p), 0, a), slip(qGreen(p), 1, a), slip(qBlue(p), 2, a), a);
        }
    }
    return out;
}

// The picture with its green ten levels off wherever something is drawn.
QImage tinted(const QImage& picture)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = row[x];
            const int green = qGreen(p) <= 245 ? qGreen(p) + 10 : qGreen(p) - 10;
            row[x] = qAlpha(p) == 0 ? p : qRgba(qRed(p), green, qBlue(p), qAlpha(p));
        }
    }
    return out;
}

// The tolerance of the comparisons above lets through what rounding does and nothing more: every
// picture moved by one pixel, or with a colour ten levels off, is seen to differ.
TEST(ArtworkTest, PicturesWithinRoundingStillDifferWhenTheDrawingChanges)
{
    for (const auto& recipe : sonavell::artwork::imageRecipes()) {
        for (int scale : {1, 2}) {
            SCOPED_TRACE(recipe.name.toStdString() + " at " + std::to_string(scale) + "x");
            const QImage drawn = sonavell::artwork::render(recipe, scale);
            EXPECT_TRUE(sameWithinRounding(drawn, withRoundingSlips(drawn)));
            // QImage::copy fills what lies outside the picture with transparent pixels.
            const QImage moved = drawn.copy(-1, 0, drawn.width(), drawn.height());
            EXPECT_FALSE(sameWithinRounding(drawn, moved));
            EXPECT_FALSE(sameWithinRounding(drawn, tinted(drawn)));
        }
    }
    // The edges of the tolerance.
    QImage grey(100, 100, QImage::Format_ARGB32_Premultiplied);
    grey.fill(qRgba(100, 100, 100, 255));
    auto withOff = [&](int count, int levels) {
        QImage changed = grey;
        for (int i = 0; i < count; ++i)
            changed.setPixel(i % 100, i / 100, qRgba(100 + levels, 100, 100, 255));
        return ImageDifference::between(grey, changed);
    };
    EXPECT_TRUE(withOff(50, 3).withinRounding()) << "0.5 % of the pixels";
    EXPECT_FALSE(withOff(51, 3).withinRounding());
    EXPECT_TRUE(withOff(10000, 2).withinRounding());
    EXPECT_TRUE(withOff(1, 8).withinRounding());
    EXPECT_FALSE(withOff(1, 9).withinRounding());
    EXPECT_FALSE(ImageDifference::between(grey, grey.scaled(100, 99)).withinRounding());
}

TEST(ArtworkTest, DoubleDensityImagesAreTwiceTheSizeOfTheirPoints)
{
    for (const auto& recipe : sonavell::artwork::imageRecipes()) {
        const QImage single = sonavell::artwork::render(recipe, 1);
        const QImage twice = sonavell::artwork::render(recipe, 2);
        EXPECT_EQ(single.size(), recipe.size) << recipe.name.toStdString();
        EXPECT_EQ(twice.size(), recipe.size * 2) << recipe.name.toStdString();
        // Something is drawn, and the double image is the same picture.
        const QImage shrunk =
            twice.scaled(recipe.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int opaque = 0;
        long difference = 0;
        for (int y = 0; y < recipe.size.height(); ++y) {
            for (int x = 0; x < recipe.size.width(); ++x) {
                opaque += qAlpha(single.pixel(x, y)) > 0;
                difference += std::abs(qAlpha(single.pixel(x, y)) - qAlpha(shrunk.pixel(x, y)));
            }
        }
        const long pixels = recipe.size.width() * recipe.size.height();
        EXPECT_GT(opaque, pixels / 20) << recipe.name.toStdString();
        EXPECT_LT(difference / pixels, 24) << recipe.name.toStdString();
    }
}

TEST(ArtworkTest, PairedPicturesShareTheirSize)
{
    std::map<QString, QSize> sizes;
    for (const auto& recipe : sonavell::artwork::imageRecipes())
        sizes[recipe.name] = recipe.size;
    // Swapped in place of each other on one button or one view.
    const std::vector<std::vector<QString>> groups = {
        {"record.png", "record_pressed.png", "stop.png", "stop_pressed.png", "append.png",
         "append_pressed.png", "play_up.png", "play_pressed.png", "pause_up.png",
         "pause_pressed.png"},
        {"jogtoggle.png", "shuttletoggle.png", "locator_toggle.png", "volume_toggle.png"},
        {"meters_lit.png", "meter_unlit.png"},
        {"displaycircle.png", "displaycircle_filled.png"},
        {"Oval.png", "jog.png", "Shadow.png"},
        {"LQ.png", "MQ.png", "HQ.png", "1-2x.png", "1x.png", "2x.png"},
        {"slider_blue.png", "slider_gray.png"},
        {"slider_thumb.png", "slider_lvthumb.png"}};
    for (const auto& group : groups)
        for (const QString& name : group)
            EXPECT_EQ(sizes.at(name), sizes.at(group.front())) << name.toStdString();
    // The views these fill.
    EXPECT_EQ(sizes.at("dbbackground.png"), QSize(320, 367));
    EXPECT_EQ(sizes.at("meters_lit.png"), QSize(293, 293));
    EXPECT_EQ(sizes.at("displaycircle.png"), QSize(173, 173));
    EXPECT_EQ(sizes.at("Oval.png"), QSize(228, 228));
    EXPECT_LE(sizes.at("slider_thumb.png").height(), 20);
    EXPECT_GT(sizes.at("slider_blue.png").width(), 2 * 10) << "a 10-point cap on both sides";
}

// The committed icon theme tree (desktop/icons) is what the generator draws now.
TEST(ArtworkTest, CommittedIconsAreWhatTheGeneratorDraws)
{
    ScratchDir dir;
    QString error;
    const QStringList written =
        sonavell::artwork::writeAppIcons(dir.path(), QStringLiteral(SONAVELL_APP_ID), &error);
    ASSERT_FALSE(written.isEmpty()) << error.toStdString();
    const QString icons = sourceDir() + QStringLiteral("/desktop/icons/");
    for (const QString& name : written) {
        const QByteArray fresh = readAll(dir.file(name));
        const QByteArray stored = readAll(icons + name);
        ASSERT_FALSE(stored.isEmpty()) << name.toStdString() << ": run scripts/make-artwork";
        if (fresh == stored || name.endsWith(".svg"))
            continue;
        EXPECT_TRUE(sameWithinRounding(QImage::fromData(stored), QImage::fromData(fresh)))
            << name.toStdString() << ": run scripts/make-artwork and commit desktop/icons";
    }
    // The SVG text may vary with the Qt version; what it draws may not.
    QSvgRenderer committedSvg(icons + "scalable/apps/" SONAVELL_APP_ID ".svg");
    ASSERT_TRUE(committedSvg.isValid());
    EXPECT_EQ(committedSvg.viewBox(), QRect(0, 0, 256, 256));
}

// The scalable icon is the same picture as the PNGs: the SVG writer kept every shape and
// gradient. Compared at 64 pixels, channel by channel.
TEST(ArtworkTest, ScalableIconIsThePictureOfThePngs)
{
    QSvgRenderer svg(sonavell::artwork::appIconSvg());
    ASSERT_TRUE(svg.isValid());
    QImage drawn(64, 64, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    {
        QPainter painter(&drawn);
        svg.render(&painter);
    }
    drawn = drawn.convertToFormat(QImage::Format_ARGB32);
    const QImage png = sonavell::artwork::renderAppIcon(64);
    long difference = 0;
    int opaque = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = png.pixel(x, y);
            opaque += qAlpha(b) == 255;
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
        }
    }
    EXPECT_GT(opaque, 64 * 64 * 2 / 3) << "the tile fills most of the square";
    EXPECT_LT(difference / (64 * 64), 8) << "mean difference per pixel, four channels";
    // The red record dot in the middle and the transparent corners.
    EXPECT_GT(qRed(png.pixel(32, 32)), 2 * qGreen(png.pixel(32, 32)));
    EXPECT_GT(qRed(drawn.pixel(32, 32)), 2 * qGreen(drawn.pixel(32, 32)));
    EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(drawn.pixel(0, 0)), 0);
}

// The 16-bit samples of a WAV file with a plain 44-byte header.
std::vector<int> samplesOf(const QByteArray& wav)
{
    std::vector<int> samples(std::max<qsizetype>(0, wav.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i);
    return samples;
}

// Three beeps at 0, 0.5 and 1.0 s, silence between them and after the last up to 1.5 s.
TEST(ArtworkTest, CountInSoundIsThreeBeepsHalfASecondApart)
{
    ScratchDir dir;
    QString error;
    ASSERT_TRUE(sonavell::artwork::writeCountInSound(dir.file("count.wav"), &error));
    const QByteArray wav = readAll(dir.file("count.wav"));
    const QByteArray stored = readAll(committed("sounds/recordcountdown22k.wav"));
    ASSERT_EQ(stored.size(), wav.size()) << "run scripts/make-artwork and commit resources/sounds";
    EXPECT_EQ(stored.left(44), wav.left(44));

    // A plain WAV header: PCM, mono, 22050 Hz, 16 bits, and 1.5 s of audio after it.
    const quint32 dataSize = 2 * 33075;
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataSize);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(22050) << quint32(44100) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataSize;
    ASSERT_EQ(wav.size(), 44 + qsizetype(dataSize));
    EXPECT_EQ(wav.left(44), header);

    const std::vector<int> samples = samplesOf(wav);
    // The samples come from sin and cos, whose last bit may differ between the maths routines a
    // CPU gets: the committed sound is this one when no sample is more than a level off. Half a
    // beep's cycle later is far off.
    const std::vector<int> committedSamples = samplesOf(stored);
    auto largestDifference = [&](const std::vector<int>& other) {
        int most = 0;
        for (size_t i = 0; i < samples.size(); ++i)
            most = std::max(most, std::abs(committedSamples[i] - other[i]));
        return most;
    };
    EXPECT_LE(largestDifference(samples), 1)
        << "run scripts/make-artwork and commit resources/sounds";
    std::vector<int> later(samples.begin() + 11, samples.end());
    later.resize(samples.size(), 0);
    EXPECT_GT(largestDifference(later), 1000);

    // Peak level in 10 ms windows: loud inside the beeps, silent outside.
    auto peak = [&](double from, double to) {
        int most = 0;
        for (int i = static_cast<int>(from * 22050); i < static_cast<int>(to * 22050); ++i)
            most = std::max(most, std::abs(samples[i]));
        return most;
    };
    for (double start : {0.0, 0.5, 1.0}) {
        EXPECT_GT(peak(start + 0.01, start + 0.07), 12000) << start;
        EXPECT_EQ(peak(start + 0.09, start + 0.5), 0) << start;
    }
    EXPECT_LT(std::abs(samples.front()), 200) << "starts without a click";
}

} // namespace
