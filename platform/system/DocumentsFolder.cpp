// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/DocumentsFolder.h"

#include "platform/system/PlatformSystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool isEmptyFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink() &&
           QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                              QDir::NoDotAndDotDot);
}

} // namespace

QString DocumentsFolder::standardPath(const QString& dataHome)
{
    return QDir::cleanPath(dataHome + QStringLiteral("/Sonavell/Documents"));
}

QString DocumentsFolder::standardPath()
{
    return standardPath(dataHome());
}

QString DocumentsFolder::earlierPath(const QString& dataHome)
{
    return QDir::cleanPath(dataHome + QStringLiteral("/Sonavell/Sonavell/Documents"));
}

QString DocumentsFolder::settle(const QString& dataHome)
{
    const QString standard = standardPath(dataHome);
    const QString earlier = earlierPath(dataHome);
    if (!QFileInfo(earlier).isDir())
        return standard;

    const QFileInfo standardInfo(standard);
    if (standardInfo.exists() || standardInfo.isSymLink()) {
        if (!isEmptyFolder(standard)) {
            qCInfo(lcPlatformSystem).noquote()
                << "The documents folder of an earlier version is left as it is at" << earlier
                << "because" << standard << "already holds files";
            return standard;
        }
        // Made but never filled (by hand, or by a run that was given another folder).
        QDir().rmdir(standard);
    }
    const QByteArray from = QFile::encodeName(earlier);
    const QByteArray to = QFile::encodeName(standard);
    // rename(2) moves the folder in one step; it never replaces a folder that holds files.
    if (std::rename(from.constData(), to.constData()) != 0) {
        qCWarning(lcPlatformSystem).noquote()
            << "Cannot move the documents folder" << earlier << "to" << standard << "("
            << QString::fromLocal8Bit(std::strerror(errno)) << "); going on using" << earlier;
        return earlier;
    }
    // The application folder that held it, now empty; rmdir leaves it when anything is left.
    QDir().rmdir(QFileInfo(earlier).absolutePath());
    qCInfo(lcPlatformSystem).noquote()
        << "Moved the documents folder from" << earlier << "to" << standard;
    return standard;
}

QString DocumentsFolder::settle()
{
    return settle(dataHome());
}
