// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"
#include "platform/archive/Archivable.h"
#include "platform/archive/ArchivedObject.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class KeyedUnarchiver;

// One memo: its WAV file (relative to the documents directory) and its descriptive fields.
// Its photo, when it has one, is the JPEG file of the same name with the extension "jpg".
// Null strings stand for absent values. Dates are kept in UTC (local-time arithmetic consults
// the time-zone database on every call); screens show them in local time.
class Recording : public Archivable
{
public:
    // A new recording: file "REC<stamp>.wav", dated now, quality "HQ", one channel.
    Recording(const QString& name, const QString& uuid, const QString& category,
              const QDateTime& now = QDateTime::currentDateTime());
    // Reads the archived form; absent keys give null, 0 or NO. A legacy "photo" value is
    // written out as the photo file in `documentsPath`.
    Recording(KeyedUnarchiver& coder, const QString& documentsPath);

    QString filename() const { return m_filename; }
    void setFilename(const QString& v)
    {
        m_filename = v;
        m_fileSize = -1;
        m_entry.reset();
    }
    QString name() const { return m_name; }
    const QString& nameRef() const { return m_name; }
    void setName(const QString& v)
    {
        m_name = v;
        m_searchKey.reset();
        m_entry.reset();
    }
    QDateTime date() const { return m_date; }
    void setDate(const QDateTime& v)
    {
        m_date = v.toUTC();
        m_dateText.reset();
        m_searchKey.reset();
        m_entry.reset();
    }
    double duration() const { return m_duration; }
    // A new duration means the file was (re)measured, after a take for example: its size is
    // measured again too.
    void setDuration(double v)
    {
        m_duration = v;
        m_fileSize = -1;
        m_durationText.reset();
        m_searchKey.reset();
        m_entry.reset();
    }
    QString category() const { return m_category; }
    void setCategory(const QString& v)
    {
        m_category = v;
        m_entry.reset();
    }
    ArchivedObject::Ptr location() const { return m_location; }
    void setLocation(const ArchivedObject::Ptr& v)
    {
        m_location = v;
        m_entry.reset();
    }
    QString locationString() const { return m_locationString; }
    const QString& locationStringRef() const { return m_locationString; }
    void setLocationString(const QString& v)
    {
        m_locationString = v;
        m_searchKey.reset();
        m_entry.reset();
    }
    QString quality() const { return m_quality; }
    void setQuality(const QString& v)
    {
        m_quality = v;
        m_entry.reset();
    }
    int32_t channels() const { return m_channels; }
    void setChannels(int32_t v)
    {
        m_channels = v;
        m_entry.reset();
    }
    float lastPlayTime() const { return m_lastPlayTime; }
    void setLastPlayTime(float v)
    {
        m_lastPlayTime = v;
        m_entry.reset();
    }
    bool hideFromWebSharing() const { return m_hideFromWebSharing; }
    void setHideFromWebSharing(bool v)
    {
        m_hideFromWebSharing = v;
        m_entry.reset();
    }

    // The size of the WAV file as last measured, or -1 when it has to be measured (never, or
    // since the file name or the duration changed). The library keeps it so that the shared
    // pages need not stat every file.
    int64_t knownFileSize() const { return m_fileSize; }
    void setKnownFileSize(int64_t bytes) const
    {
        if (bytes != m_fileSize)
            m_entry.reset();
        m_fileSize = bytes;
    }

    // Texts the library derives from the record for filtering and for its snapshots, kept from
    // one use to the next: each setter drops what it makes stale. Null until first stored.
    const std::optional<QString>& dateText() const { return m_dateText; }
    void setDateText(const QString& text) const { m_dateText = text; }
    const std::optional<QString>& durationText() const { return m_durationText; }
    void setDurationText(const QString& text) const { m_durationText = text; }
    // The four texts the filter searches (name, place, date and duration text), for a byte-wise
    // search: when all four are Latin-1, case-folded and joined by NUL bytes; otherwise `latin1`
    // is false and the texts themselves are searched.
    struct SearchKey
    {
        bool latin1 = false;
        QByteArray folded;
    };
    const std::optional<SearchKey>& searchKey() const { return m_searchKey; }
    void setSearchKey(SearchKey key) const { m_searchKey = std::move(key); }
    // The record's last snapshot entry (with its date text and file size), shared by every
    // snapshot until the record changes; null when it has to be made again.
    const std::shared_ptr<const LibrarySnapshot::RecordingEntry>& sharedEntry() const
    {
        return m_entry;
    }
    void setSharedEntry(std::shared_ptr<const LibrarySnapshot::RecordingEntry> entry) const
    {
        m_entry = std::move(entry);
    }

    // The record's fields as a snapshot entry; dateText and fileSize are left for the caller.
    LibrarySnapshot::RecordingEntry entry() const;
    // Writes a snapshot entry exactly as encodeWithCoder writes the record it was taken from.
    static void encodeEntry(KeyedArchiver& coder, const LibrarySnapshot::RecordingEntry& entry);

    // The photo file's name: the file name with its extension replaced by "jpg".
    QString photoFilename() const;
    // The photo's file name for a recording whose WAV file has this name.
    static QString photoFilenameFor(const QString& filename);
    // A thumbnail of the photo (120 x 121 for portrait photos, 120 x 90 otherwise), or a null
    // image when the photo is missing or unreadable.
    QImage getPhotoImage(const QString& documentsPath) const;
    static QImage resizedImage(const QImage& image, const QSize& size);

    // The location object as text: "<latitude, longitude> +/- accuracy m @ time" with the parts
    // the object holds; an empty string when there is no location or it holds no coordinates.
    QString locationDescription() const;

    QString description() const;

    QString archiveClassName() const override { return QStringLiteral("Recording"); }
    void encodeWithCoder(KeyedArchiver& coder) const override;

private:
    QString m_filename;
    QString m_name;
    QDateTime m_date;
    double m_duration = 0;
    QString m_category;
    ArchivedObject::Ptr m_location;
    QString m_locationString;
    QString m_quality;
    int32_t m_channels = 0;
    float m_lastPlayTime = 0;
    bool m_hideFromWebSharing = false;
    mutable int64_t m_fileSize = -1;
    mutable std::optional<QString> m_dateText;
    mutable std::optional<QString> m_durationText;
    mutable std::optional<SearchKey> m_searchKey;
    mutable std::shared_ptr<const LibrarySnapshot::RecordingEntry> m_entry;
};
