#include "platform/ui/BundleImage.h"

#include "platform/system/Bundle.h"
#include "platform/ui/PlatformUiLog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QPixmapCache>
#include <QSet>

QString BundleImage::imagesDirectory()
{
    return Bundle::resourceDirectory(QStringLiteral("images"));
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
            qCWarning(lcPlatformUi).noquote() << "No image named" << name << "in" << dir;
        }
        return {};
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
