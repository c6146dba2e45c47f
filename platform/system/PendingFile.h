// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A file written into a folder without a name, that appears under its name only once it is
// complete: a transfer that breaks off, or a process that dies while writing, leaves nothing
// behind. Where the file system cannot hold unnamed files, the data goes to a hidden temporary
// file in the folder that is removed when the file is discarded.
class PendingFile
{
public:
    explicit PendingFile(QString folder);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool open();
    bool write(const char* data, qint64 length);
    qint64 size() const { return m_size; }

    // Flushes the data to disk and gives the file the name `fileName` in the folder; when that
    // name is taken, "<stem> (2).<ext>", "<stem> (3).<ext>" and so on. An existing file is never
    // replaced. Returns the new path, or an empty string (see errorString()).
    QString commit(const QString& fileName);
    // Drops the data; nothing remains in the folder.
    void discard();
    QString errorString() const { return m_error; }

    // The name `fileName` takes for its `number`th candidate (1: the name itself).
    static QString numberedName(const QString& fileName, int number);

private:
    bool link(const QString& target);

    QString m_folder;
    QString m_hiddenPath; // the fallback's temporary file; empty for an unnamed file
    int m_fd = -1;
    qint64 m_size = 0;
    QString m_error;
};
