// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Turns the name a sender announces into a file name that stays inside the receiving folder.
class ContentName
{
public:
    // The name with path separators made into "_", control characters and leading dots and
    // blanks dropped, cut to at most kMaxBytes of UTF-8 (never inside a character); "Memo" when
    // nothing is left.
    static QString safeFileName(const QString& announced);

    static constexpr int kMaxBytes = 200;
};
