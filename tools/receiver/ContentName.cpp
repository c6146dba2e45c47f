// SPDX-License-Identifier: GPL-3.0-or-later
#include "ContentName.h"

QString ContentName::safeFileName(const QString& announced)
{
    QString name;
    name.reserve(announced.size());
    for (const QChar c : announced) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            name += QLatin1Char('_');
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                 c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            continue;
        else
            name += c;
    }
    // No hidden files, and nothing that reads as "." or "..".
    qsizetype start = 0;
    while (start < name.size() && (name[start] == QLatin1Char('.') || name[start].isSpace()))
        ++start;
    name = name.mid(start).trimmed();

    // Cut at a character boundary (a surrogate pair stays whole).
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < name.size()) {
        const qsizetype step = name[end].isHighSurrogate() && end + 1 < name.size() ? 2 : 1;
        const qsizetype width = name.mid(end, step).toUtf8().size();
        if (bytes + width > kMaxBytes)
            break;
        bytes += width;
        end += step;
    }
    name = name.left(end).trimmed();
    return name.isEmpty() ? QStringLiteral("Memo") : name;
}
