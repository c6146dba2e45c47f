// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/SharingPageCache.h"

#include "sharing/SharingPages.h"

#include <QFile>
#include <QFileInfo>

namespace {

// "No category" gets a key of its own that no request path can produce (a category name never
// holds a NUL character).
QString keyFor(const QString& category)
{
    return category.isNull() ? QString(QChar(0)) : category;
}

} // namespace

void SharingPageCache::setFileFolder(const QString& folder)
{
    std::lock_guard lock(m_mutex);
    m_fileFolder = folder;
}

SharingPageCache::Page* SharingPageCache::findPage(const LibrarySnapshot& library,
                                                   const QString& documentsPath, const QString& key,
                                                   const QByteArray& head)
{
    if (m_version != library.version || m_documentsPath != documentsPath) {
        m_pages.clear();
        m_version = library.version;
        m_documentsPath = documentsPath;
    }
    for (Page& kept : m_pages) {
        // A head from headFile is the very buffer the page was made with.
        if (kept.category == key && (kept.head.isSharedWith(head) || kept.head == head))
            return &kept;
    }
    return nullptr;
}

SharingPageCache::Page* SharingPageCache::keepPage(const LibrarySnapshot& library,
                                                   const QString& documentsPath, Page page)
{
    if (m_version != library.version || m_documentsPath != documentsPath)
        return nullptr;
    if (Page* kept = findPage(library, documentsPath, page.category, page.head)) {
        // Another thread built it meanwhile: what it lacks is added.
        if (kept->page.isNull())
            kept->page = page.page;
        if (!kept->file)
            kept->file = page.file;
        return kept;
    }
    if (m_pages.size() >= size_t(kMaxEntries))
        m_pages.clear();
    m_pages.push_back(std::move(page));
    return &m_pages.back();
}

QByteArray SharingPageCache::page(const LibrarySnapshot& library, const QString& documentsPath,
                                  const QString& category, const QByteArray& head)
{
    if (library.version == 0)
        return SharingPages::page(head, library, documentsPath, category);
    const QString key = keyFor(category);
    std::shared_ptr<const SendableFile> file;
    {
        std::lock_guard lock(m_mutex);
        if (const Page* kept = findPage(library, documentsPath, key, head)) {
            if (!kept->page.isNull())
                return kept->page;
            file = kept->file;
        }
    }
    // Built (or read back from its file) outside the lock: another thread may do the same
    // meanwhile, harmlessly.
    QByteArray bytes = file ? file->readAll() : QByteArray();
    if (bytes.isNull())
        bytes = SharingPages::page(head, library, documentsPath, category);
    std::lock_guard lock(m_mutex);
    Page* kept = keepPage(library, documentsPath, Page{key, head, bytes, nullptr});
    return kept ? kept->page : bytes;
}

std::unique_ptr<QFile> SharingPageCache::pageFile(const LibrarySnapshot& library,
                                                  const QString& documentsPath,
                                                  const QString& category, const QByteArray& head)
{
    if (library.version == 0)
        return nullptr;
    const QString key = keyFor(category);
    QByteArray bytes;
    std::shared_ptr<const SendableFile> file;
    QString folder;
    {
        std::lock_guard lock(m_mutex);
        if (const Page* kept = findPage(library, documentsPath, key, head)) {
            file = kept->file;
            bytes = kept->page;
        }
        folder = m_fileFolder;
    }
    if (!file) {
        if (bytes.isNull())
            bytes = SharingPages::page(head, library, documentsPath, category);
        file = SendableFile::make(bytes, folder);
        if (!file)
            return nullptr;
        std::lock_guard lock(m_mutex);
        // The file holds the bytes now; a page kept for sending alone keeps no other copy.
        if (Page* kept = keepPage(library, documentsPath, Page{key, head, QByteArray(), file}))
            file = kept->file;
    }
    return file->open();
}

QByteArray SharingPageCache::documents(const LibrarySnapshot& library, const QString& documentsPath,
                                       const QString& category)
{
    return page(library, documentsPath, category, QByteArray());
}

QByteArray SharingPageCache::headFile(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    const FileState state{info.size(), info.lastModified(), info.metadataChangeTime()};
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_heads.constFind(path);
        if (found != m_heads.constEnd() && found->settled && found->state == state)
            return found->bytes;
    }
    const QDateTime readAt = QDateTime::currentDateTimeUtc();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    file.close();
    // A change after the state was taken shows as a new state next time, unless it falls into
    // the same tick of the file system's clock as the state's: only a file left alone for a
    // while is trusted to be what was read.
    const qint64 settle = qint64(kSettleSeconds) * 1000;
    const HeadFile kept{
        state, state.modified.msecsTo(readAt) > settle && state.changed.msecsTo(readAt) > settle,
        bytes};
    std::lock_guard lock(m_mutex);
    ++m_headReads;
    if (m_heads.size() >= kMaxHeadFiles && !m_heads.contains(path))
        m_heads.clear();
    m_heads.insert(path, kept);
    return bytes;
}

int SharingPageCache::headFileReads() const
{
    std::lock_guard lock(m_mutex);
    return m_headReads;
}
