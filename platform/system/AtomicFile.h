// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's contents all at once: the data goes to a temporary file beside it, every
// write, the flush and the sync to disk are checked, and only a complete file is renamed over
// the old one. On any failure the old file stays as it was, byte for byte.
class AtomicFile
{
public:
    // True when `path` now holds exactly `data`; otherwise false with the reason in `error`.
    static bool write(const QString& path, const QByteArray& data, QString* error = nullptr);
    // True when `path` is a regular file that already holds exactly `data`, so a write would
    // change nothing. Read in pieces and compared as it goes: a file of another size is not
    // read at all.
    static bool holds(const QString& path, const QByteArray& data);
};
