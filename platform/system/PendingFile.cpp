// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/PendingFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMostNumbers = 10000;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PendingFile::PendingFile(QString folder)
    : m_folder(std::move(folder))
{
}

PendingFile::~PendingFile()
{
    discard();
}

bool PendingFile::open()
{
    discard();
    const QByteArray folder = QFile::encodeName(m_folder);
    m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        QByteArray pattern = folder + "/.incoming-XXXXXX";
        m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (m_fd >= 0) {
            // As an unnamed file would be: readable by all, less what the umask takes away.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(m_fd, 0644 & ~mask);
            m_hiddenPath = QFile::decodeName(pattern);
        }
    }
    if (m_fd < 0) {
        m_error = systemError();
        return false;
    }
    m_size = 0;
    return true;
}

bool PendingFile::write(const char* data, qint64 length)
{
    if (m_fd < 0)
        return false;
    while (length > 0) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(length));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = systemError();
            return false;
        }
        data += n;
        length -= n;
        m_size += n;
    }
    return true;
}

QString PendingFile::numberedName(const QString& fileName, int number)
{
    if (number <= 1)
        return fileName;
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString extension = dot > 0 ? fileName.mid(dot) : QString();
    return QStringLiteral("%1 (%2)%3").arg(stem, QString::number(number), extension);
}

bool PendingFile::link(const QString& target)
{
    const QByteArray to = QFile::encodeName(target);
    if (m_hiddenPath.isEmpty()) {
        const QByteArray from = "/proc/self/fd/" + QByteArray::number(m_fd);
        return ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) ==
               0;
    }
    return ::link(QFile::encodeName(m_hiddenPath).constData(), to.constData()) == 0;
}

QString PendingFile::commit(const QString& fileName)
{
    if (m_fd < 0) {
        m_error = QStringLiteral("no file is open");
        return {};
    }
    if (::fsync(m_fd) != 0) {
        m_error = systemError();
        return {};
    }
    for (int number = 1; number <= kMostNumbers; ++number) {
        const QString target = m_folder + QLatin1Char('/') + numberedName(fileName, number);
        // Linking fails when the name exists, so no file is ever replaced.
        if (link(target)) {
            discard();
            return target;
        }
        if (errno != EEXIST) {
            m_error = systemError();
            return {};
        }
    }
    m_error = QStringLiteral("every numbered name is taken");
    return {};
}

void PendingFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_hiddenPath.isEmpty())
        ::unlink(QFile::encodeName(m_hiddenPath).constData());
    m_hiddenPath.clear();
    m_size = 0;
}
