// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"
#include "platform/net/HttpConnection.h"
#include "sharing/ConvertedCopies.h"

#include <QByteArray>
#include <QString>

class SharingPageCache;

// The web server's answer to one request, worked out from the request's bytes, a library
// snapshot and the two folders alone (no socket). Only "GET <target> HTTP/..." is understood;
// anything else is a bad request. The target is percent-decoded, split into path components and
// ".." components are dropped; then
//   "/" or "/<name containing index.html>"  a page: the web folder's head file (index.html or
//                                            the named one), the category list and an empty
//                                            table of recordings;
//   "/Category/<name>"                      the same page with the category's recordings;
//   "/Documents/<path>"                     a file of the documents folder;
//   any other path                          a file of the web folder.
// "/Documents/<name>.opus" and ".flac" stand for the Opus and FLAC copies of the shared memo
// "<name>.wav" (ConvertedCopies), served from the cache like any file once they are made.
// Files are served whole or, with a "Range: bytes=..." header, in part; the content type
// follows the extension. Whatever is missing, not decodable, not a regular file, or a link that
// leads out of its folder is "not found". A head longer than HttpConnection::kHeadLimit is a bad
// request.
class WebRequest
{
public:
    // A null library is taken as an empty one. An empty resourcePath means there is no web
    // folder: pages have no head and web files are never found. With a page cache, the
    // generated part of a page is taken from it (and kept in it) while the snapshot stays.
    WebRequest(LibrarySnapshotPtr library, QString documentsPath, QString resourcePath,
               SharingPageCache* pageCache = nullptr, const ConvertedCopies* copies = nullptr);

    // The complete answer, head and body, with the file to send after them if any. A request
    // for a converted copy that is not made yet is answered "not found", unless `pending` is
    // given: it is then filled in and the answer is empty, for the caller to make the copy and
    // ask again.
    HttpConnection::Answer answer(const QByteArray& request,
                                  ConvertedCopies::Request* pending = nullptr) const;

    // "404 Not Found" with the short page every missing item gets.
    static HttpConnection::Answer notFound();
    // "503 Service Unavailable" with a short page, for a connection the server has no room for.
    static HttpConnection::Answer serviceUnavailable();

private:
    // Whether `name` under "/Documents/" leads to a file a browser must not get: the library's
    // archives (and their copies) or the photo of a memo hidden from web sharing.
    bool isPrivateDocument(const QString& name) const;
    // The page: the web folder's file `headName`, then the generated documents.
    HttpConnection::Answer pageAnswer(const QString& headName, const QString& category) const;
    // The file `name` of `folder` (the documents or the web folder), whole or a range of it.
    HttpConnection::Answer fileAnswer(const QString& folder, const QString& name,
                                      const QString& decodedPath, const QString& rangeHeader) const;

    LibrarySnapshotPtr m_library;
    QString m_documentsPath;
    QString m_resourcePath;
    SharingPageCache* m_pageCache = nullptr;
    const ConvertedCopies* m_copies = nullptr;
};
