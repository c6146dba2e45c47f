// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

#include <functional>
#include <vector>

// A locale's date-and-time format, read once, that writes the fields itself. QLocale reads the
// format again for every date it formats, which is most of the cost of formatting a whole
// library's dates. Formats with fields this class does not write (fractions of seconds, time
// zones) and locales whose digits are not ASCII are left to QLocale: the format is then not
// valid. So is a format whose texts differ from QLocale's for a set of sample dates, checked
// when the format is made.
class CompiledDateFormat
{
public:
    CompiledDateFormat() = default;
    // The format QLocale::toString(QDateTime, QLocale::ShortFormat) uses for `locale`.
    static CompiledDateFormat shortFormat(const QLocale& locale);
    // `format` in QLocale's date-and-time format language, as QLocale::toString(QDateTime,
    // QString) writes it for `locale`.
    CompiledDateFormat(const QLocale& locale, const QString& format);

    bool isValid() const { return m_valid; }

    // The text QLocale gives for the local date and time, or a null string when the format is
    // not valid or the year lies outside 1000–9999 (whose padding and signs QLocale handles).
    QString format(QDate date, QTime time) const;

private:
    enum class Field
    {
        Text,
        Day,
        Month,
        MonthName,
        DayName,
        Year2,
        Year4,
        Hour12,
        Hour24,
        Minute,
        Second,
        AmPm,
    };
    struct Piece
    {
        Field field;
        int width = 1;              // digits: 1 (no padding) or 2
        QString text;               // Text
        QString am, pm;             // AmPm: the texts as this piece writes them
        std::vector<QString> names; // MonthName, DayName: by month, by day of the week from Monday
    };

    // Reads `format`, then checks it against QLocale's texts (`reference`) for sample dates.
    void compile(const QLocale& locale, const QString& format,
                 const std::function<QString(const QDateTime&)>& reference);
    bool parse(const QLocale& locale, const QString& format);

    std::vector<Piece> m_pieces;
    bool m_valid = false;
};
