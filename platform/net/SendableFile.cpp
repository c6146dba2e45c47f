// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/SendableFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

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

// A nameless file in the folder holding the bytes; -1 when the folder's file system cannot make
// one.
int fileInFolder(const QByteArray& bytes, const QString& folder)
{
    if (folder.isEmpty())
        return -1;
    const QByteArray path = QFile::encodeName(folder);
    int fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && errno == ENOENT && QDir().mkpath(folder))
        fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (!writeAll(fd, bytes)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int fileInMemory(const QByteArray& bytes)
{
    const int fd = ::memfd_create("sonavell-answer", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    if (!writeAll(fd, bytes)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    return fd;
}

} // namespace

std::shared_ptr<const SendableFile> SendableFile::make(const QByteArray& bytes,
                                                       const QString& folder)
{
    int fd = fileInFolder(bytes, folder);
    if (fd < 0)
        fd = fileInMemory(bytes);
    if (fd < 0)
        return nullptr;
    return std::shared_ptr<const SendableFile>(new SendableFile(fd, bytes.size()));
}

SendableFile::SendableFile(int descriptor, qint64 size)
    : m_descriptor(descriptor)
    , m_size(size)
{
}

SendableFile::~SendableFile()
{
    ::close(m_descriptor);
}

std::unique_ptr<QFile> SendableFile::open() const
{
    const int fd = ::fcntl(m_descriptor, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

QByteArray SendableFile::readAll() const
{
    QByteArray bytes(m_size, Qt::Uninitialized);
    qint64 got = 0;
    while (got < m_size) {
        const ssize_t n =
            ::pread(m_descriptor, bytes.data() + got, size_t(m_size - got), off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        got += n;
    }
    return bytes;
}
