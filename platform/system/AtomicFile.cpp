// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

bool AtomicFile::holds(const QString& path, const QByteArray& data)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() != data.size())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kPiece = 1 << 20;
    QByteArray piece;
    for (qint64 at = 0; at < data.size(); at += piece.size()) {
        piece = file.read(kPiece);
        if (piece.isEmpty() || at + piece.size() > data.size() ||
            std::memcmp(piece.constData(), data.constData() + at, size_t(piece.size())) != 0)
            return false;
    }
    // Nothing beyond: the file did not grow while it was read.
    return file.read(1).isEmpty();
}

bool AtomicFile::write(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    auto fail = [&](const QString& reason) {
        file.cancelWriting();
        if (error)
            *error = reason;
        return false;
    };
    // Unbuffered, so that every write's error is seen here with its reason: a buffered error is
    // lost before the commit, which would then rename a short file over the good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    errno = 0;
    if (file.write(data) != data.size() || !file.flush())
        return fail(errno ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString());
    // A full disk may only show when the data reaches it.
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
