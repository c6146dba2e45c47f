// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Category.h"

#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

Category::Category(const QString& name)
    : m_name(name)
{
}

Category::Category(KeyedUnarchiver& coder)
    : m_name(coder.decodeString("name"))
{
}

void Category::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeString("name", m_name);
}
