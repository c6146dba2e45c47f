#include "platform/BundleImage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QPixmapCache>
#include <QSet>

QString BundleImage::imagesDirectory()
{
    QStringList candidates;
    const QString overridden = qEnvironmentVariable("SONAVELL_RESOURCES");
    if (!overridden.isEmpty()) {
        candidates << overridden;
    } else {
        const QString appDir = QCoreApplication::applicationDirPath();
        candidates << appDir + QStringLiteral("/../resources")
                   << appDir + QStringLiteral("/../share/sonavell");
    }
    for (const QString& candidate : candidates) {
        const QString images = QDir::cleanPath(candidate + QStringLiteral("/images"));
        if (QFileInfo(images).isDir())
            return images;
    }
    return {};
}

QPixmap BundleImage::imageNamed(const QString& name)
{
    const QString key = QStringLiteral("BundleImage:") + name;
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;

    const QString dir = imagesDirectory();
    const QFileInfo info(name);
    const QString doubleName = info.completeBaseName() + QStringLiteral("@2x.") + info.suffix();
    if (!dir.isEmpty() && pixmap.load(dir + QLatin1Char('/') + doubleName)) {
        pixmap.setDevicePixelRatio(2.0);
    } else if (dir.isEmpty() || !pixmap.load(dir + QLatin1Char('/') + name)) {
        static QSet<QString> reported;
        if (!reported.contains(name)) {
            reported.insert(name);
            qWarning().noquote() << "No image named" << name << "in" << dir;
        }
        return {};
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
