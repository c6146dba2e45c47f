// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/AddressBook.h"

#include "platform/system/PlatformSystemLog.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads the regular file at `path` (links followed) into `text` when it holds at most `limit`
// bytes. Anything else is skipped with a log line: a device such as /dev/zero would never end
// and a FIFO would block, so the file is opened without waiting and checked once it is open,
// and no more than `limit` + 1 bytes are read whatever it is.
bool readRegularFile(const QString& path, qint64 limit, QByteArray& text)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        qCWarning(lcPlatformSystem)
            << "Cannot read contacts file" << path << QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        qCWarning(lcPlatformSystem) << "Contacts file is not a regular file, skipped:" << path;
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        qCWarning(lcPlatformSystem) << "Cannot read contacts file" << path << file.errorString();
        return false;
    }
    if (qint64(info.st_size) > limit) {
        qCWarning(lcPlatformSystem) << "Contacts file too large, skipped:" << path;
        return false;
    }
    // The file may have grown since it was measured.
    text = file.read(limit + 1);
    if (text.size() > limit) {
        qCWarning(lcPlatformSystem) << "Contacts file too large, skipped:" << path;
        text.clear();
        return false;
    }
    return true;
}

} // namespace

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
    qint64 budget = kMaxTotalBytes;
    for (const QString& path : files) {
        if (budget <= 0) {
            qCWarning(lcPlatformSystem)
                << "Contacts files beyond" << kMaxTotalBytes << "bytes skipped, from" << path;
            break;
        }
        QByteArray text;
        if (!readRegularFile(path, std::min(budget, kMaxFileBytes), text))
            continue;
        budget -= text.size();
        for (Person& person : VCardReader::read(text)) {
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

void AddressBook::loadInBackground(const QStringList& sources, QObject* receiver,
                                   std::function<void(std::vector<Person>)> done)
{
    // Whether the receiver is still there, known on both threads: the worker posts the result
    // while it holds the lock, and the receiver's destruction waits for it, so the result is
    // either posted before the receiver goes (and dropped with its other pending events) or not
    // posted at all.
    struct Receiver
    {
        std::mutex mutex;
        QObject* object = nullptr;
    };
    auto target = std::make_shared<Receiver>();
    target->object = receiver;
    QObject::connect(
        receiver, &QObject::destroyed, receiver,
        [target] {
            std::lock_guard lock(target->mutex);
            target->object = nullptr;
        },
        Qt::DirectConnection);
    QThreadPool::globalInstance()->start([sources, target, done = std::move(done)]() mutable {
        auto people = std::make_shared<std::vector<Person>>(load(sources));
        std::lock_guard lock(target->mutex);
        if (!target->object)
            return;
        QMetaObject::invokeMethod(
            target->object, [people, done = std::move(done)] { done(std::move(*people)); },
            Qt::QueuedConnection);
    });
}
