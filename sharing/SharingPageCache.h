// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"
#include "platform/net/SendableFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The library pages (a head, the category list, then one category's table), kept for as long as
// the library's snapshot stays the same. A new snapshot version empties it; snapshots made by
// hand (version 0) are never kept. A kept page is handed out as the same implicitly shared
// buffer every time, so any number of connections sending it hold one copy between them. The
// head files the pages start with are kept too, each with the state of its file when it was
// read. Safe to use from several threads.
class SharingPageCache
{
public:
    // `head` followed by SharingPages::categoriesContent and SharingPages::filesContent for the
    // category (null for none), built in one buffer (SharingPages::page), from the cache when
    // this snapshot's page was made before with the same head bytes.
    QByteArray page(const LibrarySnapshot& library, const QString& documentsPath,
                    const QString& category, const QByteArray& head);
    // The same page as a file of its own (SendableFile: nameless, in the folder set with
    // setFileFolder, else in memory), for HttpConnection to send with sendfile: a device of its
    // own on the file for one answer, or null for a snapshot made by hand, or where no file can
    // be made (the caller sends page()'s bytes instead). A page kept for this alone holds its
    // bytes in the file only; the file goes with the page and the last answer sending it.
    std::unique_ptr<QFile> pageFile(const LibrarySnapshot& library, const QString& documentsPath,
                                    const QString& category, const QByteArray& head);
    // The folder for page files (created when needed); empty for in-memory files.
    void setFileFolder(const QString& folder);

    // The same without a head: the generated documents alone.
    QByteArray documents(const LibrarySnapshot& library, const QString& documentsPath,
                         const QString& category);

    // The bytes of the file at `path`, read again only when the file changed: its device,
    // inode, size, modification or change time differ from when it was last read, or it had
    // been changed within kSettleSeconds of that read (a change in the same tick of the file
    // system's clock would not show). Empty when it is not a regular file or cannot be read. A
    // file read from the cache is the same shared buffer every time.
    QByteArray headFile(const QString& path);
    // How many times headFile has read a file (for tests).
    int headFileReads() const;

    // Distinct pages kept per snapshot; requests for more start the collection afresh, so
    // made-up category names cannot make it grow without end.
    static constexpr int kMaxEntries = 64;
    // Distinct head files kept; more start that collection afresh.
    static constexpr int kMaxHeadFiles = 16;
    static constexpr int kSettleSeconds = 2;

private:
    struct Page
    {
        QString category; // QString(QChar(0)) for none
        QByteArray head;
        QByteArray page; // null when only the file holds the bytes
        std::shared_ptr<const SendableFile> file;
    };
    // The kept page for the key (under the lock), or null; the collection is emptied first when
    // the snapshot is another.
    Page* findPage(const LibrarySnapshot& library, const QString& documentsPath, const QString& key,
                   const QByteArray& head);
    // Keeps a page built for the snapshot, unless the snapshot changed meanwhile (under the
    // lock); the kept entry or null.
    Page* keepPage(const LibrarySnapshot& library, const QString& documentsPath, Page page);
    // What tells one state of a head file from another.
    struct FileState
    {
        qint64 size = -1;
        QDateTime modified;
        QDateTime changed;
        bool operator==(const FileState&) const = default;
    };
    struct HeadFile
    {
        FileState state;
        bool settled = false; // the file had not changed for kSettleSeconds when it was read
        QByteArray bytes;
    };

    mutable std::mutex m_mutex;
    QString m_fileFolder;
    uint64_t m_version = 0;
    QString m_documentsPath;
    std::vector<Page> m_pages;
    QHash<QString, HeadFile> m_heads;
    int m_headReads = 0;
};
