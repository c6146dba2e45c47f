// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// The addresses under which other machines may reach this one.
class HostAddresses
{
public:
    // The IPv4 addresses of the interfaces that are up, loopback excluded, in interface order.
    static QStringList ipv4();
};
