// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/LocalTime.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>

namespace {

// Runs the test in a zone with daylight saving time, given as a rule so that no zone file is
// needed, and restores the zone afterwards.
class LocalTimeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hadZone = qEnvironmentVariableIsSet("TZ");
        m_zone = qgetenv("TZ");
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        ::tzset();
    }
    void TearDown() override
    {
        if (m_hadZone)
            qputenv("TZ", m_zone);
        else
            qunsetenv("TZ");
        ::tzset();
    }

private:
    bool m_hadZone = false;
    QByteArray m_zone;
};

} // namespace

TEST_F(LocalTimeTest, GivesTheFieldsAndOffsetOfQtsLocalTime)
{
    const QTimeZone utc = QTimeZone::utc();
    const QList<QDateTime> moments = {
        QDateTime(QDate(2009, 1, 1), QTime(0, 0), utc),
        QDateTime(QDate(2009, 7, 1), QTime(12, 30, 15, 250), utc),
        // Either side of the spring and autumn changes.
        QDateTime(QDate(2021, 3, 28), QTime(0, 59, 59, 999), utc),
        QDateTime(QDate(2021, 3, 28), QTime(1, 0), utc),
        QDateTime(QDate(2021, 10, 31), QTime(0, 30), utc),
        QDateTime(QDate(2021, 10, 31), QTime(1, 30), utc),
        // Before 1970, with milliseconds: the second is rounded down, not towards zero.
        QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 500), utc),
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(2030, 6, 1), QTime(8, 0), Qt::LocalTime),
    };
    for (const QDateTime& moment : moments) {
        const QDateTime local = LocalTime::fromMoment(moment);
        const QDateTime expected = moment.toLocalTime();
        ASSERT_TRUE(local.isValid()) << moment.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_EQ(local.date(), expected.date()) << expected.toString().toStdString();
        EXPECT_EQ(local.time(), expected.time()) << expected.toString().toStdString();
        EXPECT_EQ(local.offsetFromUtc(), expected.offsetFromUtc());
        EXPECT_EQ(local, moment) << "the same moment";
    }
    EXPECT_EQ(LocalTime::fromMoment(QDateTime(QDate(2021, 7, 1), QTime(0, 0), utc)).offsetFromUtc(),
              7200);
}

TEST_F(LocalTimeTest, AnInvalidMomentStaysInvalid)
{
    EXPECT_FALSE(LocalTime::fromMoment(QDateTime()).isValid());
}
