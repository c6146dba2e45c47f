// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"
#include "platform/audio/AudioConverter.h"

#include <QString>

#include <atomic>
#include <optional>

// The web server's cache of memos converted to Opus and FLAC, so that "/Documents/<name>.opus"
// and ".flac" can be served for every shared WAV like any file, with byte ranges.
//
// A copy is named after its memo's file and that file's size and modification time: a memo that
// changes (an append) gets a new copy, and the old one is pruned as stale. Copies are written by
// AudioConverter under a temporary name and renamed into place, so a reader finds either the
// whole copy or none. Used from the server's service thread and its conversion workers; every
// operation works on the file system alone and keeps no state between calls.
class ConvertedCopies
{
public:
    struct Request
    {
        QString wavPath;  // the memo's file
        QString copyPath; // where its copy is (or will be) kept
        AudioConverter::Format format = AudioConverter::Format::Opus;
    };

    // An empty cacheFolder means there is no cache: no copy is ever offered.
    ConvertedCopies(QString documentsPath, QString cacheFolder);

    // The folder the application keeps the copies of the library in `documentsPath` in: one per
    // library below "Sonavell/converted" in the user's cache folder (XDG_CACHE_HOME, ~/.cache by
    // default), so that pruning one library never touches another's copies.
    static QString defaultCacheFolder(const QString& documentsPath);

    // For a name under "/Documents/" that ends in ".opus" or ".flac": the memo it stands for (the
    // same name ending in ".wav", shared on the page, its file present) and its copy's path.
    // Nothing for any other name, a hidden memo, or a memo whose file is missing.
    std::optional<Request> requestFor(const LibrarySnapshot& library, const QString& name) const;

    // Makes the copy; false when the memo cannot be converted (the reason is logged).
    static bool convert(const Request& request, const std::atomic<bool>* cancel);

    // Removes every copy that no shared memo of the library has any more (deleted, hidden or
    // changed memos). Copies still being written are left alone.
    void prune(const LibrarySnapshot& library) const;

    const QString& cacheFolder() const { return m_cacheFolder; }

private:
    // The start of the copies' names of the memo in `filename` (its name's hash).
    static QString nameHash(const QString& filename);
    // The copy's file name for the memo's file at `wavPath`; empty when it is not a regular file.
    static QString copyName(const QString& filename, const QString& wavPath,
                            AudioConverter::Format format);

    QString m_documentsPath;
    QString m_cacheFolder;
};
