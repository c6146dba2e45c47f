// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/archive/KeyedArchiver.h"

#include "platform/archive/Archivable.h"
#include "platform/archive/BinaryPropertyListWriter.h"
#include "platform/archive/PlistNodes.h"

#include <plist/plist.h>

#include <QTimeZone>

namespace {

// Seconds between 1970-01-01 and 2001-01-01 UTC, the reference date of archived dates.
constexpr qint64 kReferenceDateMSecs = 978307200000LL;

} // namespace

KeyedArchiver::KeyedArchiver()
{
    m_entries.push_back(m_writer.string(QStringLiteral("$null")));
}

KeyedArchiver::~KeyedArchiver() = default;

uint64_t KeyedArchiver::reserveEntry()
{
    m_entries.push_back(0);
    return m_entries.size() - 1;
}

uint64_t KeyedArchiver::newEntry(BinaryPropertyListWriter::Ref ref)
{
    m_entries.push_back(ref);
    return m_entries.size() - 1;
}

uint64_t KeyedArchiver::classReference(const QString& className, const QStringList& hierarchy)
{
    auto it = m_classes.constFind(className);
    if (it != m_classes.constEnd())
        return *it;
    std::vector<BinaryPropertyListWriter::Ref> classes;
    for (const QString& c : hierarchy)
        classes.push_back(m_writer.string(c));
    const uint64_t uid = newEntry(m_writer.dictionary(
        {{m_writer.string(QStringLiteral("$classname")), m_writer.string(className)},
         {m_writer.string(QStringLiteral("$classes")), m_writer.array(classes)}}));
    m_classes.insert(className, uid);
    return uid;
}

void KeyedArchiver::setKey(const char* key, BinaryPropertyListWriter::Ref value)
{
    // Keys are string literals: their objects are found by address before by text.
    auto found = m_keys.constFind(key);
    if (found == m_keys.constEnd())
        found = m_keys.insert(key, m_writer.string(QString::fromLatin1(key)));
    m_current->emplace_back(*found, value);
}

void KeyedArchiver::encodeString(const char* key, const QString& value)
{
    const uint64_t uid = value.isNull() ? 0 : newEntry(m_writer.string(value, false));
    setKey(key, m_writer.uid(uid));
}

void KeyedArchiver::encodeDate(const char* key, const QDateTime& value)
{
    uint64_t uid = 0;
    if (value.isValid()) {
        uid = reserveEntry();
        const double seconds = double(value.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0;
        const uint64_t dateClass = classReference(
            QStringLiteral("NSDate"), {QStringLiteral("NSDate"), QStringLiteral("NSObject")});
        m_entries[uid] = m_writer.dictionary(
            {{m_writer.string(QStringLiteral("NS.time")), m_writer.real(seconds)},
             {m_writer.string(QStringLiteral("$class")), m_writer.uid(dateClass)}});
    }
    setKey(key, m_writer.uid(uid));
}

void KeyedArchiver::encodeDouble(const char* key, double value)
{
    setKey(key, m_writer.real(value));
}

void KeyedArchiver::encodeFloat(const char* key, float value)
{
    setKey(key, m_writer.real(value));
}

void KeyedArchiver::encodeInt32(const char* key, int32_t value)
{
    setKey(key, m_writer.integer(value));
}

void KeyedArchiver::encodeBool(const char* key, bool value)
{
    setKey(key, m_writer.boolean(value));
}

void KeyedArchiver::encodeObject(const char* key, const ArchivedObject::Ptr& value)
{
    setKey(key, m_writer.uid(encodeForeign(value)));
}

uint64_t KeyedArchiver::encodeForeign(const ArchivedObject::Ptr& object)
{
    if (!object)
        return 0;
    auto known = m_foreign.constFind(object.get());
    if (known != m_foreign.constEnd())
        return *known;
    const uint64_t uid = reserveEntry();
    m_foreign.insert(object.get(), uid);
    std::vector<uint64_t> childUids;
    childUids.reserve(object->children().size());
    for (const auto& child : object->children())
        childUids.push_back(encodeForeign(child));
    // The copied entry's references point into the object's children; renumber them to the
    // children's places in this archive.
    plist_t entry = plist_copy(const_cast<void*>(object->entry()));
    PlistNodes::mapReferences(
        entry, [&](uint64_t k) { return k == 0 || k > childUids.size() ? 0 : childUids[k - 1]; });
    m_entries[uid] = m_writer.node(entry);
    plist_free(entry);
    return uid;
}

uint64_t KeyedArchiver::encodeArchivable(const Archivable& object)
{
    const uint64_t uid = reserveEntry();
    const QString name = object.archiveClassName();
    std::vector<std::pair<BinaryPropertyListWriter::Ref, BinaryPropertyListWriter::Ref>> keys;
    keys.emplace_back(m_writer.string(QStringLiteral("$class")),
                      m_writer.uid(classReference(name, {name, QStringLiteral("NSObject")})));
    auto* outer = m_current;
    m_current = &keys;
    object.encodeWithCoder(*this);
    m_current = outer;
    m_entries[uid] = m_writer.dictionary(keys);
    return uid;
}

QByteArray KeyedArchiver::archivedDataWithRootArray(const std::vector<const Archivable*>& objects)
{
    KeyedArchiver archiver;
    BinaryPropertyListWriter& w = archiver.m_writer;
    const uint64_t rootUid = archiver.reserveEntry();
    std::vector<BinaryPropertyListWriter::Ref> items;
    items.reserve(objects.size());
    for (const Archivable* object : objects)
        items.push_back(w.uid(archiver.encodeArchivable(*object)));
    const uint64_t arrayClass = archiver.classReference(
        QStringLiteral("NSMutableArray"),
        {QStringLiteral("NSMutableArray"), QStringLiteral("NSArray"), QStringLiteral("NSObject")});
    archiver.m_entries[rootUid] =
        w.dictionary({{w.string(QStringLiteral("NS.objects")), w.array(items)},
                      {w.string(QStringLiteral("$class")), w.uid(arrayClass)}});

    const BinaryPropertyListWriter::Ref top =
        w.dictionary({{w.string(QStringLiteral("root")), w.uid(rootUid)}});
    const BinaryPropertyListWriter::Ref table = w.array(archiver.m_entries);
    const BinaryPropertyListWriter::Ref archive = w.dictionary(
        {{w.string(QStringLiteral("$version")), w.integer(100000)},
         {w.string(QStringLiteral("$archiver")), w.string(QStringLiteral("NSKeyedArchiver"))},
         {w.string(QStringLiteral("$top")), top},
         {w.string(QStringLiteral("$objects")), table}});
    return w.finish(archive);
}
