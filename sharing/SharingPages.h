// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"

#include <QByteArray>
#include <QString>

// The two documents every web page ends with, as UTF-8: the list of categories and the table of
// one category's recordings. The category of all recordings is shown and linked as "All". Names
// are HTML-escaped (&, <, > and " become entities, as QString::toHtmlEscaped writes them; ' stays
// as it is); link targets are percent-encoded path by path segment.
class SharingPages
{
public:
    // Links to "/Category/<name>", in the library's order.
    static QByteArray categoriesContent(const LibrarySnapshot& library);
    // The recordings of the category that are not hidden from sharing, in library order, each
    // linked to "/Documents/<file>" with its file's size in the documents folder (0 when
    // missing). "All" lists every category; a null category (no category chosen) gives the
    // table head only.
    static QByteArray filesContent(const LibrarySnapshot& library, const QString& documentsPath,
                                   const QString& category);
    // The whole page in one buffer: `head`, then categoriesContent, then filesContent (the same
    // bytes as their concatenation, without the copies).
    static QByteArray page(const QByteArray& head, const LibrarySnapshot& library,
                           const QString& documentsPath, const QString& category);
};
