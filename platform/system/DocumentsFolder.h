// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The library's default documents folder: <data home>/Sonavell/Documents, the data home being
// $XDG_DATA_HOME or ~/.local/share.
//
// Earlier versions kept the library one level deeper, in <data home>/Sonavell/Sonavell/Documents
// (the application's own data folder, whose organisation and application names are both
// "Sonavell"). settle() moves that folder to the documented place, once, as a whole: a rename
// within one parent folder, so the memos, photos and archives arrive together or not at all.
class DocumentsFolder
{
public:
    // <dataHome>/Sonavell/Documents.
    static QString standardPath(const QString& dataHome);
    // The same under the user's data home.
    static QString standardPath();

    // <dataHome>/Sonavell/Sonavell/Documents, where earlier versions kept the library.
    static QString earlierPath(const QString& dataHome);

    // The folder to use by default. When the earlier folder exists and the standard one is
    // missing or empty, the earlier one is renamed to the standard path. When the rename fails,
    // the earlier folder stays in use (nothing is copied, nothing is lost). When both hold files,
    // the standard one is used and the earlier one is left alone; either case is logged.
    static QString settle(const QString& dataHome);
    // The same under the user's data home.
    static QString settle();
};
