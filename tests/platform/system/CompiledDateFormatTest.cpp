// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/CompiledDateFormat.h"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

namespace {

// Every hour, with minutes and seconds of one and two digits, on days and months of one and two
// digits, in a spread of years.
std::vector<QDateTime> sampleMoments()
{
    std::vector<QDateTime> moments;
    int n = 0;
    for (int year : {1000, 1970, 1999, 2000, 2009, 2026, 9999})
        for (int hour = 0; hour < 24; ++hour, ++n)
            moments.emplace_back(QDate(year, 1 + n % 12, 1 + n * 7 % 31 % 28),
                                 QTime(hour, n * 13 % 60, n * 29 % 60));
    return moments;
}

// For every locale Qt knows, a valid short format writes exactly what QLocale writes, and the
// common numeric formats are valid.
TEST(CompiledDateFormatTest, ShortFormatsWriteWhatQLocaleWrites)
{
    const std::vector<QDateTime> moments = sampleMoments();
    int valid = 0;
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale& locale : locales) {
        const CompiledDateFormat format = CompiledDateFormat::shortFormat(locale);
        if (!format.isValid())
            continue;
        ++valid;
        for (const QDateTime& moment : moments)
            ASSERT_EQ(format.format(moment.date(), moment.time()),
                      locale.toString(moment, QLocale::ShortFormat))
                << locale.name().toStdString() << " "
                << locale.dateTimeFormat(QLocale::ShortFormat).toStdString();
    }
    EXPECT_GT(valid, locales.size() / 2);
    for (const char* name : {"C", "en_US", "en_GB", "de_DE", "fr_FR", "ja_JP", "zh_CN", "ko_KR"})
        EXPECT_TRUE(CompiledDateFormat::shortFormat(QLocale(name)).isValid()) << name;
}

// Formats in QLocale's language, written as QLocale writes them; fields this class does not
// write (fractions of seconds, zones) make the format invalid instead of wrong.
TEST(CompiledDateFormatTest, FormatsWriteWhatQLocaleWritesOrAreLeftToIt)
{
    const std::vector<QDateTime> moments = sampleMoments();
    const QLocale english("en_US");
    for (const char* pattern :
         {"d/M/yy h:mm ap", "dd.MM.yyyy HH:mm:ss", "yyyyy-MM-dd hhh:mm A", "y yyy 'o''clock' ''",
          "h 'h' mm AP", "h:mm Ap", "H:mm aP", "'unclosed", "hh:mm a, d/M", "Qq!%", "ddd d MMM",
          "dddd, MMMM d, yyyy", "dddddd MMMMM"}) {
        const CompiledDateFormat format(english, pattern);
        ASSERT_TRUE(format.isValid()) << pattern;
        for (const QDateTime& moment : moments)
            ASSERT_EQ(format.format(moment.date(), moment.time()),
                      english.toString(moment, QString(pattern)))
                << pattern;
    }
    for (const char* pattern : {"HH:mm:ss.zzz", "HH:mm t", "z"})
        EXPECT_FALSE(CompiledDateFormat(english, pattern).isValid()) << pattern;
    EXPECT_FALSE(CompiledDateFormat(QLocale("ar_EG"), "d/M/yy").isValid()); // Arabic digits

    // Years QLocale pads or signs are left to it.
    const CompiledDateFormat format(english, "d/M/yyyy");
    EXPECT_TRUE(format.format(QDate(999, 1, 1), QTime(0, 0)).isNull());
    EXPECT_TRUE(format.format(QDate(-5, 1, 1), QTime(0, 0)).isNull());
    EXPECT_TRUE(format.format(QDate(), QTime(0, 0)).isNull());
}

} // namespace
