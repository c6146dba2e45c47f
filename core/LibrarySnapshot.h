#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// An immutable copy of the library that the main thread publishes after every change. Worker
// threads (the web server's service thread) read the latest snapshot and never touch the live
// lists. Every value is a plain copy, so a snapshot stays valid however the library changes.
struct LibrarySnapshot
{
    struct RecordingEntry
    {
        QString filename;
        QString name;
        QString dateText; // the date formatted by the application's short date/time formatter
        double duration = 0;
        QString category;
        QString locationString; // a null string when the recording has none
        QString quality;
        int channels = 0;
        bool hideFromWebSharing = false;
    };

    QString documentsPath;
    QStringList categories;                 // category names, in display order
    std::vector<RecordingEntry> recordings; // library order
};

using LibrarySnapshotPtr = std::shared_ptr<const LibrarySnapshot>;
