// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// The entries of one folder, read with a single directory listing and sorted by name (the order
// of QDir::Name: case-sensitive, by UTF-16 code unit). Types come from the listing itself; only
// links and entries of unknown type are looked up. Sizes are looked up relative to the open
// folder, which costs a fraction of a lookup by full path. The folder is closed again before the
// constructor returns, so a deep walk holds no descriptors.
class FolderListing
{
public:
    struct Entry
    {
        QString name;
        bool isDir = false;     // links followed
        bool isSymLink = false; // the entry itself is a symbolic link
        // For the entries that were asked for: the size in bytes of what the entry names, links
        // followed, 0 when there is nothing to measure (a dangling link), as QFileInfo::size()
        // gives it. -1 for the others.
        int64_t size = -1;
    };

    // Reads `folder`; no entries when it cannot be read. "." and ".." are left out. The size is
    // looked up for every entry that is not a folder and whose name `wantsSize` accepts.
    explicit FolderListing(const QString& folder,
                           const std::function<bool(const QString& name)>& wantsSize = {});

    const std::vector<Entry>& entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};
