#include "platform/ui/BundleImage.h"
#include "support/TestEnvironment.h"

#include <QImage>

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
