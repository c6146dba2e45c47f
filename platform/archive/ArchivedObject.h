// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// An object of a class this program does not interpret (for example the location object of a
// recording), kept exactly as it was read from a keyed archive so that it can be written back.
// It holds a copy of the object's own archive entry, in which every reference to another
// object has been renumbered to point into `children` (reference k + 1 is children[k]; 0 stays
// the null reference), so the whole reachable graph travels with it.
class ArchivedObject
{
public:
    using Ptr = std::shared_ptr<const ArchivedObject>;

    ArchivedObject(void* entry, std::vector<Ptr> children);
    ~ArchivedObject();
    ArchivedObject(const ArchivedObject&) = delete;
    ArchivedObject& operator=(const ArchivedObject&) = delete;

    // The archive entry (a libplist node) with renumbered references, owned by this object.
    const void* entry() const { return m_entry; }
    const std::vector<Ptr>& children() const { return m_children; }

    // The class name recorded for the object, or an empty string when it has none.
    QString className() const;

    // The number stored under `key` in the object's entry (a real or an integer), if any.
    std::optional<double> numberForKey(const char* key) const;
    // The object that `key` refers to, or none.
    Ptr objectForKey(const char* key) const;

    // Structural equality of two graphs (same entries, same shape of references).
    static bool equivalent(const Ptr& a, const Ptr& b);

private:
    void* m_entry;
    std::vector<Ptr> m_children;
};
