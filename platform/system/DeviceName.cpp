// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/DeviceName.h"

#include <QByteArray>
#include <QFile>
#include <QSysInfo>

QString DeviceName::current()
{
    QFile machineInfo(QStringLiteral("/etc/machine-info"));
    if (machineInfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : machineInfo.readAll().split('\n')) {
            if (!line.startsWith("PRETTY_HOSTNAME="))
                continue;
            QString value = QString::fromUtf8(line.mid(16)).trimmed();
            if (value.size() >= 2 &&
                (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))))
                value = value.mid(1, value.size() - 2);
            if (!value.isEmpty())
                return value;
        }
    }
    return QSysInfo::machineHostName();
}
