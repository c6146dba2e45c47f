#include "platform/ui/BundleImage.h"

#include "platform/system/Bundle.h"
#include "platform/ui/PlatformUiLog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QSet>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct DecodedImage
{
    QImage image;
    bool doubleDensity = false;
};

// Reads "name@2x" when it exists and can be read, otherwise "name". QImage, unlike QPixmap,
// may be decoded on any thread.
DecodedImage decode(const QString& dir, const QString& name)
{
    DecodedImage decoded;
    if (dir.isEmpty())
        return decoded;
    const QFileInfo info(name);
    const QString doubleName = info.completeBaseName() + QStringLiteral("@2x.") + info.suffix();
    if (decoded.image.load(dir + QLatin1Char('/') + doubleName)) {
        decoded.doubleDensity = true;
        return decoded;
    }
    decoded.image.load(dir + QLatin1Char('/') + name);
    return decoded;
}

// One image to decode ahead. Whoever claims it first decodes it: the worker, or the main thread
// when it needs the image before the worker has got to it (a worker that gets no core on a busy
// machine then costs nothing but the thread).
struct DecodeJob
{
    QString dir;
    QString name;
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
        // A worker may still be decoding images nobody asked for yet; it finishes on its own.
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

} // namespace

QString BundleImage::imagesDirectory()
{
    return Bundle::resourceDirectory(QStringLiteral("images"));
}

void BundleImage::preload(const QStringList& names)
{
    ImageStore& store = imageStore();
    const QString dir = imagesDirectory();
    std::vector<std::shared_ptr<DecodeJob>> jobs;
    for (const QString& name : names) {
        if (store.images.contains(name) || store.pending.contains(name))
            continue;
        auto job = std::make_shared<DecodeJob>();
        job->dir = dir;
        job->name = name;
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
    if (const auto found = store.pending.find(name); found != store.pending.end()) {
        const std::shared_ptr<DecodeJob> job = *found;
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
    if (decoded.image.isNull()) {
        static QSet<QString> reported;
        if (!reported.contains(name)) {
            reported.insert(name);
            qCWarning(lcPlatformUi).noquote() << "No image named" << name << "in" << dir;
        }
        return {};
    }
    // Converted where it lies, the way QPixmap::load does it, so the pixels are the same.
    QPixmap pixmap = QPixmap::fromImage(std::move(decoded.image));
    if (decoded.doubleDensity)
        pixmap.setDevicePixelRatio(2.0);
    store.images.insert(name, pixmap);
    return pixmap;
}
