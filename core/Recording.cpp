// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Recording.h"

#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/DocumentPath.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>

#include <cmath>

Recording::Recording(const QString& name, const QString& uuid, const QString& category,
                     const QDateTime& now)
    : m_filename(QStringLiteral("REC%1.wav").arg(uuid))
    , m_name(name)
    , m_date(now.toUTC())
    , m_category(category)
    , m_quality(QStringLiteral("HQ"))
    , m_channels(1)
{
}

Recording::Recording(KeyedUnarchiver& coder, const QString& documentsPath)
    : m_filename(coder.decodeString("fileName"))
    , m_name(coder.decodeString("name"))
    , m_date(coder.decodeDate("date"))
    , m_duration(coder.decodeDouble("duration"))
    , m_category(coder.decodeString("category"))
    , m_location(coder.decodeObject("location"))
    , m_locationString(coder.decodeString("locationString"))
    , m_quality(coder.decodeString("quality"))
    , m_channels(coder.decodeInt32("channels"))
    , m_lastPlayTime(coder.decodeFloat("playtime"))
    , m_hideFromWebSharing(coder.decodeBool("hideweb"))
{
    // Old archives carried the photo inline; it now lives in its own JPEG file.
    if (coder.containsValueForKey("photo") && !m_filename.isEmpty()) {
        const QImage image = QImage::fromData(coder.decodeData("photo"));
        const QString path = DocumentPath::resolveFile(documentsPath, photoFilename());
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        if (!image.isNull() && !path.isEmpty() && buffer.open(QIODevice::WriteOnly) &&
            image.save(&buffer, "JPEG", 80))
            AtomicFile::write(path, jpeg);
    }
}

void Recording::encodeWithCoder(KeyedArchiver& coder) const
{
    encodeEntry(coder, entry());
}

LibrarySnapshot::RecordingEntry Recording::entry() const
{
    LibrarySnapshot::RecordingEntry e;
    e.filename = m_filename;
    e.name = m_name;
    e.duration = m_duration;
    e.category = m_category;
    e.locationString = m_locationString;
    e.quality = m_quality;
    e.channels = m_channels;
    e.hideFromWebSharing = m_hideFromWebSharing;
    e.date = m_date;
    e.location = m_location;
    e.lastPlayTime = m_lastPlayTime;
    return e;
}

void Recording::encodeEntry(KeyedArchiver& coder, const LibrarySnapshot::RecordingEntry& e)
{
    coder.encodeString("fileName", e.filename);
    coder.encodeString("name", e.name);
    coder.encodeDate("date", e.date);
    coder.encodeDouble("duration", e.duration);
    coder.encodeString("category", e.category);
    coder.encodeObject("location", e.location);
    coder.encodeString("locationString", e.locationString);
    coder.encodeString("quality", e.quality);
    coder.encodeInt32("channels", e.channels);
    coder.encodeFloat("playtime", e.lastPlayTime);
    coder.encodeBool("hideweb", e.hideFromWebSharing);
}

QString Recording::photoFilename() const
{
    return photoFilenameFor(m_filename);
}

QString Recording::photoFilenameFor(const QString& filename)
{
    const qsizetype dot = filename.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = filename.lastIndexOf(QLatin1Char('/'));
    const QString base = dot > slash + 1 ? filename.left(dot) : filename;
    return base + QStringLiteral(".jpg");
}

QImage Recording::getPhotoImage(const QString& documentsPath) const
{
    const QString path = DocumentPath::resolveFile(documentsPath, photoFilename());
    if (path.isEmpty() || DocumentPath::kind(path) != DocumentPath::Kind::Regular)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QImage image = QImage::fromData(file.readAll());
    if (image.isNull())
        return {};
    const QSize size = image.height() > image.width() ? QSize(120, 121) : QSize(120, 90);
    return resizedImage(image, size);
}

QImage Recording::resizedImage(const QImage& image, const QSize& size)
{
    // Four bytes per pixel; images without alpha keep a skipped fourth byte.
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage result(size, format);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), image);
    return result;
}

QString Recording::locationDescription() const
{
    if (!m_location)
        return {};
    const auto latitude = m_location->numberForKey("kCLLocationCodingKeyCoordinateLatitude");
    const auto longitude = m_location->numberForKey("kCLLocationCodingKeyCoordinateLongitude");
    if (!latitude || !longitude)
        return {};
    QString text = QString::asprintf("<%+.8f, %+.8f>", *latitude, *longitude);
    if (const auto accuracy = m_location->numberForKey("kCLLocationCodingKeyHorizontalAccuracy"))
        text += QString::asprintf(" +/- %.2fm", *accuracy);
    // The time of the fix: an archived date, seconds since 2001-01-01 UTC.
    if (const auto stamp = m_location->objectForKey("kCLLocationCodingKeyTimestamp")) {
        const auto seconds = stamp->numberForKey("NS.time");
        if (seconds && std::abs(*seconds) < 1e11) {      // also false for NaN
            constexpr qint64 kReferenceDate = 978307200; // 2001-01-01 in Unix time
            text += QStringLiteral(" @ ") +
                    QDateTime::fromMSecsSinceEpoch(qint64((kReferenceDate + *seconds) * 1000.0))
                        .toLocalTime()
                        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
        }
    }
    return text;
}

QString Recording::description() const
{
    return QStringLiteral("filename: %1 name: %2 date: %3 duration: %4 category: %5 location: %6 "
                          "quality: %7 channels: %8 lastPlayTime: %9")
        .arg(m_filename, m_name, m_date.toString(Qt::ISODate), QString::number(m_duration),
             m_category, m_location ? m_location->className() : QStringLiteral("(none)"), m_quality,
             QString::number(m_channels), QString::number(m_lastPlayTime));
}
