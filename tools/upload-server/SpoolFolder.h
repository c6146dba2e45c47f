// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The folder uploads wait in until they are mailed. It must be this user's own: a real folder
// (not a link), owned by this user and closed to everyone else, so that nobody can put a link
// in place of an upload. Its files are reached only through a descriptor of the folder, never
// through a link, and every part is appended to the very file the first part created.
class SpoolFolder
{
public:
    SpoolFolder() = default;
    ~SpoolFolder();
    SpoolFolder(SpoolFolder&& other) noexcept;
    SpoolFolder& operator=(SpoolFolder&& other) noexcept;
    SpoolFolder(const SpoolFolder&) = delete;
    SpoolFolder& operator=(const SpoolFolder&) = delete;

    // "sonavell-upload-server" in $XDG_RUNTIME_DIR; where that is not set, in $XDG_STATE_HOME
    // (by default ~/.local/state).
    static std::filesystem::path defaultPath();

    // Creates the folder (mode 0700, with missing parents) or takes the one that is there, and
    // checks it. False, with the reason in `error`, for a folder this user must not spool in.
    bool open(const std::filesystem::path& path, std::string& error);
    const std::filesystem::path& path() const { return m_path; }

    // Writes `data` at the end of the file `name`. With `inode` 0 the file is created, and must
    // not exist yet; its inode is stored in `inode`. Otherwise the file must be that same file.
    bool append(const std::string& name, std::string_view data, ino_t& inode,
                std::string& error) const;
    // The file `name`, opened for reading when it is the file with `inode`; -1 otherwise.
    int openForReading(const std::string& name, ino_t inode) const;
    void remove(const std::string& name) const;
    // The names of the folder's entries.
    std::vector<std::string> entries() const;

private:
    int m_fd = -1;
    std::filesystem::path m_path;
};
