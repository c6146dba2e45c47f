// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/system/VCardReader.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QObject;

// The user's address book: the people in the vCard files of the phone's contact store
// (~/.local/share/kpeoplevcard, one file per person), of ~/.local/share/contacts, and of a file
// or folder the user names in the settings. Read fresh on every call, so a contact added
// elsewhere shows the next time the picker opens.
class AddressBook
{
public:
    using Person = VCardReader::Person;

    // The folders above (under the user's data folder) and `contactsPath` when it is not empty.
    static QStringList defaultSources(const QString& contactsPath);

    // Every person in the sources' vCard files (a source is a file or a folder of .vcf and
    // .vcard files), ordered by name in the user's language; the same person found twice is
    // listed once. Only regular files are read (a name that leads to a device, a FIFO or a
    // socket is skipped without being opened for long); unreadable and oversized files are
    // skipped with a log line, and so is everything past kMaxTotalBytes. Reads the files on the
    // calling thread: see loadInBackground.
    static std::vector<Person> load(const QStringList& sources);

    // load() on a worker thread. `done` is called with the people on the thread of `receiver`
    // (which must have an event loop), from its event loop; never when `receiver` is destroyed
    // before the files have been read.
    static void loadInBackground(const QStringList& sources, QObject* receiver,
                                 std::function<void(std::vector<Person>)> done);

    // Larger files are not address books: more is never read from one file, whatever its size
    // said when it was opened.
    static constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;
    // The most read from all the sources together, which bounds the memory and the time one
    // load takes however many files the folders hold.
    static constexpr qint64 kMaxTotalBytes = 128 * 1024 * 1024;
};
