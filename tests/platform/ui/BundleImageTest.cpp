// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/BundleImage.h"
#include "platform/ui/DecodedImageCache.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QImage>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

void writeImage(const sonavell::test::ScratchDir& dir, const QString& name, QSize size, QColor c)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(c);
    ASSERT_TRUE(image.save(dir.file("images/" + name)));
}

// Resources in a scratch folder, found through SONAVELL_RESOURCES.
TEST(BundleImageTest, PrefersTheDoubleDensityFileAndKeepsTheSizeInPoints)
{
    sonavell::test::ScratchDir dir;
    dir.write("images/.keep", {});
    writeImage(dir, "knob.png", {10, 12}, Qt::red);
    writeImage(dir, "knob@2x.png", {20, 24}, Qt::blue);
    writeImage(dir, "plain.png", {7, 5}, Qt::green);
    const QByteArray saved = qgetenv("SONAVELL_RESOURCES");
    qputenv("SONAVELL_RESOURCES", dir.path().toUtf8());

    EXPECT_EQ(BundleImage::imagesDirectory(), dir.file("images"));
    const QPixmap knob = BundleImage::imageNamed("knob.png");
    EXPECT_EQ(knob.devicePixelRatio(), 2.0);
    EXPECT_EQ(knob.deviceIndependentSize(), QSizeF(10, 12));
    EXPECT_EQ(knob.toImage().pixelColor(0, 0), QColor(Qt::blue));

    const QPixmap plain = BundleImage::imageNamed("plain.png");
    EXPECT_EQ(plain.devicePixelRatio(), 1.0);
    EXPECT_EQ(plain.size(), QSize(7, 5));

    EXPECT_TRUE(BundleImage::imageNamed("missing.png").isNull());

    qputenv("SONAVELL_RESOURCES", dir.file("nowhere").toUtf8());
    EXPECT_EQ(BundleImage::imagesDirectory(), QString());
    EXPECT_TRUE(BundleImage::imageNamed("other.png").isNull());
    qputenv("SONAVELL_RESOURCES", saved);
}

} // namespace

namespace {

// The dashboard's double-density pictures together are larger than Qt's shared pixmap cache;
// none may be decoded a second time when it is asked for again.
TEST(BundleImageTest, AnImageIsDecodedOnceHoweverManyOthersFollow)
{
    sonavell::test::ScratchDir dir;
    dir.write("images/.keep", {});
    for (int i = 0; i < 12; ++i)
        writeImage(dir, QString("large%1.png").arg(i), {1000, 1000}, QColor(i * 20, 0, 0));
    const QByteArray saved = qgetenv("SONAVELL_RESOURCES");
    qputenv("SONAVELL_RESOURCES", dir.path().toUtf8());
    const qint64 first = BundleImage::imageNamed("large0.png").cacheKey();
    for (int i = 1; i < 12; ++i)
        EXPECT_FALSE(BundleImage::imageNamed(QString("large%1.png").arg(i)).isNull());
    EXPECT_EQ(BundleImage::imageNamed("large0.png").cacheKey(), first);
    qputenv("SONAVELL_RESOURCES", saved);
}

} // namespace

namespace {

// Images with every alpha from clear to opaque, so a different conversion to the screen's
// premultiplied format would show in the pixels.
void writeTranslucentImage(const sonavell::test::ScratchDir& dir, const QString& name, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor(x * 7 % 256, y * 13 % 256, 90, (x + y) % 256));
    ASSERT_TRUE(image.save(dir.file("images/" + name)));
}

// Decoded on the worker thread, an image is the same pixmap QPixmap::load makes of the file,
// at the same density, and later requests get that one pixmap; names without a file stay null.
TEST(BundleImageTest, PreloadedImagesAreThoseLoadedOnTheSpot)
{
    sonavell::test::ScratchDir dir;
    dir.write("images/.keep", {});
    writeTranslucentImage(dir, "pre_wheel.png", {40, 30});
    writeTranslucentImage(dir, "pre_wheel@2x.png", {80, 60});
    writeTranslucentImage(dir, "pre_plain.png", {300, 200});
    const QByteArray saved = qgetenv("SONAVELL_RESOURCES");
    qputenv("SONAVELL_RESOURCES", dir.path().toUtf8());

    BundleImage::preload({"pre_wheel.png", "pre_plain.png", "pre_missing.png", "pre_wheel.png"});
    // Asked for out of order: the second waits for nothing, the first for its turn.
    const QPixmap plain = BundleImage::imageNamed("pre_plain.png");
    const QPixmap wheel = BundleImage::imageNamed("pre_wheel.png");

    QPixmap expectedWheel;
    ASSERT_TRUE(expectedWheel.load(dir.file("images/pre_wheel@2x.png")));
    QPixmap expectedPlain;
    ASSERT_TRUE(expectedPlain.load(dir.file("images/pre_plain.png")));
    EXPECT_EQ(wheel.devicePixelRatio(), 2.0);
    EXPECT_EQ(wheel.deviceIndependentSize(), QSizeF(40, 30));
    EXPECT_EQ(wheel.toImage(), expectedWheel.toImage());
    EXPECT_EQ(plain.devicePixelRatio(), 1.0);
    EXPECT_EQ(plain.toImage(), expectedPlain.toImage());
    EXPECT_TRUE(BundleImage::imageNamed("pre_missing.png").isNull());

    // Preloading again decodes nothing anew.
    BundleImage::preload({"pre_wheel.png", "pre_plain.png"});
    EXPECT_EQ(BundleImage::imageNamed("pre_wheel.png").cacheKey(), wheel.cacheKey());
    EXPECT_EQ(BundleImage::imageNamed("pre_plain.png").cacheKey(), plain.cacheKey());
    qputenv("SONAVELL_RESOURCES", saved);
}

// Asked for in the order they were preloaded, the main thread soon reaches the image the worker
// is on and decodes later ones meanwhile: whoever decodes an image, its pixels are the same.
TEST(BundleImageTest, ImagesDecodedByEitherThreadAreThoseLoadedOnTheSpot)
{
    sonavell::test::ScratchDir dir;
    dir.write("images/.keep", {});
    QStringList names;
    for (int i = 0; i < 16; ++i) {
        names << QStringLiteral("many_%1.png").arg(i);
        writeTranslucentImage(dir, names.last(), {400 + i, 300});
    }
    const QByteArray saved = qgetenv("SONAVELL_RESOURCES");
    qputenv("SONAVELL_RESOURCES", dir.path().toUtf8());
    BundleImage::preload(names);
    for (const QString& name : names) {
        QPixmap expected;
        ASSERT_TRUE(expected.load(dir.file("images/" + name)));
        const QImage got = BundleImage::imageNamed(name).toImage();
        EXPECT_EQ(got.format(), expected.toImage().format()) << name.toStdString();
        EXPECT_EQ(got, expected.toImage()) << name.toStdString();
    }
    qputenv("SONAVELL_RESOURCES", saved);
}

} // namespace

namespace {

// The decoded picture cache, kept in a private home folder for the test.
struct PrivateCache
{
    sonavell::test::ScratchDir home;
    QByteArray savedHome = qgetenv("HOME");
    PrivateCache() { qputenv("HOME", home.path().toUtf8()); }
    ~PrivateCache() { qputenv("HOME", savedHome); }
    QString path() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/decoded-images";
    }
};

// Once a preloaded set has been decoded, it is written to the cache as the pixmaps hold it; the
// next preload takes a picture from the cache only while its files are those it was made from.
TEST(BundleImageTest, PreloadedPicturesComeFromTheCacheWhileTheirFilesStayTheSame)
{
    PrivateCache cache;
    sonavell::test::ScratchDir dir;
    dir.write("images/.keep", {});
    writeTranslucentImage(dir, "cached_wheel.png", {40, 30});
    writeTranslucentImage(dir, "cached_wheel@2x.png", {80, 60});
    writeImage(dir, "cached_plain.png", {30, 20}, Qt::darkGreen);
    const QByteArray saved = qgetenv("SONAVELL_RESOURCES");
    qputenv("SONAVELL_RESOURCES", dir.path().toUtf8());
    const QString images = dir.file("images");

    const QStringList names = {"cached_wheel.png", "cached_plain.png", "cached_missing.png"};
    BundleImage::preload(names);
    std::vector<QPixmap> pixmaps;
    for (const QString& name : names)
        pixmaps.push_back(BundleImage::imageNamed(name));
    ASSERT_TRUE(sonavell::test::waitFor([&] { return QFile::exists(cache.path()); }));
    const std::vector<DecodedImageCache::Entry> written =
        DecodedImageCache::read(cache.path(), images);
    ASSERT_EQ(written.size(), 3u);
    for (size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(names[int(i)].toStdString());
        EXPECT_EQ(written[i].name, names[int(i)]);
        EXPECT_EQ(written[i].image.format(), pixmaps[i].toImage().format());
        EXPECT_EQ(written[i].image, pixmaps[i].toImage());
        EXPECT_EQ(written[i].doubleDensity, pixmaps[i].devicePixelRatio() == 2.0);
    }
    EXPECT_TRUE(written[0].doubleDensity);
    EXPECT_TRUE(written[2].image.isNull());

    // Two new names: the cache holds a stand-in picture for each, one made from the files as
    // they are, the other from a plain file that has since been given a double-density one.
    writeImage(dir, "fresh.png", {6, 4}, Qt::blue);
    writeImage(dir, "stale.png", {6, 4}, Qt::blue);
    QImage standIn(12, 8, QImage::Format_ARGB32_Premultiplied);
    standIn.fill(Qt::magenta);
    const DecodedImageCache::Source absent;
    ASSERT_TRUE(DecodedImageCache::write(
        cache.path(), images,
        {{"fresh.png", absent, DecodedImageCache::sourceOf(images + "/fresh.png"), standIn, false},
         {"stale.png", absent, DecodedImageCache::sourceOf(images + "/stale.png"), standIn,
          false}}));
    writeImage(dir, "stale@2x.png", {12, 8}, Qt::red);

    BundleImage::preload({"fresh.png", "stale.png"});
    const QPixmap fresh = BundleImage::imageNamed("fresh.png");
    EXPECT_EQ(fresh.toImage(), standIn);
    EXPECT_EQ(fresh.devicePixelRatio(), 1.0);
    const QPixmap stale = BundleImage::imageNamed("stale.png");
    EXPECT_EQ(stale.devicePixelRatio(), 2.0);
    EXPECT_EQ(stale.toImage().pixelColor(0, 0), QColor(Qt::red));
    qputenv("SONAVELL_RESOURCES", saved);
}

} // namespace
