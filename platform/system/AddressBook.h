#pragma once

#include "platform/system/VCardReader.h"

#include <QString>
#include <QStringList>

#include <vector>

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
    // listed once. Unreadable and oversized files are skipped with a log line.
    static std::vector<Person> load(const QStringList& sources);

    // Larger files are not address books.
    static constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;
};
