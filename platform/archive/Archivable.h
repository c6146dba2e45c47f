// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class KeyedArchiver;

// An object that can write itself into a keyed archive under a class name.
class Archivable
{
public:
    virtual ~Archivable() = default;
    virtual QString archiveClassName() const = 0;
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};
