// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

// Decoded pictures kept together in one file, so that a later start draws them without
// decoding them again. Reading maps the file into memory and the images point into the mapping
// (it is released with the last of them), so a hit costs no copy. Each entry records the files
// it was decoded from, so the caller can tell a picture that changed since. The file belongs to
// this machine: numbers are in its byte order. A missing, damaged or foreign file reads as empty.
class DecodedImageCache
{
public:
    // What a picture was decoded from: the size and modification time of a file, or no file.
    struct Source
    {
        int64_t size = -1; // -1: there is no such file
        int64_t modifiedNs = 0;
        bool operator==(const Source&) const = default;
    };

    struct Entry
    {
        QString name;
        // The double-density file and the plain one, in the order they are tried.
        Source doubleSource;
        Source singleSource;
        QImage image; // null when neither file could be read
        bool doubleDensity = false;
    };

    // The source as the file `path` stands now.
    static Source sourceOf(const QString& path);

    // The entries of the cache at `cachePath`, made for the pictures of the folder `dir`.
    static std::vector<Entry> read(const QString& cachePath, const QString& dir);

    // Replaces the cache at `cachePath` with `entries` in one step (a reader sees the old file or
    // the new one). Images in a format with a colour table are left out. False when it could
    // not be written.
    static bool write(const QString& cachePath, const QString& dir,
                      const std::vector<Entry>& entries);
};
