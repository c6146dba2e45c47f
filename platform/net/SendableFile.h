// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

// Bytes kept in a file of their own for answers that HttpConnection sends with sendfile, so that
// the kernel hands them to the socket without copying them through the program. The file has no
// name (O_TMPFILE) in the given folder, whose file system keeps its pages in large pieces that
// sendfile moves cheaply; without a folder, or where its file system cannot make such a file, it
// is an in-memory file (memfd, sealed against change). The file goes when the object and every
// answer opened on it are gone. Never changed once made; safe to share between threads.
class SendableFile
{
public:
    // A file holding the bytes, or null when none can be made. The folder is created if needed.
    static std::shared_ptr<const SendableFile> make(const QByteArray& bytes, const QString& folder);
    ~SendableFile();
    SendableFile(const SendableFile&) = delete;
    SendableFile& operator=(const SendableFile&) = delete;

    qint64 size() const { return m_size; }
    // A device of its own on the file, for an answer (unbuffered, read by offset: its position
    // is shared with the other answers'); null when no descriptor is left.
    std::unique_ptr<QFile> open() const;
    // The bytes, read back; null when they cannot be read.
    QByteArray readAll() const;

private:
    SendableFile(int descriptor, qint64 size);

    const int m_descriptor;
    const qint64 m_size;
};
