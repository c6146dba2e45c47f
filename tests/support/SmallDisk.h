// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <sys/resource.h>

#include <csignal>

// A real, tiny file system (tmpfs) mounted on a temporary folder, to fill up in tests. Mounting
// needs privileges; `mounted()` tells whether it worked, so a test can skip with a message.
class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes)
    {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                            options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

    // Writes a filler file until the disk refuses more; returns the bytes it took.
    qint64 fill() const
    {
        QFile filler(QDir(path()).filePath("filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return 0;
        const QByteArray block(4096, 'x');
        qint64 total = 0;
        while (filler.write(block) == block.size())
            total += block.size();
        return total;
    }
    void release() const { QFile::remove(QDir(path()).filePath("filler")); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// While alive, a write that would make any file larger than `bytes` fails with EFBIG instead of
// raising SIGXFSZ: a write failure injected in the middle of a file, for any user.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
};
