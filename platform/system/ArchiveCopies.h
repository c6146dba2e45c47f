// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// Copies of an archive file kept beside it, named after the file, why they were kept and when:
// "<file>.<reason>-yyyyMMddHHmmss" in local time, for example
// "recordings.plist.unreadable-20090415093012". A second copy for the same reason within the
// same second gets "-2", "-3", ... after the stamp, so that no copy ever replaces another.
class ArchiveCopies
{
public:
    // The name a copy of `path` kept for `reason` at `when` gets: a name no file has yet.
    static QString stampedName(const QString& path, const QString& reason, const QDateTime& when);

    // Copies `path`, byte for byte, to its stamped name. With `keep` above 0, the copies kept
    // for `reason` are then pruned to the `keep` newest by their stamps; the new copy is never
    // pruned, whatever the clock said. Returns the copy's path, or an empty string when nothing
    // could be copied (`error` then says why).
    static QString keepCopy(const QString& path, const QString& reason, const QDateTime& when,
                            int keep = 0, QString* error = nullptr);

    // The copies of `path` kept for `reason`, oldest first.
    static QStringList copiesOf(const QString& path, const QString& reason);
};
