#include "tools/artwork/Artwork.h"
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

#include <cmath>

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
// depend on the image library's compressor, so where bytes differ the decoded pixels decide.
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
        const QImage freshImage = QImage::fromData(fresh).convertToFormat(QImage::Format_ARGB32);
        const QImage storedImage = QImage::fromData(stored).convertToFormat(QImage::Format_ARGB32);
        EXPECT_FALSE(storedImage.isNull()) << name.toStdString();
        EXPECT_TRUE(freshImage == storedImage) << name.toStdString() << " differs";
    }
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
        const QImage freshImage = QImage::fromData(fresh).convertToFormat(QImage::Format_ARGB32);
        const QImage storedImage = QImage::fromData(stored).convertToFormat(QImage::Format_ARGB32);
        EXPECT_TRUE(freshImage == storedImage) << name.toStdString() << " differs";
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

// Three beeps at 0, 0.5 and 1.0 s, silence between them and after the last up to 1.5 s.
TEST(ArtworkTest, CountInSoundIsThreeBeepsHalfASecondApart)
{
    ScratchDir dir;
    QString error;
    ASSERT_TRUE(sonavell::artwork::writeCountInSound(dir.file("count.wav"), &error));
    const QByteArray wav = readAll(dir.file("count.wav"));
    EXPECT_EQ(wav, readAll(committed("sounds/recordcountdown22k.wav")))
        << "run scripts/make-artwork and commit resources/sounds";

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

    std::vector<int> samples(dataSize / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i);
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
