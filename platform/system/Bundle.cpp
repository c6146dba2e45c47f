// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

QString Bundle::resourceDirectory(const QString& folder)
{
    QStringList candidates;
    const QString overridden = qEnvironmentVariable("SONAVELL_RESOURCES");
    if (!overridden.isEmpty()) {
        candidates << overridden;
    } else {
        const QString appDir = QCoreApplication::applicationDirPath();
        candidates << appDir + QStringLiteral("/../resources")
                   << appDir + QStringLiteral("/" SONAVELL_RESOURCES_FROM_BIN);
    }
    for (const QString& candidate : candidates) {
        const QString path = QDir::cleanPath(candidate + QLatin1Char('/') + folder);
        if (QFileInfo(path).isDir())
            return path;
    }
    return {};
}
