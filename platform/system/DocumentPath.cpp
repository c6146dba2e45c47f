// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/DocumentPath.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

QString DocumentPath::resolve(const QString& folder, const QString& name)
{
    if (name.isEmpty())
        return {};
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return {};
    const QFileInfo target(QDir::cleanPath(QDir(root).filePath(name)));
    QString real;
    if (target.exists()) {
        real = target.canonicalFilePath();
    } else {
        if (target.isSymLink())
            return {}; // a dangling link
        const QString parent = target.absoluteDir().canonicalPath();
        if (parent.isEmpty())
            return {};
        real = QDir(parent).filePath(target.fileName());
    }
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return real.startsWith(prefix) && real.size() > prefix.size() ? real : QString();
}

DocumentPath::Kind DocumentPath::kind(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return Kind::Missing;
    return S_ISREG(info.st_mode) ? Kind::Regular : Kind::Other;
}

QString DocumentPath::resolveFile(const QString& folder, const QString& name)
{
    const QString path = resolve(folder, name);
    return !path.isEmpty() && kind(path) != Kind::Other ? path : QString();
}
