// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/archive/ArchivedObject.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>

ArchivedObject::ArchivedObject(void* entry, std::vector<Ptr> children)
    : m_entry(entry)
    , m_children(std::move(children))
{
}

ArchivedObject::~ArchivedObject()
{
    plist_free(m_entry);
}

QString ArchivedObject::className() const
{
    if (plist_get_node_type(m_entry) != PLIST_DICT)
        return {};
    plist_t ref = plist_dict_get_item(m_entry, "$class");
    if (!ref || plist_get_node_type(ref) != PLIST_UID)
        return {};
    uint64_t uid = 0;
    plist_get_uid_val(ref, &uid);
    if (uid == 0 || uid > m_children.size() || !m_children[uid - 1])
        return {};
    plist_t name = plist_dict_get_item(m_children[uid - 1]->m_entry, "$classname");
    if (!name || plist_get_node_type(name) != PLIST_STRING)
        return {};
    char* text = nullptr;
    plist_get_string_val(name, &text);
    QString result = QString::fromUtf8(text);
    free(text);
    return result;
}

std::optional<double> ArchivedObject::numberForKey(const char* key) const
{
    if (plist_get_node_type(m_entry) != PLIST_DICT)
        return std::nullopt;
    plist_t value = plist_dict_get_item(m_entry, key);
    if (!value)
        return std::nullopt;
    if (plist_get_node_type(value) == PLIST_REAL) {
        double number = 0;
        plist_get_real_val(value, &number);
        return number;
    }
    if (plist_get_node_type(value) == PLIST_UINT) {
        uint64_t number = 0;
        plist_get_uint_val(value, &number);
        return double(int64_t(number));
    }
    return std::nullopt;
}

ArchivedObject::Ptr ArchivedObject::objectForKey(const char* key) const
{
    if (plist_get_node_type(m_entry) != PLIST_DICT)
        return nullptr;
    plist_t ref = plist_dict_get_item(m_entry, key);
    if (!ref || plist_get_node_type(ref) != PLIST_UID)
        return nullptr;
    uint64_t uid = 0;
    plist_get_uid_val(ref, &uid);
    if (uid == 0 || uid > m_children.size())
        return nullptr;
    return m_children[uid - 1];
}

bool ArchivedObject::equivalent(const Ptr& a, const Ptr& b)
{
    if (!a || !b)
        return !a && !b;
    if (a->m_children.size() != b->m_children.size())
        return false;
    // Entries compare by their XML text, which covers every value type and the key order.
    char* xa = nullptr;
    char* xb = nullptr;
    uint32_t la = 0;
    uint32_t lb = 0;
    plist_to_xml(a->m_entry, &xa, &la);
    plist_to_xml(b->m_entry, &xb, &lb);
    const bool same = la == lb && std::memcmp(xa, xb, la) == 0;
    plist_to_xml_free(xa);
    plist_to_xml_free(xb);
    if (!same)
        return false;
    for (size_t i = 0; i < a->m_children.size(); ++i) {
        if (!equivalent(a->m_children[i], b->m_children[i]))
            return false;
    }
    return true;
}
