// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/archive/ArchivedObject.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <vector>

// An immutable copy of the library that the main thread publishes after every change. Worker
// threads (the web server's service thread, the thread that writes the archives) read the latest
// snapshot and never touch the live lists. Every value is a copy, so a snapshot stays valid
// however the library changes. The recording entries are immutable and shared between
// snapshots: the library makes a new entry only for a record that changed since the last one.
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

    // The entries in library order. Reading gives the shared entries themselves; changing one
    // through a non-const access first copies it when another snapshot shares it, so a snapshot
    // built by hand never changes the one it was copied from.
    class RecordingList
    {
    public:
        using EntryPtr = std::shared_ptr<const RecordingEntry>;

        class const_iterator
        {
        public:
            using iterator_category = std::random_access_iterator_tag;
            using value_type = RecordingEntry;
            using difference_type = std::ptrdiff_t;
            using pointer = const RecordingEntry*;
            using reference = const RecordingEntry&;

            const_iterator() = default;
            explicit const_iterator(std::vector<EntryPtr>::const_iterator at)
                : m_at(at)
            {
            }
            reference operator*() const { return **m_at; }
            pointer operator->() const { return m_at->get(); }
            const_iterator& operator++()
            {
                ++m_at;
                return *this;
            }
            const_iterator operator++(int) { return const_iterator(m_at++); }
            const_iterator& operator--()
            {
                --m_at;
                return *this;
            }
            const_iterator& operator+=(difference_type n)
            {
                m_at += n;
                return *this;
            }
            const_iterator operator+(difference_type n) const { return const_iterator(m_at + n); }
            difference_type operator-(const const_iterator& other) const
            {
                return m_at - other.m_at;
            }
            reference operator[](difference_type n) const { return *m_at[n]; }
            bool operator==(const const_iterator& other) const { return m_at == other.m_at; }
            auto operator<=>(const const_iterator& other) const { return m_at <=> other.m_at; }

        private:
            std::vector<EntryPtr>::const_iterator m_at;
        };

        RecordingList() = default;
        RecordingList(std::initializer_list<RecordingEntry> entries)
        {
            m_entries.reserve(entries.size());
            for (const RecordingEntry& e : entries)
                push_back(e);
        }

        size_t size() const { return m_entries.size(); }
        bool empty() const { return m_entries.empty(); }
        void reserve(size_t n) { m_entries.reserve(n); }
        void clear() { m_entries.clear(); }
        void push_back(RecordingEntry entry)
        {
            m_entries.push_back(std::make_shared<RecordingEntry>(std::move(entry)));
        }
        // Shares an entry that is never changed again.
        void push_back(EntryPtr entry) { m_entries.push_back(std::move(entry)); }

        const RecordingEntry& operator[](size_t i) const { return *m_entries[i]; }
        RecordingEntry& operator[](size_t i) { return writable(i); }
        const RecordingEntry& front() const { return *m_entries.front(); }
        RecordingEntry& front() { return writable(0); }
        const RecordingEntry& back() const { return *m_entries.back(); }
        RecordingEntry& back() { return writable(m_entries.size() - 1); }
        const EntryPtr& shared(size_t i) const { return m_entries[i]; }

        const_iterator begin() const { return const_iterator(m_entries.cbegin()); }
        const_iterator end() const { return const_iterator(m_entries.cend()); }

    private:
        RecordingEntry& writable(size_t i)
        {
            EntryPtr& entry = m_entries[i];
            if (entry.use_count() > 1)
                entry = std::make_shared<RecordingEntry>(*entry);
            // Every entry is made as a non-const object; only the list hands out const ones.
            return const_cast<RecordingEntry&>(*entry);
        }

        std::vector<EntryPtr> m_entries;
    };

    QString documentsPath;
    QStringList categories;   // category names, in display order
    RecordingList recordings; // library order
    // Numbers the snapshots one library publishes, from 1 on: work derived from a snapshot
    // (rendered pages) can be kept for as long as the number stays the same. 0 marks a snapshot
    // made by hand, from which nothing is kept.
    uint64_t version = 0;
};

using LibrarySnapshotPtr = std::shared_ptr<const LibrarySnapshot>;
