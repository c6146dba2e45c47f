#include "sharing/SharingPageCache.h"

#include "sharing/SharingPages.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// "No category" gets a key of its own that no request path can produce (a category name never
// holds a NUL character).
QString keyFor(const QString& category)
{
    return category.isNull() ? QString(QChar(0)) : category;
}

// Writes all the bytes to the descriptor; false when it cannot.
bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

// The bytes of a page file, read back.
QByteArray readPageFile(int fd, qint64 length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size_t(length - got), off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        got += n;
    }
    return bytes;
}

} // namespace

void SharingPageCache::setFileFolder(const QString& folder)
{
    std::lock_guard lock(m_mutex);
    m_fileFolder = folder;
    m_fileFolderMade = false;
}

int SharingPageCache::makePageFile(const QByteArray& bytes)
{
    QString folder;
    {
        std::lock_guard lock(m_mutex);
        if (!m_fileFolder.isEmpty() && !m_fileFolderMade)
            m_fileFolderMade = QDir().mkpath(m_fileFolder);
        if (m_fileFolderMade)
            folder = m_fileFolder;
    }
    if (!folder.isEmpty()) {
        const QByteArray path = QFile::encodeName(folder);
        int fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0 && errno == ENOENT && QDir().mkpath(folder)) // removed meanwhile
            fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) {
            if (writeAll(fd, bytes))
                return fd;
            ::close(fd);
        }
    }
    const int fd = ::memfd_create("sonavell-page", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    if (!writeAll(fd, bytes)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    return fd;
}

SharingPageCache::PageFileHandle::~PageFileHandle()
{
    ::close(descriptor);
}

SharingPageCache::Page* SharingPageCache::findPage(const LibrarySnapshot& library,
                                                   const QString& documentsPath, const QString& key,
                                                   const QByteArray& head)
{
    if (m_version != library.version || m_documentsPath != documentsPath) {
        m_pages.clear();
        m_version = library.version;
        m_documentsPath = documentsPath;
    }
    for (Page& kept : m_pages) {
        // A head from headFile is the very buffer the page was made with.
        if (kept.category == key && (kept.head.isSharedWith(head) || kept.head == head))
            return &kept;
    }
    return nullptr;
}

SharingPageCache::Page* SharingPageCache::keepPage(const LibrarySnapshot& library,
                                                   const QString& documentsPath, Page page)
{
    if (m_version != library.version || m_documentsPath != documentsPath)
        return nullptr;
    if (Page* kept = findPage(library, documentsPath, page.category, page.head)) {
        // Another thread built it meanwhile: what it lacks is added.
        if (kept->page.isNull())
            kept->page = page.page;
        if (!kept->file)
            kept->file = page.file;
        return kept;
    }
    if (m_pages.size() >= size_t(kMaxEntries))
        m_pages.clear();
    m_pages.push_back(std::move(page));
    return &m_pages.back();
}

QByteArray SharingPageCache::page(const LibrarySnapshot& library, const QString& documentsPath,
                                  const QString& category, const QByteArray& head)
{
    if (library.version == 0)
        return SharingPages::page(head, library, documentsPath, category);
    const QString key = keyFor(category);
    std::shared_ptr<PageFileHandle> file;
    qint64 length = 0;
    {
        std::lock_guard lock(m_mutex);
        if (const Page* kept = findPage(library, documentsPath, key, head)) {
            if (!kept->page.isNull())
                return kept->page;
            file = kept->file;
            length = kept->length;
        }
    }
    // Built (or read back from its file) outside the lock: another thread may do the same
    // meanwhile, harmlessly.
    QByteArray bytes = file ? readPageFile(file->descriptor, length) : QByteArray();
    if (bytes.isNull())
        bytes = SharingPages::page(head, library, documentsPath, category);
    std::lock_guard lock(m_mutex);
    Page* kept = keepPage(library, documentsPath, Page{key, head, bytes, nullptr, bytes.size()});
    return kept ? kept->page : bytes;
}

SharingPageCache::File SharingPageCache::pageFile(const LibrarySnapshot& library,
                                                  const QString& documentsPath,
                                                  const QString& category, const QByteArray& head)
{
    File answer;
    if (library.version == 0)
        return answer;
    const QString key = keyFor(category);
    QByteArray bytes;
    std::shared_ptr<PageFileHandle> file;
    qint64 length = 0;
    {
        std::lock_guard lock(m_mutex);
        if (const Page* kept = findPage(library, documentsPath, key, head)) {
            file = kept->file;
            bytes = kept->page;
            length = kept->length;
        }
    }
    if (!file) {
        if (bytes.isNull())
            bytes = SharingPages::page(head, library, documentsPath, category);
        const int fd = makePageFile(bytes);
        if (fd < 0)
            return answer;
        file = std::make_shared<PageFileHandle>(fd);
        std::lock_guard lock(m_mutex);
        // The file holds the bytes now; a page kept for sending alone keeps no other copy.
        length = bytes.size();
        if (Page* kept =
                keepPage(library, documentsPath, Page{key, head, QByteArray(), file, length}))
            file = kept->file;
    }
    answer.descriptor = ::fcntl(file->descriptor, F_DUPFD_CLOEXEC, 0);
    answer.length = answer.descriptor >= 0 ? length : 0;
    return answer;
}

QByteArray SharingPageCache::documents(const LibrarySnapshot& library, const QString& documentsPath,
                                       const QString& category)
{
    return page(library, documentsPath, category, QByteArray());
}

QByteArray SharingPageCache::headFile(const QString& path)
{
    struct stat info
    {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0 ||
        !S_ISREG(info.st_mode))
        return {};
    FileState state;
    state.device = uint64_t(info.st_dev);
    state.inode = uint64_t(info.st_ino);
    state.size = int64_t(info.st_size);
    state.modified = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    state.changed = int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_heads.constFind(path);
        if (found != m_heads.constEnd() && found->settled && found->state == state)
            return found->bytes;
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t readAt = int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    QByteArray bytes;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bytes = file.readAll();
    file.close();
    // A change after the state was taken shows as a new state next time, unless it falls into
    // the same tick of the file system's clock as the state's: only a file left alone for a
    // while is trusted to be what was read.
    const int64_t settle = int64_t(kSettleSeconds) * 1000000000;
    HeadFile kept{state, readAt - state.modified > settle && readAt - state.changed > settle,
                  bytes};
    std::lock_guard lock(m_mutex);
    ++m_headReads;
    if (m_heads.size() >= kMaxHeadFiles && !m_heads.contains(path))
        m_heads.clear();
    m_heads.insert(path, kept);
    return bytes;
}

int SharingPageCache::headFileReads() const
{
    std::lock_guard lock(m_mutex);
    return m_headReads;
}
