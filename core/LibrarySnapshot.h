#pragma once

#include "platform/archive/ArchivedObject.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

// An immutable copy of the library that the main thread publishes after every change. Worker
// threads (the web server's service thread, the thread that writes the archives) read the latest
// snapshot and never touch the live lists. Every value is a plain copy, so a snapshot stays valid
// however the library changes.
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
        // The rest of the archived record.
        QDateTime date;
        ArchivedObject::Ptr location;
        float lastPlayTime = 0;
        // The size of the WAV file in bytes when the snapshot was taken (0 when it is missing);
        // -1 when not known, for readers to measure themselves.
        int64_t fileSize = -1;
    };

    QString documentsPath;
    QStringList categories;                 // category names, in display order
    std::vector<RecordingEntry> recordings; // library order
    // Numbers the snapshots one library publishes, from 1 on: work derived from a snapshot
    // (rendered pages) can be kept for as long as the number stays the same. 0 marks a snapshot
    // made by hand, from which nothing is kept.
    uint64_t version = 0;
};

using LibrarySnapshotPtr = std::shared_ptr<const LibrarySnapshot>;
