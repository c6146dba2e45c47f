// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DecodedImageCache.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

using Entry = DecodedImageCache::Entry;

QImage pattern(QSize size, QImage::Format format)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor(x * 7 % 256, y * 13 % 256, 90, (x + y) % 256));
    return image.convertToFormat(format);
}

std::vector<Entry> sampleEntries()
{
    std::vector<Entry> entries(4);
    entries[0] = {"wheel.png",
                  {1234, 5678},
                  {-1, 0},
                  pattern({33, 17}, QImage::Format_ARGB32_Premultiplied),
                  true};
    entries[1] = {"plain.png", {-1, 0}, {99, 42}, pattern({5, 9}, QImage::Format_RGB32), false};
    entries[2] = {"missing.png", {-1, 0}, {-1, 0}, QImage(), false};
    entries[3] = {"indexed.png", {-1, 0}, {7, 7}, pattern({4, 4}, QImage::Format_Indexed8), false};
    return entries;
}

// Written and read back, every picture keeps its name, sources, density, format and pixels;
// a picture that cannot be stored without its colour table is left out.
TEST(DecodedImageCacheTest, ReadsBackWhatWasWritten)
{
    sonavell::test::ScratchDir dir;
    const QString path = dir.file("cache/decoded");
    const std::vector<Entry> written = sampleEntries();
    ASSERT_TRUE(DecodedImageCache::write(path, "/images", written));

    std::vector<Entry> read = DecodedImageCache::read(path, "/images");
    ASSERT_EQ(read.size(), 3u);
    for (size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE(written[i].name.toStdString());
        EXPECT_EQ(read[i].name, written[i].name);
        EXPECT_EQ(read[i].doubleSource, written[i].doubleSource);
        EXPECT_EQ(read[i].singleSource, written[i].singleSource);
        EXPECT_EQ(read[i].doubleDensity, written[i].doubleDensity);
        EXPECT_EQ(read[i].image.format(), written[i].image.format());
        EXPECT_EQ(read[i].image, written[i].image);
    }

    // The images stay valid after the file is replaced, and drawing on one changes neither the
    // file nor another reader's image.
    const QByteArray before = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    std::vector<Entry> other = DecodedImageCache::read(path, "/images");
    ASSERT_TRUE(DecodedImageCache::write(path, "/images", {}));
    {
        QPainter painter(&read[0].image);
        painter.fillRect(read[0].image.rect(), Qt::black);
    }
    EXPECT_EQ(read[0].image.pixelColor(3, 3), QColor(Qt::black));
    EXPECT_EQ(other[0].image, written[0].image);
    EXPECT_EQ(other[1].image, written[1].image);
    ASSERT_TRUE(DecodedImageCache::write(path, "/images", written));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// A cache that is missing, made for another folder or damaged anywhere reads as empty or as
// entries that are whole; it never reads outside the file.
TEST(DecodedImageCacheTest, DamagedOrForeignFilesReadAsEmpty)
{
    sonavell::test::ScratchDir dir;
    const QString path = dir.file("decoded");
    EXPECT_TRUE(DecodedImageCache::read(path, "/images").empty());
    dir.write("decoded", {});
    EXPECT_TRUE(DecodedImageCache::read(path, "/images").empty());

    ASSERT_TRUE(DecodedImageCache::write(path, "/images", sampleEntries()));
    EXPECT_TRUE(DecodedImageCache::read(path, "/other").empty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();

    const std::vector<Entry> expected = DecodedImageCache::read(path, "/images");
    auto check = [&](const QByteArray& bytes, const char* what) {
        dir.write("decoded", bytes);
        const std::vector<Entry> got = DecodedImageCache::read(path, "/images");
        ASSERT_TRUE(got.empty() || got.size() == expected.size()) << what;
        // Damage in the pixels goes unseen, but every image lies inside the file: reading its
        // last byte would fault otherwise.
        for (const Entry& entry : got) {
            if (entry.image.isNull())
                continue;
            const uchar* last = entry.image.constScanLine(entry.image.height() - 1);
            volatile uchar byte = last[entry.image.bytesPerLine() - 1];
            (void)byte;
        }
    };
    for (int length = 0; length < good.size(); length += length < 300 ? 1 : 97)
        check(good.left(length), "truncated");
    for (int at = 0; at < 300 && at < good.size(); ++at) {
        QByteArray bytes = good;
        bytes[at] = char(bytes[at] ^ 0xFF);
        check(bytes, "flipped");
    }
}

} // namespace
