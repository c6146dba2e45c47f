// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/CompiledDateFormat.h"

#include <QDateTime>

#include <algorithm>

namespace {

// The length of the run of equal characters that starts `text`.
qsizetype runLength(QStringView text)
{
    qsizetype n = 1;
    while (n < text.size() && text[n] == text[0])
        ++n;
    return n;
}

// Reads a quoted text that starts at `i` ("'" opens it, "''" is a quote), as QLocale does.
QString readQuoted(QStringView format, qsizetype& i)
{
    ++i;
    if (i == format.size())
        return {};
    if (format[i] == u'\'') {
        ++i;
        return QStringLiteral("'");
    }
    QString text;
    while (i < format.size()) {
        if (format[i] == u'\'') {
            if (i + 1 < format.size() && format[i + 1] == u'\'') {
                text.append(u'\'');
                i += 2;
            } else {
                break;
            }
        } else {
            text.append(format[i++]);
        }
    }
    if (i < format.size())
        ++i;
    return text;
}

// Whether the format shows AM or PM anywhere outside quotes: then "h" counts hours 1 to 12.
bool showsAmPm(QStringView format)
{
    qsizetype i = 0;
    while (i < format.size()) {
        if (format[i] == u'\'') {
            readQuoted(format, i);
            continue;
        }
        if (format[i] == u'a' || format[i] == u'A')
            return true;
        ++i;
    }
    return false;
}

void appendNumber(QString& out, int value, int width)
{
    if (value >= 10 || width == 2)
        out.append(QChar(u'0' + value / 10 % 10));
    out.append(QChar(u'0' + value % 10));
}

// Dates that show every field with one and two digits, before and after noon and midnight.
const QDateTime kSamples[] = {
    QDateTime(QDate(2001, 2, 3), QTime(0, 4, 5)),
    QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)),
    QDateTime(QDate(2024, 10, 9), QTime(12, 30, 0)),
    QDateTime(QDate(2010, 7, 21), QTime(9, 15, 41)),
    QDateTime(QDate(2033, 11, 28), QTime(13, 0, 9)),
};

} // namespace

CompiledDateFormat CompiledDateFormat::shortFormat(const QLocale& locale)
{
    CompiledDateFormat format;
    format.compile(
        locale, locale.dateTimeFormat(QLocale::ShortFormat),
        [&](const QDateTime& sample) { return locale.toString(sample, QLocale::ShortFormat); });
    return format;
}

CompiledDateFormat::CompiledDateFormat(const QLocale& locale, const QString& format)
{
    compile(locale, format,
            [&](const QDateTime& sample) { return locale.toString(sample, format); });
}

void CompiledDateFormat::compile(const QLocale& locale, const QString& format,
                                 const std::function<QString(const QDateTime&)>& reference)
{
    if (!parse(locale, format))
        return;
    for (const QDateTime& sample : kSamples) {
        if (this->format(sample.date(), sample.time()) != reference(sample)) {
            m_valid = false;
            m_pieces.clear();
            return;
        }
    }
}

// Reads the format the way QLocale does: a run of one field letter is one field, as long as
// that field's longest form, and what is left of the run starts the next field.
bool CompiledDateFormat::parse(const QLocale& locale, const QString& format)
{
    if (locale.zeroDigit() != QLatin1String("0"))
        return false;
    const bool twelveHour = showsAmPm(format);
    auto addText = [this](const QString& text) {
        if (!m_pieces.empty() && m_pieces.back().field == Field::Text)
            m_pieces.back().text += text;
        else
            m_pieces.push_back({Field::Text, 1, text, {}, {}, {}});
    };
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        if (c == u'\'') {
            addText(readQuoted(format, i));
            continue;
        }
        const qsizetype run = runLength(QStringView(format).mid(i));
        qsizetype used = run;
        switch (c.unicode()) {
        case 'y':
            if (run == 1) {
                addText(c);
            } else {
                used = run >= 4 ? 4 : 2;
                m_pieces.push_back({used == 4 ? Field::Year4 : Field::Year2, 2, {}, {}, {}, {}});
            }
            break;
        case 'M':
        case 'd':
        case 'h':
        case 'H':
        case 'm':
        case 's': {
            if ((c == u'M' || c == u'd') && run >= 3) {
                // Names of months and days, short or long: as QLocale writes each one alone.
                used = std::min<qsizetype>(run, 4);
                const QString token(used, c);
                Piece piece{c == u'M' ? Field::MonthName : Field::DayName, 1, {}, {}, {}, {}};
                const int count = c == u'M' ? 12 : 7;
                for (int k = 0; k < count; ++k) {
                    // 1 January 2001 was a Monday, day 1 of the week.
                    const QDate date = c == u'M' ? QDate(2001, k + 1, 1) : QDate(2001, 1, k + 1);
                    piece.names.push_back(locale.toString(date, token));
                }
                m_pieces.push_back(std::move(piece));
                break;
            }
            used = std::min<qsizetype>(run, 2);
            Field field = Field::Second;
            if (c == u'M')
                field = Field::Month;
            else if (c == u'd')
                field = Field::Day;
            else if (c == u'h')
                field = twelveHour ? Field::Hour12 : Field::Hour24;
            else if (c == u'H')
                field = Field::Hour24;
            else if (c == u'm')
                field = Field::Minute;
            m_pieces.push_back({field, int(used), {}, {}, {}, {}});
            break;
        }
        case 'a':
        case 'A': {
            // "AP" or "A": upper case; "ap" or "a": lower case; "Ap" or "aP": as the locale has it.
            const bool withP =
                i + 1 < format.size() && (format[i + 1] == u'p' || format[i + 1] == u'P');
            used = withP ? 2 : 1;
            Piece piece{Field::AmPm, 1, {}, locale.amText(), locale.pmText(), {}};
            if (c == u'A' && (!withP || format[i + 1] == u'P')) {
                piece.am = piece.am.toUpper();
                piece.pm = piece.pm.toUpper();
            } else if (c == u'a' && (!withP || format[i + 1] == u'p')) {
                piece.am = piece.am.toLower();
                piece.pm = piece.pm.toLower();
            }
            m_pieces.push_back(std::move(piece));
            break;
        }
        case 'z':
        case 't':
            return false; // fractions of seconds, time zones
        default:
            addText(QString(run, c));
            break;
        }
        i += used;
    }
    m_valid = true;
    return true;
}

QString CompiledDateFormat::format(QDate date, QTime time) const
{
    if (!m_valid || !date.isValid() || !time.isValid() || date.year() < 1000 || date.year() > 9999)
        return {};
    QString out;
    out.reserve(24);
    for (const Piece& piece : m_pieces) {
        switch (piece.field) {
        case Field::Text:
            out += piece.text;
            break;
        case Field::Day:
            appendNumber(out, date.day(), piece.width);
            break;
        case Field::Month:
            appendNumber(out, date.month(), piece.width);
            break;
        case Field::MonthName:
            out += piece.names[size_t(date.month() - 1)];
            break;
        case Field::DayName:
            out += piece.names[size_t(date.dayOfWeek() - 1)];
            break;
        case Field::Year2:
            appendNumber(out, date.year() % 100, 2);
            break;
        case Field::Year4:
            appendNumber(out, date.year() / 100, 2);
            appendNumber(out, date.year() % 100, 2);
            break;
        case Field::Hour12: {
            const int hour = time.hour() % 12;
            appendNumber(out, hour == 0 ? 12 : hour, piece.width);
            break;
        }
        case Field::Hour24:
            appendNumber(out, time.hour(), piece.width);
            break;
        case Field::Minute:
            appendNumber(out, time.minute(), piece.width);
            break;
        case Field::Second:
            appendNumber(out, time.second(), piece.width);
            break;
        case Field::AmPm:
            out += time.hour() < 12 ? piece.am : piece.pm;
            break;
        }
    }
    return out;
}
