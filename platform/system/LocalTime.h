// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// Local wall-clock time of moments, as the C library's time zone gives it. Qt's own conversion
// re-reads the system's time-zone file for every date, which dominates formatting a whole
// library's dates; this asks the C library for the zone it loaded last instead.
class LocalTime
{
public:
    // Has the C library load the system's time zone again (after a change of TZ, say).
    static void readZone();

    // The moment as a date-time carrying the local date, time and UTC offset in force at that
    // moment (the same fields QDateTime::toLocalTime gives). Invalid for an invalid moment or
    // one the C library cannot convert.
    static QDateTime fromMoment(const QDateTime& moment);
};
