// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Writes the library's two archives, "categories.plist" and then "recordings.plist", on a thread
// of its own, so that no change to the library waits for the archiver or the disk. Saves are
// written in the order they were asked for; when several wait, only the newest is written, as it
// holds everything the others would have written. Each file is replaced atomically and synced to
// disk (AtomicFile), unless it already holds the same bytes; when the first cannot be written the
// second is left alone. A snapshot with the contents of the one last written, while both files are
// as that write left them, is not archived again: the save at quit with nothing changed costs a
// comparison of the entries, not an archive of the whole library.
class LibrarySaver
{
public:
    struct Result
    {
        uint64_t number = 0; // the save this is the outcome of; 0 before any save has ended
        bool saved = true;
        QString error; // why it failed
    };

    // `finished` is called on the saving thread after each write with its outcome.
    LibrarySaver(QString documentsPath, std::function<void(const Result&)> finished);
    // Writes what still waits, then ends the thread.
    ~LibrarySaver();
    LibrarySaver(const LibrarySaver&) = delete;
    LibrarySaver& operator=(const LibrarySaver&) = delete;

    // Queues the snapshot for writing and returns its save number at once.
    uint64_t save(LibrarySnapshotPtr snapshot);
    // Blocks until nothing waits and nothing is being written; the outcome of the last write.
    Result waitUntilIdle();

    // Blocks until every saver of this process that writes into `documentsPath` is idle, so
    // that a library opened there reads what was last saved.
    static void waitForSavesTo(const QString& documentsPath);

    // The archives' bytes, exactly as the library's records would archive themselves.
    static QByteArray categoriesArchive(const LibrarySnapshot& library);
    static QByteArray recordingsArchive(const LibrarySnapshot& library);

    static const QString kCategoriesFile;
    static const QString kRecordingsFile;

private:
    // A file's path, size and modification time, to notice that another program changed it.
    struct FileStamp
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        bool exists() const { return size >= 0; }
        bool operator==(const FileStamp&) const = default;
    };
    using FileStamps = std::array<FileStamp, 2>;

    void run();
    Result write(uint64_t number, const LibrarySnapshotPtr& library);
    // True when `library` holds what the files were last written from and they are unchanged.
    bool alreadyWritten(const LibrarySnapshot& library) const;
    static FileStamp stampOf(const QString& path);

    const QString m_documentsPath;
    const std::function<void(const Result&)> m_finished;
    std::mutex m_mutex;
    std::condition_variable m_wake; // something to write, or stop
    std::condition_variable m_idle; // a write has ended
    LibrarySnapshotPtr m_waiting;
    uint64_t m_waitingNumber = 0;
    uint64_t m_lastNumber = 0;
    bool m_writing = false;
    bool m_stop = false;
    Result m_last;
    // Used by the saving thread only: the snapshot the files were last written (or found to
    // hold) from, and each file's stamp as that write left it.
    LibrarySnapshotPtr m_written;
    FileStamps m_writtenStamps;
    std::thread m_thread;
};
