// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/LocalTime.h"

#include <ctime>

void LocalTime::readZone()
{
    ::tzset();
}

QDateTime LocalTime::fromMoment(const QDateTime& moment)
{
    if (!moment.isValid())
        return {};
    const qint64 msecs = moment.toMSecsSinceEpoch();
    // Whole seconds rounded down, so that moments before 1970 keep a positive remainder.
    qint64 seconds = msecs / 1000;
    qint64 remainder = msecs % 1000;
    if (remainder < 0) {
        --seconds;
        remainder += 1000;
    }
    const std::time_t when = std::time_t(seconds);
    std::tm local{};
    if (qint64(when) != seconds || !::localtime_r(&when, &local))
        return {};
    const QDate date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    const QTime time(local.tm_hour, local.tm_min, local.tm_sec, int(remainder));
    if (!date.isValid() || !time.isValid()) // a leap second, say
        return {};
    return QDateTime(date, time, Qt::OffsetFromUTC, int(local.tm_gmtoff));
}
