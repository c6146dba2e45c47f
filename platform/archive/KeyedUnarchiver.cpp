// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/archive/KeyedUnarchiver.h"

#include <plist/plist.h>

#include "platform/archive/PlistNodes.h"

#include <QTimeZone>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace {

constexpr qint64 kReferenceDateMSecs = 978307200000LL;
// Foreign objects nested deeper than this are cut off: no real location object comes close,
// and it bounds the work a hostile archive can cause.
constexpr int kMaxForeignDepth = 32;
// Property-list parsers recurse once per nesting level, so a hostile file nested thousands
// deep would exhaust the stack. Keyed archives nest a handful of levels; anything deeper than
// this is refused before it is parsed. (An XML file may hold twice as many elements: each
// container is one element, and the converted file gets the same allowance.)
constexpr int kMaxNesting = BinaryPropertyList::kMaxNesting;

bool xmlNestingWithinLimit(const QByteArray& data)
{
    QXmlStreamReader reader(data);
    int level = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++level > 2 * kMaxNesting)
            return false;
        if (token == QXmlStreamReader::EndElement)
            --level;
    }
    return true;
}

// Text that is not UTF-8 (a hand-made file in another encoding) is stored as it has always
// been read, each bad sequence a replacement character: the binary form would cut it short at
// the first bad byte instead. Nothing when `text` is fine as it is.
std::optional<QByteArray> repairedUtf8(const char* text)
{
    const QByteArray bytes(text);
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return std::nullopt;
    QByteArray repaired = QString::fromUtf8(bytes).toUtf8();
    if (repaired == bytes)
        return std::nullopt;
    return repaired;
}

void repairString(plist_t node)
{
    if (plist_get_node_type(node) != PLIST_STRING)
        return;
    if (const auto repaired = repairedUtf8(plist_get_string_ptr(node, nullptr)))
        plist_set_string_val(node, repaired->constData());
}

// Prepares a parsed XML property list for the binary form. XML property lists write references
// as {"CF$UID": n}; this turns them into reference nodes in place, and repairs text that is not
// UTF-8. Returns the replacement for `node`, or null when it stays as it is.
plist_t prepareXmlTree(plist_t node)
{
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        // Replacing items one by one would walk the array each time; a new array is built
        // instead when any item changes.
        const std::vector<plist_t> items = PlistNodes::arrayItems(node);
        std::vector<plist_t> replacements;
        replacements.reserve(items.size());
        bool changed = false;
        for (plist_t item : items) {
            repairString(item);
            replacements.push_back(prepareXmlTree(item));
            changed = changed || replacements.back();
        }
        if (!changed)
            return nullptr;
        plist_t array = plist_new_array();
        for (size_t i = 0; i < items.size(); ++i)
            plist_array_append_item(array,
                                    replacements[i] ? replacements[i] : plist_copy(items[i]));
        return array;
    }
    if (plist_get_node_type(node) != PLIST_DICT)
        return nullptr;
    if (plist_dict_get_size(node) == 1) {
        plist_t ref = plist_dict_get_item(node, "CF$UID");
        if (ref && plist_get_node_type(ref) == PLIST_UINT) {
            uint64_t value = 0;
            plist_get_uint_val(ref, &value);
            // A reference beyond 32 bits names no object either way, and the binary form
            // holds at most 32 bits.
            return plist_new_uid(std::min<uint64_t>(value, UINT32_MAX));
        }
    }
    for (auto [key, value] : PlistNodes::dictItems(node)) {
        if (const auto repaired = repairedUtf8(key.constData())) {
            plist_set_key_val(plist_dict_item_get_key(value), repaired->constData());
            key = *repaired;
        }
        repairString(value);
        if (plist_t replacement = prepareXmlTree(value))
            plist_dict_set_item(node, key.constData(), replacement);
    }
    return nullptr;
}

} // namespace

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data)
{
    if (data.isEmpty()) {
        m_error = QStringLiteral("the file is empty");
        return;
    }
    if (data.size() > kMaxArchiveSize) {
        m_error = QStringLiteral("the file is too large to be an archive");
        return;
    }
    QByteArray binary = data;
    int maxNesting = kMaxNesting;
    if (!plist_is_binary(data.constData(), uint32_t(data.size()))) {
        maxNesting = 2 * kMaxNesting;
        // XML archives are rare (old or hand-made files): they are parsed, their references
        // converted, and then read through the binary form like every other archive.
        plist_t root = xmlNestingWithinLimit(data) ? PlistNodes::fromXml(data) : nullptr;
        binary.clear();
        if (root) {
            // A root that changed (an array holding references) is replaced, not leaked.
            if (plist_t converted = prepareXmlTree(root)) {
                plist_free(root);
                root = converted;
            }
            char* bytes = nullptr;
            uint32_t length = 0;
            plist_to_bin(root, &bytes, &length);
            plist_free(root);
            if (bytes)
                binary = QByteArray(bytes, qsizetype(length));
            plist_to_bin_free(bytes);
        }
    }
    m_archiveBytes = uint64_t(binary.size());
    if (!m_plist.load(binary, maxNesting) ||
        m_plist.type(m_plist.top()) != BinaryPropertyList::Type::Dictionary) {
        m_error = QStringLiteral("not a property list");
        return;
    }
    const Index root = m_plist.top();
    const Index archiver = m_plist.valueForKey(root, "$archiver");
    if (m_plist.type(archiver) != BinaryPropertyList::Type::String ||
        m_plist.string(archiver) != QLatin1String("NSKeyedArchiver")) {
        m_error = QStringLiteral("not a keyed archive");
        return;
    }
    m_objects = m_plist.valueForKey(root, "$objects");
    if (m_plist.type(m_objects) != BinaryPropertyList::Type::Array) {
        m_error = QStringLiteral("the archive has no object list");
        return;
    }
    m_objectCount = m_plist.count(m_objects);
    const Index rootArray = resolve(m_plist.valueForKey(m_plist.valueForKey(root, "$top"), "root"));
    const Index items = m_plist.valueForKey(rootArray, "NS.objects");
    if (m_plist.type(items) != BinaryPropertyList::Type::Array)
        m_error = QStringLiteral("the archive's root object is not an array");
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

KeyedUnarchiver::Index KeyedUnarchiver::resolve(Index node) const
{
    if (m_plist.type(node) != BinaryPropertyList::Type::Uid)
        return BinaryPropertyList::kNone;
    const uint64_t uid = m_plist.uid(node);
    if (uid == 0 || uid >= m_objectCount)
        return BinaryPropertyList::kNone;
    const Index entry = m_plist.item(m_objects, uid);
    if (m_plist.stringEquals(entry, "$null"))
        return BinaryPropertyList::kNone;
    return entry;
}

QString KeyedUnarchiver::classNameOf(Index entry) const
{
    if (m_plist.type(entry) != BinaryPropertyList::Type::Dictionary)
        return {};
    const Index classEntry = resolve(m_plist.valueForKey(entry, "$class"));
    if (m_plist.type(classEntry) != BinaryPropertyList::Type::Dictionary)
        return {};
    // Every record of a class names the same class entry; its name is read once.
    const auto known = m_classNames.constFind(classEntry);
    if (known != m_classNames.constEnd())
        return *known;
    const QString result = m_plist.string(m_plist.valueForKey(classEntry, "$classname"));
    m_classNames.insert(classEntry, result);
    return result;
}

int KeyedUnarchiver::decodeRootArray(const std::function<void(const QString&)>& element)
{
    if (!isValid())
        return 0;
    const Index items = m_plist.valueForKey(
        resolve(m_plist.valueForKey(m_plist.valueForKey(m_plist.top(), "$top"), "root")),
        "NS.objects");
    const uint64_t count = m_plist.count(items);
    int visited = 0;
    for (uint64_t i = 0; i < count && isValid(); ++i) {
        const Index entry = resolve(m_plist.item(items, i));
        const QString className = classNameOf(entry);
        // An entry that is not an archived object is still reported, with no class name, so
        // that the caller knows something was skipped.
        m_current = className.isEmpty() ? BinaryPropertyList::kNone : entry;
        element(className);
        m_current = BinaryPropertyList::kNone;
        ++visited;
    }
    return visited;
}

KeyedUnarchiver::Index KeyedUnarchiver::value(const char* key) const
{
    return m_plist.valueForKey(m_current, key);
}

bool KeyedUnarchiver::containsValueForKey(const char* key) const
{
    return value(key) != BinaryPropertyList::kNone;
}

QString KeyedUnarchiver::stringFromEntry(Index entry) const
{
    switch (m_plist.type(entry)) {
    case BinaryPropertyList::Type::String:
        return m_plist.string(entry);
    case BinaryPropertyList::Type::Dictionary:
        // Mutable strings are archived as {"NS.string": ..., "$class": NSMutableString}.
        return m_plist.string(m_plist.valueForKey(entry, "NS.string"));
    default:
        return {};
    }
}

QString KeyedUnarchiver::decodeString(const char* key) const
{
    const Index node = value(key);
    if (m_plist.type(node) == BinaryPropertyList::Type::String) // a string stored in place
        return m_plist.string(node);
    return stringFromEntry(resolve(node));
}

QDateTime KeyedUnarchiver::decodeDate(const char* key) const
{
    const Index entry = resolve(value(key));
    const Index time = m_plist.valueForKey(entry, "NS.time");
    if (m_plist.type(time) == BinaryPropertyList::Type::Boolean)
        return {};
    const std::optional<double> number = m_plist.number(time);
    if (!number)
        return {};
    const double seconds = *number;
    // Dates beyond a few thousand years are damage, not data.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e11)
        return {};
    static const QTimeZone utc = QTimeZone::utc(); // made once: each one costs a lookup
    return QDateTime::fromMSecsSinceEpoch(
        kReferenceDateMSecs + qint64(std::llround(seconds * 1000.0)), utc);
}

double KeyedUnarchiver::decodeDouble(const char* key) const
{
    return m_plist.number(value(key)).value_or(0.0);
}

float KeyedUnarchiver::decodeFloat(const char* key) const
{
    const double v = decodeDouble(key);
    if (!std::isfinite(v))
        return float(v);
    return float(std::clamp(v, double(std::numeric_limits<float>::lowest()),
                            double(std::numeric_limits<float>::max())));
}

int32_t KeyedUnarchiver::decodeInt32(const char* key) const
{
    const Index node = value(key);
    // An integer keeps its low 32 bits, as a 32-bit read does.
    if (m_plist.type(node) == BinaryPropertyList::Type::Integer)
        return int32_t(uint32_t(m_plist.integer(node)));
    const double v = m_plist.number(node).value_or(0.0);
    if (!std::isfinite(v))
        return 0;
    return int32_t(std::clamp(v, double(std::numeric_limits<int32_t>::min()),
                              double(std::numeric_limits<int32_t>::max())));
}

bool KeyedUnarchiver::decodeBool(const char* key) const
{
    return decodeDouble(key) != 0;
}

QByteArray KeyedUnarchiver::decodeData(const char* key) const
{
    const Index node = value(key);
    Index entry = m_plist.type(node) == BinaryPropertyList::Type::Data ? node : resolve(node);
    if (m_plist.type(entry) == BinaryPropertyList::Type::Dictionary) // NSMutableData
        entry = m_plist.valueForKey(entry, "NS.data");
    if (m_plist.type(entry) != BinaryPropertyList::Type::Data)
        return {};
    return m_plist.data(entry);
}

ArchivedObject::Ptr KeyedUnarchiver::decodeObject(const char* key)
{
    const Index node = value(key);
    if (!isValid() || resolve(node) == BinaryPropertyList::kNone)
        return nullptr;
    m_foreignPath.clear();
    m_objectNodes = 0;
    m_objectBytes = 0;
    return foreignObject(m_plist.uid(node), 0);
}

bool KeyedUnarchiver::spend(uint64_t bytes)
{
    ++m_objectNodes;
    ++m_totalNodes;
    m_objectBytes += bytes;
    m_totalBytes += bytes;
    if (m_objectNodes <= kMaxForeignNodes && m_objectBytes <= kMaxForeignBytes &&
        m_totalNodes <= kMaxForeignNodes + m_archiveBytes &&
        m_totalBytes <= kMaxForeignBytes + m_archiveBytes)
        return true;
    if (isValid())
        m_error = QStringLiteral("a stored object expands beyond the size an archive may hold");
    return false;
}

void* KeyedUnarchiver::plistCopy(Index object, std::vector<uint64_t>& refs)
{
    // Every value copied counts against the bounds before it is made, so a container that the
    // file names from many places stops the copy instead of filling the memory.
    const BinaryPropertyList::Type type = m_plist.type(object);
    const bool container =
        type == BinaryPropertyList::Type::Array || type == BinaryPropertyList::Type::Dictionary;
    QByteArray one;
    if (!container && type != BinaryPropertyList::Type::Uid)
        one = m_plist.standalone(object);
    if (!spend(uint64_t(one.size())))
        return nullptr;
    switch (type) {
    case BinaryPropertyList::Type::Uid: {
        const uint64_t k = m_plist.uid(object);
        if (k == 0)
            return plist_new_uid(0);
        refs.push_back(k);
        return plist_new_uid(refs.size());
    }
    case BinaryPropertyList::Type::Array: {
        // Nesting is bounded by the structure check, and so is this recursion.
        plist_t array = plist_new_array();
        const uint64_t count = m_plist.count(object);
        for (uint64_t i = 0; i < count; ++i) {
            plist_t item = plistCopy(m_plist.item(object, i), refs);
            if (!item) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, item);
        }
        return array;
    }
    case BinaryPropertyList::Type::Dictionary: {
        plist_t dict = plist_new_dict();
        const uint64_t count = m_plist.count(object);
        for (uint64_t i = 0; i < count; ++i) {
            const QByteArray key = m_plist.stringUtf8(m_plist.key(object, i));
            // Of repeated keys the first counts, as it does for every lookup.
            if (plist_dict_get_item(dict, key.constData()))
                continue;
            // The key's text counts as well as its value.
            plist_t value =
                spend(uint64_t(key.size())) ? plistCopy(m_plist.value(object, i), refs) : nullptr;
            if (!value) {
                plist_free(dict);
                return nullptr;
            }
            plist_dict_set_item(dict, key.constData(), value);
        }
        return dict;
    }
    default: {
        // A value is copied through a property list of its own, so that libplist decodes its
        // bytes itself and the copy is exactly the node it has always made of them. (The
        // structure check refuses every value libplist would refuse, so this always parses;
        // should it not, the entry still gets a value rather than a hole.)
        plist_t node = nullptr;
        plist_from_bin(one.constData(), uint32_t(one.size()), &node);
        return node ? node : plist_new_string("");
    }
    }
}

ArchivedObject::Ptr KeyedUnarchiver::foreignObject(uint64_t index, int depth)
{
    if (index == 0 || index >= m_objectCount || depth > kMaxForeignDepth)
        return nullptr;
    auto known = m_foreign.constFind(index);
    if (known != m_foreign.constEnd())
        return *known;
    // A reference back to an object still being copied would make a cycle: it becomes null.
    if (std::find(m_foreignPath.begin(), m_foreignPath.end(), index) != m_foreignPath.end())
        return nullptr;
    const Index entry = m_plist.item(m_objects, index);
    if (m_plist.stringEquals(entry, "$null"))
        return nullptr;

    m_foreignPath.push_back(index);
    // Every reference in the copy is numbered by its place among the copy's references; the
    // objects they named become the children, in that order.
    std::vector<uint64_t> refs;
    plist_t copy = plistCopy(entry, refs);
    std::vector<ArchivedObject::Ptr> children;
    children.reserve(refs.size());
    for (size_t i = 0; copy && i < refs.size() && isValid(); ++i)
        children.push_back(foreignObject(refs[i], depth + 1));
    m_foreignPath.pop_back();
    // Past the bounds the archive is not read at all: nothing partial is kept.
    if (!isValid()) {
        plist_free(copy);
        return nullptr;
    }

    auto object = std::make_shared<const ArchivedObject>(copy, std::move(children));
    m_foreign.insert(index, object);
    return object;
}
