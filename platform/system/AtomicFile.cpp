#include "platform/system/AtomicFile.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

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
