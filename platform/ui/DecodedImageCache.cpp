// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DecodedImageCache.h"

#include "platform/ui/PlatformUiLog.h"

#include <QByteArray>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr char kMagic[] = "SNVDIMG1";
constexpr int kMagicSize = 8;
constexpr int kAlignment = 64; // where each picture's pixels start, from the file's start
constexpr int kMaxSide = 32768;

// A private mapping of a whole file, unmapped when the last image pointing into it goes. It is
// writable copy-on-write: an image over it can be changed like any other (Qt marks images over
// read-only memory as such and copies them whole on their first change, even a change of their
// pixel ratio), and the file stays as it is.
struct Mapping
{
    uchar* data = nullptr;
    size_t size = 0;
    Mapping() = default;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping()
    {
        if (data)
            munmap(data, size);
    }
};

std::shared_ptr<Mapping> mapFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto mapping = std::make_shared<Mapping>();
    struct stat info; // filled in by a successful call
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        void* data =
            mmap(nullptr, size_t(info.st_size), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
        if (data != MAP_FAILED) {
            mapping->data = static_cast<uchar*>(data);
            mapping->size = size_t(info.st_size);
        }
    }
    ::close(fd);
    return mapping->data ? mapping : nullptr;
}

void releaseMapping(void* holder)
{
    delete static_cast<std::shared_ptr<Mapping>*>(holder);
}

// Formats whose pixels stand alone, without a colour table.
bool storableFormat(int format)
{
    return format > QImage::Format_Invalid && format < QImage::NImageFormats &&
           format != QImage::Format_Mono && format != QImage::Format_MonoLSB &&
           format != QImage::Format_Indexed8;
}

quint8 hostByteOrder()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 1 : 2;
}

QDataStream& operator<<(QDataStream& out, const DecodedImageCache::Source& source)
{
    return out << qint64(source.size) << qint64(source.modifiedNs);
}

QDataStream& operator>>(QDataStream& in, DecodedImageCache::Source& source)
{
    qint64 size = 0;
    qint64 modified = 0;
    in >> size >> modified;
    source = {size, modified};
    return in;
}

// Where an entry's pixels lie in the file.
struct Layout
{
    qint32 format = QImage::Format_Invalid;
    qint32 width = 0;
    qint32 height = 0;
    qint64 bytesPerLine = 0;
    quint64 offset = 0;
};

QByteArray header(const QString& dir, const std::vector<const DecodedImageCache::Entry*>& entries,
                  const std::vector<Layout>& layouts)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out.writeRawData(kMagic, kMagicSize);
    out << hostByteOrder() << dir << quint32(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const DecodedImageCache::Entry& entry = *entries[i];
        const Layout& layout = layouts[i];
        out << entry.name << entry.doubleSource << entry.singleSource << entry.doubleDensity
            << layout.format << layout.width << layout.height << layout.bytesPerLine
            << layout.offset;
    }
    return bytes;
}

quint64 aligned(quint64 offset)
{
    return (offset + kAlignment - 1) / kAlignment * kAlignment;
}

} // namespace

DecodedImageCache::Source DecodedImageCache::sourceOf(const QString& path)
{
    struct stat info; // filled in by a successful call
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return {int64_t(info.st_size),
            int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::vector<DecodedImageCache::Entry> DecodedImageCache::read(const QString& cachePath,
                                                              const QString& dir)
{
    const std::shared_ptr<Mapping> mapping = mapFile(cachePath);
    if (!mapping)
        return {};
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(mapping->data),
                                                     qsizetype(mapping->size));
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    char magic[kMagicSize];
    quint8 byteOrder = 0;
    QString storedDir;
    quint32 count = 0;
    if (in.readRawData(magic, kMagicSize) != kMagicSize || memcmp(magic, kMagic, kMagicSize) != 0)
        return {};
    in >> byteOrder >> storedDir >> count;
    if (in.status() != QDataStream::Ok || byteOrder != hostByteOrder() || storedDir != dir ||
        count > 100000)
        return {};

    std::vector<Entry> entries;
    for (quint32 i = 0; i < count; ++i) {
        Entry entry;
        Layout layout;
        in >> entry.name >> entry.doubleSource >> entry.singleSource >> entry.doubleDensity >>
            layout.format >> layout.width >> layout.height >> layout.bytesPerLine >> layout.offset;
        if (in.status() != QDataStream::Ok)
            break;
        if (layout.format != QImage::Format_Invalid) {
            if (!storableFormat(layout.format) || layout.width <= 0 || layout.height <= 0 ||
                layout.width > kMaxSide || layout.height > kMaxSide ||
                layout.offset % kAlignment != 0 || layout.bytesPerLine % 4 != 0)
                break;
            const int depth = QImage::toPixelFormat(QImage::Format(layout.format)).bitsPerPixel();
            const qint64 minimumLine = (qint64(layout.width) * depth + 7) / 8;
            if (layout.bytesPerLine < minimumLine ||
                layout.bytesPerLine > std::numeric_limits<qint64>::max() / layout.height)
                break;
            const quint64 size = quint64(layout.bytesPerLine) * quint64(layout.height);
            if (layout.offset > mapping->size || size > mapping->size - layout.offset)
                break;
            // The image keeps the mapping alive.
            entry.image = QImage(mapping->data + layout.offset, layout.width, layout.height,
                                 qsizetype(layout.bytesPerLine), QImage::Format(layout.format),
                                 releaseMapping, new std::shared_ptr<Mapping>(mapping));
        }
        entries.push_back(std::move(entry));
    }
    if (entries.size() != count) {
        qCInfo(lcPlatformUi).noquote()
            << "The decoded picture cache" << cachePath << "is damaged; it is made again";
        return {};
    }
    return entries;
}

bool DecodedImageCache::write(const QString& cachePath, const QString& dir,
                              const std::vector<Entry>& entries)
{
    std::vector<const Entry*> kept;
    for (const Entry& entry : entries) {
        if (entry.image.isNull() || storableFormat(entry.image.format()))
            kept.push_back(&entry);
    }
    // The header's length does not depend on the offsets it holds, so it is made once to
    // learn where the pixels start, then again with their places.
    std::vector<Layout> layouts(kept.size());
    quint64 offset = aligned(quint64(header(dir, kept, layouts).size()));
    for (size_t i = 0; i < kept.size(); ++i) {
        const QImage& image = kept[i]->image;
        if (image.isNull())
            continue;
        layouts[i] = {image.format(), image.width(), image.height(), image.bytesPerLine(), offset};
        offset = aligned(offset + quint64(image.sizeInBytes()));
    }

    QDir().mkpath(QFileInfo(cachePath).absolutePath());
    QSaveFile file(cachePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray head = header(dir, kept, layouts);
    file.write(head);
    quint64 at = quint64(head.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        const QImage& image = kept[i]->image;
        if (image.isNull())
            continue;
        file.write(QByteArray(qsizetype(layouts[i].offset - at), '\0'));
        file.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        at = layouts[i].offset + quint64(image.sizeInBytes());
    }
    return file.commit();
}
