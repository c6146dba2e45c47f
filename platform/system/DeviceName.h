// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The name under which the user knows this machine.
class DeviceName
{
public:
    // The pretty host name from /etc/machine-info (its surrounding quotes removed), else the
    // host name.
    static QString current();
};
