// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpoolFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kFolderName = "sonavell-upload-server";

// An environment variable that names an absolute path; empty otherwise (the base directory
// rules ignore relative ones).
std::filesystem::path absoluteFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return {};
    return value;
}

std::filesystem::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

std::string octalMode(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
    return text;
}

bool sameRegularFile(int fd, ino_t inode)
{
    struct stat status
    {
    };
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_ino == inode;
}

} // namespace

SpoolFolder::~SpoolFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

SpoolFolder::SpoolFolder(SpoolFolder&& other) noexcept
    : m_fd(other.m_fd)
    , m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

SpoolFolder& SpoolFolder::operator=(SpoolFolder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

std::filesystem::path SpoolFolder::defaultPath()
{
    if (auto runtime = absoluteFromEnvironment("XDG_RUNTIME_DIR"); !runtime.empty())
        return runtime / kFolderName;
    auto state = absoluteFromEnvironment("XDG_STATE_HOME");
    if (state.empty())
        state = homeFolder() / ".local" / "state";
    return state / kFolderName;
}

bool SpoolFolder::open(const std::filesystem::path& path, std::string& error)
{
    const std::string where = "the spool folder " + path.string();
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = systemError("cannot create " + where);
        return false;
    }
    // Opened without following a link, and checked through the descriptor: what is checked is
    // what is used.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat link
        {
        };
        error = ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)
                    ? where + " is a symbolic link; give a real folder"
                    : systemError("cannot open " + where);
        return false;
    }
    struct stat status
    {
    };
    if (fstat(fd, &status) != 0) {
        error = systemError("cannot examine " + where);
        ::close(fd);
        return false;
    }
    if (status.st_uid != geteuid()) {
        error = where + " belongs to user " + std::to_string(status.st_uid) +
                ", not to this user (" + std::to_string(geteuid()) +
                "); someone else could replace its files. Give a folder of your own";
        ::close(fd);
        return false;
    }
    if ((status.st_mode & 077) != 0) {
        error = where + " is open to other users (mode " + octalMode(status.st_mode) +
                "); make it private with chmod 700";
        ::close(fd);
        return false;
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    m_path = path;
    return true;
}

bool SpoolFolder::append(const std::string& name, std::string_view data, ino_t& inode,
                         std::string& error) const
{
    const bool create = inode == 0;
    const int flags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT | O_EXCL : O_APPEND);
    const int fd = ::openat(m_fd, name.c_str(), flags, 0600);
    if (fd < 0) {
        error = systemError("cannot open the spool file " + name);
        return false;
    }
    struct stat status
    {
    };
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        (!create && status.st_ino != inode)) {
        error = "the spool file " + name + " is not the file this upload created";
        ::close(fd);
        return false;
    }
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = systemError("cannot write the spool file " + name);
            ::close(fd);
            return false;
        }
        written += size_t(n);
    }
    if (::close(fd) != 0) {
        error = systemError("cannot write the spool file " + name);
        return false;
    }
    inode = status.st_ino;
    return true;
}

int SpoolFolder::openForReading(const std::string& name, ino_t inode) const
{
    const int fd = ::openat(m_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (!sameRegularFile(fd, inode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void SpoolFolder::remove(const std::string& name) const
{
    ::unlinkat(m_fd, name.c_str(), 0);
}

std::vector<std::string> SpoolFolder::entries() const
{
    std::vector<std::string> names;
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return names;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}
