// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/BundleImage.h"

#include "platform/system/Bundle.h"
#include "platform/ui/DecodedImageCache.h"
#include "platform/ui/PlatformUiLog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace {

using DecodedImage = DecodedImageCache::Entry;

QString doubleDensityPath(const QString& dir, const QString& name)
{
    const QFileInfo info(name);
    return dir + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("@2x.") +
           info.suffix();
}

// Reads "name@2x" when it exists and can be read, otherwise "name". QImage, unlike QPixmap,
// may be decoded on any thread. The files are measured before they are read, so that a file
// replaced meanwhile does not pass for the one decoded.
DecodedImage decode(const QString& dir, const QString& name)
{
    DecodedImage decoded;
    decoded.name = name;
    if (dir.isEmpty())
        return decoded;
    const QString doublePath = doubleDensityPath(dir, name);
    const QString singlePath = dir + QLatin1Char('/') + name;
    decoded.doubleSource = DecodedImageCache::sourceOf(doublePath);
    decoded.singleSource = DecodedImageCache::sourceOf(singlePath);
    if (decoded.image.load(doublePath)) {
        decoded.doubleDensity = true;
        return decoded;
    }
    decoded.image.load(singlePath);
    return decoded;
}

// Whether a cached picture was decoded from the files that are there now.
bool isCurrent(const DecodedImage& cached, const QString& dir)
{
    return cached.doubleSource ==
               DecodedImageCache::sourceOf(doubleDensityPath(dir, cached.name)) &&
           cached.singleSource == DecodedImageCache::sourceOf(dir + QLatin1Char('/') + cached.name);
}

// The decoded picture cache of this user, or an empty path when there is no place for one.
QString cachePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/decoded-images");
}

// The pictures of one preload. When some had to be decoded, all of them are written to the cache
// together once the last is decoded.
struct PreloadBatch
{
    QString dir;
    int unsettled = 0; // pictures still to decode
    // The names and the files each was decoded from; the pixels are taken from the pixmaps.
    std::vector<DecodedImage> pictures;
};

// One image to decode ahead. Whoever claims it first decodes it: the worker, or the main thread
// when it needs the image before the worker has got to it (a worker that gets no core on a busy
// machine then costs nothing but the thread).
struct DecodeJob
{
    QString dir;
    QString name;
    std::shared_ptr<PreloadBatch> batch;
    std::atomic<bool> claimed{false};
    std::promise<DecodedImage> promise;
    // Taken once, by the main thread: the image moves out, so the pixmap adopts its pixels
    // instead of copying them.
    std::future<DecodedImage> result = promise.get_future();
};

// Decodes a claimed job and hands the image to whoever takes it. Premultiplied here, the
// conversion a pixmap of a translucent image makes, so the main thread only adopts the pixels.
void fulfil(DecodeJob& job)
{
    try {
        DecodedImage decoded = decode(job.dir, job.name);
        if (decoded.image.format() == QImage::Format_ARGB32)
            decoded.image.convertTo(QImage::Format_ARGB32_Premultiplied);
        job.promise.set_value(std::move(decoded));
    } catch (...) {
        job.promise.set_value(DecodedImage{}); // no memory for it: reported as missing
    }
}

struct ImageStore : QObject
{
    using QObject::QObject;
    ~ImageStore() override
    {
        // A worker may still be decoding images nobody asked for yet, or writing the cache; it
        // finishes on its own.
        for (std::thread& worker : workers)
            worker.join();
    }
    QHash<QString, QPixmap> images;
    QHash<QString, std::shared_ptr<DecodeJob>> pending;
    std::vector<std::thread> workers;
};

ImageStore& imageStore()
{
    // Every image is decoded once and kept for the run: Qt's shared pixmap cache holds 10 MB,
    // less than the double-density dashboard pictures together, so it dropped the first of them
    // while the screen was still being built, and every rebuild of the transport buttons decoded
    // them again. The whole set is a few dozen pictures. The store goes away with the
    // application, before the platform that pixmaps need.
    static QPointer<ImageStore> store;
    if (!store)
        store = new ImageStore(QCoreApplication::instance());
    return *store;
}

QPixmap pixmapOf(DecodedImage& decoded, Qt::ImageConversionFlags flags = Qt::AutoColor)
{
    // Converted where it lies, the way QPixmap::load does it, so the pixels are the same.
    QPixmap pixmap = QPixmap::fromImage(std::move(decoded.image), flags);
    if (decoded.doubleDensity)
        pixmap.setDevicePixelRatio(2.0);
    return pixmap;
}

// Counts a decoded picture of `batch` as settled; when it was the last, writes the cache on a
// worker thread.
void settle(ImageStore& store, const std::shared_ptr<PreloadBatch>& batch, DecodedImage picture)
{
    batch->pictures.push_back(std::move(picture));
    if (--batch->unsettled > 0)
        return;
    const QString path = cachePath();
    if (path.isEmpty() || batch->dir.isEmpty())
        return;
    for (DecodedImage& each : batch->pictures) {
        const QPixmap pixmap = store.images.value(each.name);
        each.image = pixmap.toImage(); // shares the pixmap's pixels
        each.doubleDensity = pixmap.devicePixelRatio() == 2.0;
    }
    store.workers.emplace_back([path, dir = batch->dir, pictures = std::move(batch->pictures)] {
        if (!DecodedImageCache::write(path, dir, pictures))
            qCInfo(lcPlatformUi).noquote() << "Could not write the decoded picture cache" << path;
    });
}

} // namespace

QString BundleImage::imagesDirectory()
{
    return Bundle::resourceDirectory(QStringLiteral("images"));
}

void BundleImage::preload(const QStringList& names)
{
    ImageStore& store = imageStore();
    const QString dir = imagesDirectory();
    QHash<QString, DecodedImage> cached;
    if (const QString path = cachePath(); !dir.isEmpty() && !path.isEmpty()) {
        for (DecodedImage& picture : DecodedImageCache::read(path, dir))
            cached.insert(picture.name, std::move(picture));
    }
    auto batch = std::make_shared<PreloadBatch>();
    batch->dir = dir;
    std::vector<std::shared_ptr<DecodeJob>> jobs;
    for (const QString& name : names) {
        if (store.images.contains(name) || store.pending.contains(name))
            continue;
        if (const auto hit = cached.find(name); hit != cached.end() && isCurrent(*hit, dir)) {
            // Found decoded: the pixmap adopts the cached pixels where they lie. They are in the
            // format the pixmap had when they were cached, so the scan of every pixel for
            // transparency is skipped. A name with no readable file is left to imageNamed(),
            // which reports it.
            if (!hit->image.isNull())
                store.images.insert(name, pixmapOf(*hit, Qt::NoOpaqueDetection));
            batch->pictures.push_back(std::move(*hit));
            continue;
        }
        auto job = std::make_shared<DecodeJob>();
        job->dir = dir;
        job->name = name;
        job->batch = batch;
        ++batch->unsettled;
        store.pending.insert(name, job);
        jobs.push_back(std::move(job));
    }
    if (jobs.empty())
        return;
    store.workers.emplace_back([jobs = std::move(jobs)] {
        for (const std::shared_ptr<DecodeJob>& job : jobs) {
            if (!job->claimed.exchange(true)) // else the main thread took it
                fulfil(*job);
        }
    });
}

QPixmap BundleImage::imageNamed(const QString& name)
{
    ImageStore& store = imageStore();
    if (const auto found = store.images.constFind(name); found != store.images.constEnd())
        return *found;

    const QString dir = imagesDirectory();
    DecodedImage decoded;
    std::shared_ptr<PreloadBatch> batch;
    if (const auto found = store.pending.find(name); found != store.pending.end()) {
        const std::shared_ptr<DecodeJob> job = *found;
        batch = job->batch;
        store.pending.erase(found);
        if (!job->claimed.exchange(true)) {
            decoded = decode(job->dir, job->name);
        } else {
            // While the worker is still on this image, the main thread decodes others that
            // nobody has claimed yet, rather than wait idle.
            for (const auto& other : std::as_const(store.pending)) {
                if (job->result.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
                    break;
                if (!other->claimed.exchange(true))
                    fulfil(*other);
            }
            decoded = job->result.get();
        }
    } else {
        decoded = decode(dir, name);
    }
    QPixmap pixmap;
    if (!decoded.image.isNull()) {
        pixmap = pixmapOf(decoded);
        store.images.insert(name, pixmap);
    }
    if (batch)
        settle(store, batch, std::move(decoded));
    if (pixmap.isNull()) {
        static QSet<QString> reported;
        if (!reported.contains(name)) {
            reported.insert(name);
            qCWarning(lcPlatformUi).noquote() << "No image named" << name << "in" << dir;
        }
        return {};
    }
    return pixmap;
}
