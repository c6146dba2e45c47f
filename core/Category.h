// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/archive/Archivable.h"

#include <QString>

class KeyedUnarchiver;

// A named folder of recordings. Recordings refer to their category by this name.
class Category : public Archivable
{
public:
    explicit Category(const QString& name = QString());
    // Reads the archived form ("name").
    explicit Category(KeyedUnarchiver& coder);

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    QString archiveClassName() const override { return QStringLiteral("Category"); }
    void encodeWithCoder(KeyedArchiver& coder) const override;

private:
    QString m_name;
};
