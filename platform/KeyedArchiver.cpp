#include "platform/KeyedArchiver.h"

#include "platform/Archivable.h"
#include "platform/BinaryPropertyListWriter.h"

#include <plist/plist.h>

#include <QTimeZone>

namespace {

// Seconds between 1970-01-01 and 2001-01-01 UTC, the reference date of archived dates.
constexpr qint64 kReferenceDateMSecs = 978307200000LL;

plist_t classEntry(const QString& className, const QStringList& hierarchy)
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "$classname", plist_new_string(className.toUtf8().constData()));
    plist_t classes = plist_new_array();
    for (const QString& c : hierarchy)
        plist_array_append_item(classes, plist_new_string(c.toUtf8().constData()));
    plist_dict_set_item(dict, "$classes", classes);
    return dict;
}

// Renumbers the references inside a copied foreign entry to the positions they were given in
// the archive being written.
void renumber(plist_t node, const std::vector<uint64_t>& uids)
{
    switch (plist_get_node_type(node)) {
    case PLIST_UID: {
        uint64_t k = 0;
        plist_get_uid_val(node, &k);
        plist_set_uid_val(node, (k == 0 || k > uids.size()) ? 0 : uids[k - 1]);
        break;
    }
    case PLIST_ARRAY: {
        plist_array_iter iter = nullptr;
        plist_array_new_iter(node, &iter);
        for (;;) {
            plist_t item = nullptr;
            plist_array_next_item(node, iter, &item);
            if (!item)
                break;
            renumber(item, uids);
        }
        free(iter);
    } break;
    case PLIST_DICT: {
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value)
                break;
            free(key);
            renumber(value, uids);
        }
        free(it);
        break;
    }
    default:
        break;
    }
}

} // namespace

KeyedArchiver::KeyedArchiver()
{
    m_objects.push_back(plist_new_string("$null"));
}

KeyedArchiver::~KeyedArchiver()
{
    for (plist_t entry : m_objects)
        if (entry)
            plist_free(entry);
}

uint64_t KeyedArchiver::appendObject(plist_t entry)
{
    m_objects.push_back(entry);
    return m_objects.size() - 1;
}

// Objects get their number before their contents are encoded (as the platform's archiver
// numbers them); the entry is filled in afterwards with setObject.
uint64_t KeyedArchiver::reserveObject()
{
    return appendObject(nullptr);
}

void KeyedArchiver::setObject(uint64_t uid, plist_t entry)
{
    m_objects[uid] = entry;
}

uint64_t KeyedArchiver::classReference(const QString& className, const QStringList& hierarchy)
{
    auto it = m_classes.constFind(className);
    if (it != m_classes.constEnd())
        return *it;
    const uint64_t uid = appendObject(classEntry(className, hierarchy));
    m_classes.insert(className, uid);
    return uid;
}

void KeyedArchiver::setKey(const char* key, plist_t value)
{
    plist_dict_set_item(m_current, key, value);
}

void KeyedArchiver::encodeString(const char* key, const QString& value)
{
    const uint64_t uid =
        value.isNull() ? 0 : appendObject(plist_new_string(value.toUtf8().constData()));
    setKey(key, plist_new_uid(uid));
}

void KeyedArchiver::encodeDate(const char* key, const QDateTime& value)
{
    uint64_t uid = 0;
    if (value.isValid()) {
        uid = reserveObject();
        plist_t dict = plist_new_dict();
        const double seconds = double(value.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0;
        plist_dict_set_item(dict, "NS.time", plist_new_real(seconds));
        plist_dict_set_item(
            dict, "$class",
            plist_new_uid(classReference(QStringLiteral("NSDate"),
                                         {QStringLiteral("NSDate"), QStringLiteral("NSObject")})));
        setObject(uid, dict);
    }
    setKey(key, plist_new_uid(uid));
}

void KeyedArchiver::encodeDouble(const char* key, double value)
{
    setKey(key, plist_new_real(value));
}

void KeyedArchiver::encodeFloat(const char* key, float value)
{
    setKey(key, plist_new_real(value));
}

void KeyedArchiver::encodeInt32(const char* key, int32_t value)
{
    setKey(key, plist_new_uint(uint64_t(int64_t(value))));
}

void KeyedArchiver::encodeBool(const char* key, bool value)
{
    setKey(key, plist_new_bool(value));
}

void KeyedArchiver::encodeObject(const char* key, const ArchivedObject::Ptr& value)
{
    setKey(key, plist_new_uid(encodeForeign(value)));
}

uint64_t KeyedArchiver::encodeForeign(const ArchivedObject::Ptr& object)
{
    if (!object)
        return 0;
    auto known = m_foreign.constFind(object.get());
    if (known != m_foreign.constEnd())
        return *known;
    const uint64_t uid = reserveObject();
    m_foreign.insert(object.get(), uid);
    std::vector<uint64_t> childUids;
    childUids.reserve(object->children().size());
    for (const auto& child : object->children())
        childUids.push_back(encodeForeign(child));
    plist_t entry = plist_copy(const_cast<void*>(object->entry()));
    renumber(entry, childUids);
    setObject(uid, entry);
    return uid;
}

uint64_t KeyedArchiver::encodeArchivable(const Archivable& object)
{
    const uint64_t uid = reserveObject();
    plist_t dict = plist_new_dict();
    const QString name = object.archiveClassName();
    plist_dict_set_item(dict, "$class",
                        plist_new_uid(classReference(name, {name, QStringLiteral("NSObject")})));
    plist_t outer = m_current;
    m_current = dict;
    object.encodeWithCoder(*this);
    m_current = outer;
    setObject(uid, dict);
    return uid;
}

QByteArray KeyedArchiver::archivedDataWithRootArray(const std::vector<const Archivable*>& objects)
{
    KeyedArchiver archiver;
    const uint64_t rootUid = archiver.reserveObject();
    plist_t items = plist_new_array();
    for (const Archivable* object : objects)
        plist_array_append_item(items, plist_new_uid(archiver.encodeArchivable(*object)));
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "NS.objects", items);
    plist_dict_set_item(root, "$class",
                        plist_new_uid(archiver.classReference(QStringLiteral("NSMutableArray"),
                                                              {QStringLiteral("NSMutableArray"),
                                                               QStringLiteral("NSArray"),
                                                               QStringLiteral("NSObject")})));
    archiver.setObject(rootUid, root);

    plist_t archive = plist_new_dict();
    plist_dict_set_item(archive, "$version", plist_new_uint(100000));
    plist_dict_set_item(archive, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(rootUid));
    plist_dict_set_item(archive, "$top", top);
    plist_t table = plist_new_array();
    for (plist_t entry : archiver.m_objects)
        plist_array_append_item(table, entry);
    archiver.m_objects.clear(); // the archive owns the entries now
    plist_dict_set_item(archive, "$objects", table);

    QByteArray data = BinaryPropertyListWriter::write(archive);
    plist_free(archive);
    return data;
}
