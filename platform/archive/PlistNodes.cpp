// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/archive/PlistNodes.h"

#include <plist/plist.h>

#include <cstdlib>
#include <locale.h>

void* PlistNodes::fromXml(const QByteArray& text)
{
    // The C locale is in force on this thread, and only while libplist parses.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = cLocale ? uselocale(cLocale) : locale_t(nullptr);
    plist_t root = nullptr;
    plist_from_xml(text.constData(), uint32_t(text.size()), &root);
    if (cLocale)
        uselocale(previous);
    return root;
}

std::vector<void*> PlistNodes::arrayItems(void* array)
{
    std::vector<void*> items;
    const uint32_t count = plist_array_get_size(array);
    items.reserve(count);
    plist_array_iter iter = nullptr;
    plist_array_new_iter(array, &iter);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = nullptr;
        plist_array_next_item(array, iter, &item);
        items.push_back(item);
    }
    free(iter);
    return items;
}

std::vector<std::pair<QByteArray, void*>> PlistNodes::dictItems(void* dict)
{
    std::vector<std::pair<QByteArray, void*>> items;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter, &key, &value);
        if (!value)
            break;
        items.emplace_back(QByteArray(key), value);
        free(key);
    }
    free(iter);
    return items;
}

QString PlistNodes::stringValue(void* node)
{
    // Read in place, up to the first NUL as a copied value would end.
    const char* text = plist_get_string_ptr(node, nullptr);
    return QString::fromUtf8(text ? text : "");
}

bool PlistNodes::stringEquals(void* node, const char* text)
{
    return plist_get_node_type(node) == PLIST_STRING && plist_string_val_compare(node, text) == 0;
}

int64_t PlistNodes::integerValue(void* node)
{
    uint64_t v = 0;
    plist_get_uint_val(node, &v);
    return int64_t(v);
}

double PlistNodes::realValue(void* node)
{
    double v = 0;
    plist_get_real_val(node, &v);
    return v;
}

bool PlistNodes::boolValue(void* node)
{
    uint8_t v = 0;
    plist_get_bool_val(node, &v);
    return v != 0;
}

void PlistNodes::mapReferences(void* node, const std::function<uint64_t(uint64_t)>& map)
{
    switch (plist_get_node_type(node)) {
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        plist_set_uid_val(node, map(value));
        break;
    }
    case PLIST_ARRAY:
        for (void* item : arrayItems(node))
            mapReferences(item, map);
        break;
    case PLIST_DICT:
        for (const auto& item : dictItems(node))
            mapReferences(item.second, map);
        break;
    default:
        break;
    }
}
