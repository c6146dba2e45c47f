// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Keeps every file the program touches inside the folder it belongs to (the documents folder,
// the web folder). A stored file name is never trusted: it may hold "../", be absolute, or name a
// link that someone pointed elsewhere.
class DocumentPath
{
public:
    // What a path names once links are followed.
    enum class Kind
    {
        Missing,
        Regular,
        Other
    };

    // The real location of `name` inside `folder` with every link followed, or an empty string
    // when that location lies outside `folder`, when `name` is empty, or when it is a link whose
    // target does not exist (writing through it would create a file wherever it points).
    static QString resolve(const QString& folder, const QString& name);

    // Whether `path` (links followed) is missing, a regular file, or anything else: a folder, a
    // device, a FIFO or a socket, none of which may be opened as a document.
    static Kind kind(const QString& path);

    // resolve() for a file that must be a regular file or not exist yet; empty otherwise.
    static QString resolveFile(const QString& folder, const QString& name);
};
