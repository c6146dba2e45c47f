#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// Walking libplist trees. (Looking an array item up by index walks the array from its start,
// so every loop over a container goes through these.)
class PlistNodes
{
public:
    static std::vector<void*> arrayItems(void* array);
    static std::vector<std::pair<QByteArray, void*>> dictItems(void* dict);
    static QString stringValue(void* node);
    // Replaces every reference (UID) inside `node` by map(old value), in document order.
    static void mapReferences(void* node, const std::function<uint64_t(uint64_t)>& map);
};
