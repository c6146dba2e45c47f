#include "platform/system/AddressBook.h"

#include "platform/system/PlatformSystemLog.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

QStringList AddressBook::defaultSources(const QString& contactsPath)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QStringList sources{data + QStringLiteral("/kpeoplevcard"), data + QStringLiteral("/contacts")};
    if (!contactsPath.isEmpty())
        sources << QDir::fromNativeSeparators(contactsPath);
    return sources;
}

std::vector<AddressBook::Person> AddressBook::load(const QStringList& sources)
{
    QStringList files;
    for (const QString& source : sources) {
        const QFileInfo info(source);
        if (info.isDir()) {
            const QDir dir(source);
            for (const QString& name :
                 dir.entryList({QStringLiteral("*.vcf"), QStringLiteral("*.vcard")},
                               QDir::Files | QDir::Readable, QDir::Name))
                files << dir.filePath(name);
        } else if (info.isFile()) {
            files << source;
        }
    }

    std::vector<Person> people;
    QSet<QString> seen;
    for (const QString& path : files) {
        QFile file(path);
        if (file.size() > kMaxFileBytes) {
            qCWarning(lcPlatformSystem) << "Contacts file too large, skipped:" << path;
            continue;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            qCWarning(lcPlatformSystem)
                << "Cannot read contacts file" << path << file.errorString();
            continue;
        }
        for (Person& person : VCardReader::read(file.readAll())) {
            const QString key = person.name + QChar(0) + person.emails.join(QChar(0));
            if (seen.contains(key))
                continue;
            seen.insert(key);
            people.push_back(std::move(person));
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(people.begin(), people.end(), [&collator](const Person& a, const Person& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return people;
}
