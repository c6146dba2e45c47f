#pragma once

#include "core/LibrarySnapshot.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <mutex>

// The generated part of the library pages (the category list followed by one category's table),
// kept for as long as the library's snapshot stays the same. A new snapshot version empties it;
// snapshots made by hand (version 0) are never kept. Safe to use from several threads.
class SharingPageCache
{
public:
    // SharingPages::categoriesContent followed by SharingPages::filesContent for the category
    // (null for none), from the cache when this snapshot's document was made before.
    QByteArray documents(const LibrarySnapshot& library, const QString& documentsPath,
                         const QString& category);

    // Distinct categories kept per snapshot; requests for more start the collection afresh, so
    // made-up category names cannot make it grow without end.
    static constexpr int kMaxEntries = 64;

private:
    std::mutex m_mutex;
    uint64_t m_version = 0;
    QString m_documentsPath;
    QHash<QString, QByteArray> m_documents; // by category; the null string for no category
};
