#include "platform/archive/KeyedUnarchiver.h"

#include <plist/plist.h>

#include "platform/archive/PlistNodes.h"

#include <QTimeZone>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

namespace {

constexpr qint64 kReferenceDateMSecs = 978307200000LL;
// Foreign objects nested deeper than this are cut off: no real location object comes close,
// and it bounds the work a hostile archive can cause.
constexpr int kMaxForeignDepth = 32;
// Far beyond any real library (10,000 recordings take about 2 MB).

// Property-list parsers recurse once per nesting level, so a hostile file nested thousands
// deep would exhaust the stack. Keyed archives nest a handful of levels; anything deeper than
// this is refused before it is parsed.
constexpr int kMaxNesting = 128;

uint64_t readBigEndian(const uchar* p, int size)
{
    uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Checks the object table of a binary property list: every offset and reference in range,
// no container containing itself, nesting at most kMaxNesting. Works without recursion.
bool binaryStructureIsSound(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const uint64_t size = uint64_t(data.size());
    if (size < 8 + 32)
        return false;
    const uchar* trailer = bytes + size - 32;
    const int offsetSize = trailer[6];
    const int refSize = trailer[7];
    const uint64_t count = readBigEndian(trailer + 8, 8);
    const uint64_t top = readBigEndian(trailer + 16, 8);
    const uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 ||
        count > size || top >= count || tableOffset >= size ||
        (size - tableOffset) / uint64_t(offsetSize) < count)
        return false;

    auto offsetOf = [&](uint64_t index) {
        return readBigEndian(bytes + tableOffset + index * offsetSize, offsetSize);
    };
    // Appends the references held by container object `index` to `out`, or returns false when
    // it is malformed.
    auto children = [&](uint64_t index, std::vector<uint64_t>& out) {
        uint64_t at = offsetOf(index);
        if (at >= tableOffset)
            return false;
        const uchar marker = bytes[at++];
        const int type = marker >> 4;
        if (type != 0xA && type != 0xB && type != 0xC && type != 0xD)
            return true; // not a container
        uint64_t n = marker & 0x0F;
        if (n == 0x0F) {
            if (at >= tableOffset || (bytes[at] >> 4) != 0x1)
                return false;
            const int width = 1 << (bytes[at] & 0x0F);
            if (width > 8 || at + 1 + width > tableOffset)
                return false;
            n = readBigEndian(bytes + at + 1, width);
            at += 1 + width;
        }
        const uint64_t refs = type == 0xD ? n * 2 : n;
        if (n > count * 2 || (tableOffset - at) / uint64_t(refSize) < refs)
            return false;
        for (uint64_t i = 0; i < refs; ++i) {
            const uint64_t ref = readBigEndian(bytes + at + i * refSize, refSize);
            if (ref >= count)
                return false;
            out.push_back(ref);
        }
        return true;
    };

    // Depth-first with an explicit stack; each object is finished once. The references of the
    // containers on the stack share one buffer, so a frame costs no allocation of its own.
    std::vector<uint8_t> state(count, 0); // 0 new, 1 on the stack, 2 done
    std::vector<int> depth(count, 1);
    struct Frame
    {
        uint64_t index;
        size_t begin; // the frame's references are refs[begin, end)
        size_t end;
        size_t next;
    };
    std::vector<uint64_t> refs;
    std::vector<Frame> stack;
    if (!children(top, refs))
        return false;
    stack.push_back({top, 0, refs.size(), 0});
    state[top] = 1;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.end - frame.begin) {
            const uint64_t child = refs[frame.begin + frame.next++];
            if (state[child] == 1)
                return false; // a container inside itself
            if (state[child] == 0) {
                if (int(stack.size()) >= kMaxNesting)
                    return false;
                const size_t begin = refs.size();
                if (!children(child, refs))
                    return false;
                state[child] = 1;
                stack.push_back({child, begin, refs.size(), 0});
            }
            continue;
        }
        int deepest = 0;
        for (size_t i = frame.begin; i < frame.end; ++i)
            deepest = std::max(deepest, depth[refs[i]]);
        depth[frame.index] = deepest + 1;
        if (depth[frame.index] > kMaxNesting)
            return false;
        state[frame.index] = 2;
        refs.resize(frame.begin);
        stack.pop_back();
    }
    return true;
}

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

// XML property lists write references as {"CF$UID": n}; this turns them into reference nodes
// in place. Returns the replacement for `node`, or null when it stays as it is.
plist_t convertXmlReferences(plist_t node)
{
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        // Replacing items one by one would walk the array each time; a new array is built
        // instead when any item changes.
        const std::vector<plist_t> items = PlistNodes::arrayItems(node);
        std::vector<plist_t> replacements;
        replacements.reserve(items.size());
        bool changed = false;
        for (plist_t item : items) {
            replacements.push_back(convertXmlReferences(item));
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
            return plist_new_uid(value);
        }
    }
    for (const auto& [key, value] : PlistNodes::dictItems(node)) {
        if (plist_t replacement = convertXmlReferences(value))
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
    const bool binary = plist_is_binary(data.constData(), uint32_t(data.size()));
    if (binary ? !binaryStructureIsSound(data) : !xmlNestingWithinLimit(data)) {
        m_error = QStringLiteral("not a property list");
        return;
    }
    if (binary)
        plist_from_bin(data.constData(), uint32_t(data.size()), &m_root);
    else {
        plist_from_xml(data.constData(), uint32_t(data.size()), &m_root);
        if (m_root)
            convertXmlReferences(m_root);
    }
    if (!m_root || plist_get_node_type(m_root) != PLIST_DICT) {
        m_error = QStringLiteral("not a property list");
        return;
    }
    plist_t archiver = plist_dict_get_item(m_root, "$archiver");
    if (!archiver || plist_get_node_type(archiver) != PLIST_STRING ||
        PlistNodes::stringValue(archiver) != QLatin1String("NSKeyedArchiver")) {
        m_error = QStringLiteral("not a keyed archive");
        return;
    }
    m_objects = plist_dict_get_item(m_root, "$objects");
    if (!m_objects || plist_get_node_type(m_objects) != PLIST_ARRAY) {
        m_error = QStringLiteral("the archive has no object list");
        return;
    }
    m_objectTable = PlistNodes::arrayItems(m_objects);
    m_objectCount = uint32_t(m_objectTable.size());
    plist_t top = plist_dict_get_item(m_root, "$top");
    plist_t rootRef =
        top && plist_get_node_type(top) == PLIST_DICT ? plist_dict_get_item(top, "root") : nullptr;
    plist_t rootArray = rootRef ? resolve(rootRef) : nullptr;
    plist_t items = rootArray && plist_get_node_type(rootArray) == PLIST_DICT
                        ? plist_dict_get_item(rootArray, "NS.objects")
                        : nullptr;
    if (!items || plist_get_node_type(items) != PLIST_ARRAY)
        m_error = QStringLiteral("the archive's root object is not an array");
}

KeyedUnarchiver::~KeyedUnarchiver()
{
    m_foreign.clear();
    if (m_root)
        plist_free(m_root);
}

plist_t KeyedUnarchiver::resolve(plist_t node) const
{
    if (!node || plist_get_node_type(node) != PLIST_UID)
        return nullptr;
    uint64_t uid = 0;
    plist_get_uid_val(node, &uid);
    if (uid == 0 || uid >= m_objectCount)
        return nullptr;
    plist_t entry = m_objectTable[uid];
    if (PlistNodes::stringEquals(entry, "$null"))
        return nullptr;
    return entry;
}

QString KeyedUnarchiver::classNameOf(plist_t entry) const
{
    if (!entry || plist_get_node_type(entry) != PLIST_DICT)
        return {};
    plist_t classEntry = resolve(plist_dict_get_item(entry, "$class"));
    if (!classEntry || plist_get_node_type(classEntry) != PLIST_DICT)
        return {};
    // Every record of a class names the same class entry; its name is read once.
    const auto known = m_classNames.constFind(classEntry);
    if (known != m_classNames.constEnd())
        return *known;
    plist_t name = plist_dict_get_item(classEntry, "$classname");
    const QString result = name && plist_get_node_type(name) == PLIST_STRING
                               ? PlistNodes::stringValue(name)
                               : QString();
    m_classNames.insert(classEntry, result);
    return result;
}

int KeyedUnarchiver::decodeRootArray(const std::function<void(const QString&)>& element)
{
    if (!isValid())
        return 0;
    plist_t top = plist_dict_get_item(m_root, "$top");
    plist_t items = plist_dict_get_item(resolve(plist_dict_get_item(top, "root")), "NS.objects");
    int visited = 0;
    for (plist_t item : PlistNodes::arrayItems(items)) {
        plist_t entry = resolve(item);
        const QString className = classNameOf(entry);
        // An entry that is not an archived object is still reported, with no class name, so
        // that the caller knows something was skipped.
        m_current = className.isEmpty() ? nullptr : entry;
        element(className);
        m_current = nullptr;
        ++visited;
    }
    return visited;
}

plist_t KeyedUnarchiver::value(const char* key) const
{
    return m_current ? plist_dict_get_item(m_current, key) : nullptr;
}

bool KeyedUnarchiver::containsValueForKey(const char* key) const
{
    return value(key) != nullptr;
}

QString KeyedUnarchiver::stringFromEntry(plist_t entry) const
{
    if (!entry)
        return {};
    if (plist_get_node_type(entry) == PLIST_STRING)
        return PlistNodes::stringValue(entry);
    // Mutable strings are archived as {"NS.string": ..., "$class": NSMutableString}.
    if (plist_get_node_type(entry) == PLIST_DICT) {
        plist_t text = plist_dict_get_item(entry, "NS.string");
        if (text && plist_get_node_type(text) == PLIST_STRING)
            return PlistNodes::stringValue(text);
    }
    return {};
}

QString KeyedUnarchiver::decodeString(const char* key) const
{
    plist_t node = value(key);
    if (node && plist_get_node_type(node) == PLIST_STRING) // a string stored in place
        return PlistNodes::stringValue(node);
    return stringFromEntry(resolve(node));
}

QDateTime KeyedUnarchiver::decodeDate(const char* key) const
{
    plist_t entry = resolve(value(key));
    if (!entry)
        return {};
    plist_t time =
        plist_get_node_type(entry) == PLIST_DICT ? plist_dict_get_item(entry, "NS.time") : nullptr;
    if (!time)
        return {};
    if (plist_get_node_type(time) == PLIST_BOOLEAN)
        return {};
    const std::optional<double> number = PlistNodes::numberValue(time);
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
    plist_t node = value(key);
    return node ? PlistNodes::numberValue(node).value_or(0.0) : 0.0;
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
    plist_t node = value(key);
    if (node &&
        plist_get_node_type(node) == PLIST_UINT) // keeps the low 32 bits, as a 32-bit read does
        return int32_t(uint32_t(PlistNodes::integerValue(node)));
    const double v = decodeDouble(key);
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
    plist_t node = value(key);
    plist_t entry = node && plist_get_node_type(node) == PLIST_DATA ? node : resolve(node);
    if (!entry)
        return {};
    if (plist_get_node_type(entry) == PLIST_DICT) // NSMutableData: {"NS.data": <data>}
        entry = plist_dict_get_item(entry, "NS.data");
    if (!entry || plist_get_node_type(entry) != PLIST_DATA)
        return {};
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(entry, &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    free(bytes);
    return result;
}

ArchivedObject::Ptr KeyedUnarchiver::decodeObject(const char* key)
{
    plist_t node = value(key);
    if (!node || plist_get_node_type(node) != PLIST_UID || !resolve(node))
        return nullptr;
    uint64_t uid = 0;
    plist_get_uid_val(node, &uid);
    m_foreignPath.clear();
    return foreignObject(uid, 0);
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
    plist_t entry = m_objectTable[index];
    if (PlistNodes::stringEquals(entry, "$null"))
        return nullptr;

    m_foreignPath.push_back(index);
    plist_t copy = plist_copy(entry);
    // Every reference in the copy is numbered by its place among the copy's references; the
    // objects they named become the children, in that order.
    std::vector<uint64_t> refs;
    PlistNodes::mapReferences(copy, [&](uint64_t k) -> uint64_t {
        if (k == 0)
            return 0;
        refs.push_back(k);
        return refs.size();
    });
    std::vector<ArchivedObject::Ptr> children;
    children.reserve(refs.size());
    for (uint64_t ref : refs)
        children.push_back(foreignObject(ref, depth + 1));
    m_foreignPath.pop_back();

    auto object = std::make_shared<const ArchivedObject>(copy, std::move(children));
    m_foreign.insert(index, object);
    return object;
}
