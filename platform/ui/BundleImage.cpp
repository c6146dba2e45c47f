#include "platform/ui/BundleImage.h"

#include "platform/system/Bundle.h"
#include "platform/ui/PlatformUiLog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QSet>

namespace {
struct ImageStore : QObject
{
    using QObject::QObject;
    QHash<QString, QPixmap> images;
};
} // namespace

QString BundleImage::imagesDirectory()
{
    return Bundle::resourceDirectory(QStringLiteral("images"));
}

QPixmap BundleImage::imageNamed(const QString& name)
{
    // Every image is decoded once and kept for the run: Qt's shared pixmap cache holds 10 MB,
    // less than the double-density dashboard pictures together, so it dropped the first of them
    // while the screen was still being built, and every rebuild of the transport buttons decoded
    // them again. The whole set is a few dozen pictures. The store goes away with the
    // application, before the platform that pixmaps need.
    static QPointer<ImageStore> store;
    if (!store)
        store = new ImageStore(QCoreApplication::instance());
    QHash<QString, QPixmap>& decoded = store->images;
    if (const auto found = decoded.constFind(name); found != decoded.constEnd())
        return *found;
    QPixmap pixmap;

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
    decoded.insert(name, pixmap);
    return pixmap;
}
