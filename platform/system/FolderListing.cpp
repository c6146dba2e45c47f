// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/FolderListing.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

FolderListing::FolderListing(const QString& folder,
                             const std::function<bool(const QString&)>& wantsSize)
{
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
        const char* name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        Entry entry;
        entry.name = QFile::decodeName(name);
        // The entry's target, links followed: looked up at most once per entry.
        struct stat target
        {
        };
        std::optional<bool> targetFound;
        const auto followTarget = [&] {
            if (!targetFound)
                targetFound = ::fstatat(fd, name, &target, 0) == 0;
            return *targetFound;
        };
        if (item->d_type == DT_DIR) {
            entry.isDir = true;
        } else if (item->d_type == DT_LNK || item->d_type == DT_UNKNOWN) {
            struct stat own
            {
            };
            entry.isSymLink =
                item->d_type == DT_LNK ||
                (::fstatat(fd, name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode));
            entry.isDir = followTarget() && S_ISDIR(target.st_mode);
        }
        if (!entry.isDir && wantsSize && wantsSize(entry.name))
            entry.size = followTarget() ? int64_t(target.st_size) : 0;
        m_entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(m_entries.begin(), m_entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
}
