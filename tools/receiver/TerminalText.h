// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Text a peer sent, made safe to print between quotes on a terminal or into a log: control
// characters (C0, DEL, C1), Unicode format characters (such as direction overrides) and line
// and paragraph separators are shown as escapes (\x1b, \r, \0, \u202e), as are the backslash
// and the double quote, so that the text can neither move the cursor, redraw a line, cut a log
// line short nor end its quotes early.
class TerminalText
{
public:
    static QString escaped(const QString& text);
};
