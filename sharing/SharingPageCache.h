#pragma once

#include "core/LibrarySnapshot.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>

#include <cstdint>
#include <mutex>

// The library pages (a head, the category list, then one category's table), kept for as long as
// the library's snapshot stays the same. A new snapshot version empties it; snapshots made by
// hand (version 0) are never kept. A kept page is handed out as the same implicitly shared
// buffer every time, so any number of connections sending it hold one copy between them. Safe to
// use from several threads.
class SharingPageCache
{
public:
    // `head` followed by SharingPages::categoriesContent and SharingPages::filesContent for the
    // category (null for none), from the cache when this snapshot's page was made before with
    // the same head bytes.
    QByteArray page(const LibrarySnapshot& library, const QString& documentsPath,
                    const QString& category, const QByteArray& head);
    // The same without a head: the generated documents alone.
    QByteArray documents(const LibrarySnapshot& library, const QString& documentsPath,
                         const QString& category);

    // Distinct pages kept per snapshot; requests for more start the collection afresh, so
    // made-up category names cannot make it grow without end.
    static constexpr int kMaxEntries = 64;

private:
    std::mutex m_mutex;
    uint64_t m_version = 0;
    QString m_documentsPath;
    // By category (the null string for no category) and head.
    QHash<QPair<QString, QByteArray>, QByteArray> m_pages;
};
