// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/LibrarySaver.h"

#include "core/Category.h"
#include "core/CoreLog.h"
#include "core/Recording.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/DocumentPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

const QString LibrarySaver::kCategoriesFile = QStringLiteral("categories.plist");
const QString LibrarySaver::kRecordingsFile = QStringLiteral("recordings.plist");

namespace {

// Archives the items, in order, as the root array of a keyed archive.
template <typename T> QByteArray archiveOf(const std::vector<T>& items)
{
    std::vector<const Archivable*> objects;
    objects.reserve(items.size());
    for (const T& item : items)
        objects.push_back(&item);
    return KeyedArchiver::archivedDataWithRootArray(objects);
}

// A snapshot entry in the shape the archiver takes: it writes itself as the record it came from.
class ArchivableEntry : public Archivable
{
public:
    explicit ArchivableEntry(const LibrarySnapshot::RecordingEntry& entry)
        : m_entry(&entry)
    {
    }
    QString archiveClassName() const override { return QStringLiteral("Recording"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        Recording::encodeEntry(coder, *m_entry);
    }

private:
    const LibrarySnapshot::RecordingEntry* m_entry;
};

// The savers alive in this process.
std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<LibrarySaver*>& registry()
{
    static std::vector<LibrarySaver*> savers;
    return savers;
}

} // namespace

LibrarySaver::LibrarySaver(QString documentsPath, std::function<void(const Result&)> finished)
    : m_documentsPath(std::move(documentsPath))
    , m_finished(std::move(finished))
{
    m_thread = std::thread([this] { run(); });
    std::lock_guard lock(registryMutex());
    registry().push_back(this);
}

void LibrarySaver::waitForSavesTo(const QString& documentsPath)
{
    std::lock_guard lock(registryMutex());
    for (LibrarySaver* saver : registry())
        if (saver->m_documentsPath == documentsPath)
            saver->waitUntilIdle();
}

LibrarySaver::~LibrarySaver()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    std::lock_guard lock(registryMutex());
    std::erase(registry(), this);
}

uint64_t LibrarySaver::save(LibrarySnapshotPtr snapshot)
{
    uint64_t number;
    {
        std::lock_guard lock(m_mutex);
        number = ++m_lastNumber;
        m_waiting = std::move(snapshot);
        m_waitingNumber = number;
    }
    m_wake.notify_one();
    return number;
}

LibrarySaver::Result LibrarySaver::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_waiting && !m_writing; });
    return m_last;
}

void LibrarySaver::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_waiting || m_stop; });
        if (!m_waiting)
            return; // stopped with nothing left to write
        const LibrarySnapshotPtr snapshot = std::move(m_waiting);
        const uint64_t number = m_waitingNumber;
        m_waiting.reset();
        m_writing = true;
        lock.unlock();
        const Result result = write(number, snapshot);
        if (m_finished)
            m_finished(result);
        lock.lock();
        m_last = result;
        m_writing = false;
        m_idle.notify_all();
    }
}

LibrarySaver::Result LibrarySaver::write(uint64_t number, const LibrarySnapshotPtr& snapshot)
{
    Result result;
    result.number = number;
    const LibrarySnapshot& library = *snapshot;
    if (alreadyWritten(library))
        return result;
    m_written.reset();
    FileStamps stamps;
    const QDir docs(m_documentsPath);
    const std::pair<QString, QByteArray> files[] = {{kCategoriesFile, categoriesArchive(library)},
                                                    {kRecordingsFile, recordingsArchive(library)}};
    for (size_t i = 0; i < std::size(files); ++i) {
        const auto& [name, data] = files[i];
        const QString path = docs.filePath(name);
        // Never written through a link that leads out of the folder (one made while the
        // program runs): the file it points to is not the library's.
        if (QFileInfo(path).isSymLink() && DocumentPath::resolve(m_documentsPath, name).isEmpty()) {
            result.error =
                QCoreApplication::translate("LibrarySaver", "%1 leads outside the documents folder")
                    .arg(name);
            qCWarning(lcCore).noquote() << "Not writing" << path << ":" << result.error
                                        << "- the file it leads to is left as it is";
            result.saved = false;
            break;
        }
        // A file that already holds these bytes is left alone: a save with nothing changed (the
        // one at quit, say) neither rewrites nor syncs a large archive.
        if (!AtomicFile::holds(path, data) && !AtomicFile::write(path, data, &result.error)) {
            qCWarning(lcCore).noquote() << "Could not write" << path << ":" << result.error
                                        << "- the previous file is kept";
            result.saved = false;
            break;
        }
        // Stamped at once, so that a change another program makes while the other file is
        // written is not taken for this write.
        stamps[i] = stampOf(path);
    }
    if (result.saved) {
        m_written = snapshot;
        m_writtenStamps = stamps;
    }
    return result;
}

bool LibrarySaver::alreadyWritten(const LibrarySnapshot& library) const
{
    if (!m_written)
        return false;
    // Entries are never changed once shared, so the same entries archive to the same bytes.
    const LibrarySnapshot& written = *m_written;
    if (written.categories != library.categories ||
        written.recordings.size() != library.recordings.size())
        return false;
    for (size_t i = 0; i < library.recordings.size(); ++i) {
        if (written.recordings.shared(i) != library.recordings.shared(i))
            return false;
    }
    // A file gone since (even one removed the moment it was written) is written again.
    return std::all_of(m_writtenStamps.begin(), m_writtenStamps.end(), [](const FileStamp& stamp) {
        return stamp.exists() && stampOf(stamp.path) == stamp;
    });
}

LibrarySaver::FileStamp LibrarySaver::stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {path, -1, {}};
    return {path, info.size(), info.lastModified()};
}

QByteArray LibrarySaver::categoriesArchive(const LibrarySnapshot& library)
{
    std::vector<Category> categories;
    categories.reserve(size_t(library.categories.size()));
    for (const QString& name : library.categories)
        categories.emplace_back(name);
    return archiveOf(categories);
}

QByteArray LibrarySaver::recordingsArchive(const LibrarySnapshot& library)
{
    std::vector<ArchivableEntry> entries;
    entries.reserve(library.recordings.size());
    for (const auto& entry : library.recordings)
        entries.emplace_back(entry);
    return archiveOf(entries);
}
