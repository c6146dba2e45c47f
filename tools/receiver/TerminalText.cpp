// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminalText.h"

#include <QList>

namespace {

QString hex(char32_t value, int digits)
{
    return QString::number(uint(value), 16).rightJustified(digits, QLatin1Char('0'));
}

} // namespace

QString TerminalText::escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        switch (c) {
        case U'\\':
            out += QLatin1String("\\\\");
            continue;
        case U'"':
            out += QLatin1String("\\\"");
            continue;
        case 0:
            out += QLatin1String("\\0");
            continue;
        case U'\t':
            out += QLatin1String("\\t");
            continue;
        case U'\n':
            out += QLatin1String("\\n");
            continue;
        case U'\r':
            out += QLatin1String("\\r");
            continue;
        default:
            break;
        }
        const QChar::Category category = QChar::category(c);
        if (c < 0x20 || c == 0x7f)
            out += QLatin1String("\\x") + hex(c, 2);
        else if (category == QChar::Other_Control || category == QChar::Other_Format ||
                 category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            out +=
                (c > 0xffff ? QLatin1String("\\U") + hex(c, 8) : QLatin1String("\\u") + hex(c, 4));
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}
