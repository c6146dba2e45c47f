// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// Reads people from vCard text as address books export it: versions 2.1, 3.0 and 4.0, folded
// lines, grouped properties ("item1.EMAIL"), TYPE and PREF parameters, quoted-printable values
// with a CHARSET (2.1), backslash escapes, any number of cards in one file. A card's name is its
// FN, or else one made from N; its e-mail addresses come preferred ones first, then in file order.
// A card with no name is named by its first address; one with neither is skipped. Broken lines
// are ignored, never fatal.
class VCardReader
{
public:
    struct Person
    {
        QString name;
        QStringList emails;
    };

    static std::vector<Person> read(const QByteArray& text);
};
