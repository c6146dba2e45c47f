// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/ArchiveCopies.h"

#include "platform/system/PlatformSystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMddHHmmss");
constexpr qsizetype kStampLength = 14;

// "<file>.<reason>-": what every copy's name starts with.
QString prefixOf(const QString& fileName, const QString& reason)
{
    return fileName + QLatin1Char('.') + reason + QLatin1Char('-');
}

// Whether a file of this name is there, a link that leads nowhere included.
bool taken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The stamp and the number of a copy, read from what follows its prefix: 14 digits, then
// nothing (the first copy of that second) or "-" and a number from 2.
struct Stamp
{
    QString time;
    int number = 1;
};

std::optional<Stamp> readStamp(QStringView rest)
{
    if (rest.size() < kStampLength)
        return std::nullopt;
    const QStringView time = rest.left(kStampLength);
    if (!std::all_of(time.begin(), time.end(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return std::nullopt;
    Stamp stamp{time.toString(), 1};
    if (rest.size() > kStampLength) {
        if (rest[kStampLength] != QLatin1Char('-'))
            return std::nullopt;
        bool ok = false;
        stamp.number = rest.mid(kStampLength + 1).toInt(&ok);
        if (!ok || stamp.number < 2)
            return std::nullopt;
    }
    return stamp;
}

} // namespace

QString ArchiveCopies::stampedName(const QString& path, const QString& reason,
                                   const QDateTime& when)
{
    const QString first = prefixOf(path, reason) + when.toString(kStampFormat);
    QString name = first;
    for (int number = 2; taken(name); ++number)
        name = first + QLatin1Char('-') + QString::number(number);
    return name;
}

QStringList ArchiveCopies::copiesOf(const QString& path, const QString& reason)
{
    const QFileInfo archive(path);
    const QString prefix = prefixOf(archive.fileName(), reason);
    const QDir folder = archive.dir();
    // Every entry is looked at by name: a name filter would read wildcards in the file's name.
    std::vector<std::pair<Stamp, QString>> found;
    const QStringList names =
        folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!name.startsWith(prefix))
            continue;
        if (const std::optional<Stamp> stamp = readStamp(QStringView(name).mid(prefix.size())))
            found.emplace_back(*stamp, name);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first.time != b.first.time ? a.first.time < b.first.time
                                            : a.first.number < b.first.number;
    });
    QStringList result;
    for (const auto& [stamp, name] : found)
        result << folder.filePath(name);
    return result;
}

QString ArchiveCopies::keepCopy(const QString& path, const QString& reason, const QDateTime& when,
                                int keep, QString* error)
{
    const QString copy = stampedName(path, reason, when);
    QFile archive(path);
    if (!archive.copy(copy)) {
        if (error)
            *error = archive.errorString();
        return {};
    }
    if (keep <= 0)
        return copy;
    // The newest copies by their stamps stay; the one just made stays in any case, even when the
    // clock was set back since an older one was made.
    QStringList older = copiesOf(path, reason);
    const QString copyName = QFileInfo(copy).fileName();
    older.erase(
        std::remove_if(older.begin(), older.end(),
                       [&](const QString& p) { return QFileInfo(p).fileName() == copyName; }),
        older.end());
    const qsizetype surplus = older.size() - (keep - 1);
    for (qsizetype i = 0; i < surplus; ++i) {
        if (QFile::remove(older[i]))
            qCInfo(lcPlatformSystem).noquote() << "Removed the older copy" << older[i];
        else
            qCWarning(lcPlatformSystem).noquote() << "Cannot remove the older copy" << older[i];
    }
    return copy;
}
