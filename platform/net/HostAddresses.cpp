// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/HostAddresses.h"

#include <QNetworkInterface>

QStringList HostAddresses::ipv4()
{
    QStringList result;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                result << address.toString();
        }
    }
    return result;
}
