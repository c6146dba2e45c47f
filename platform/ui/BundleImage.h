// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

// Images shipped in the resource folder's "images" directory, looked up by file name. When a
// "name@2x.png" version exists it is used, marked as a double-density pixmap, so the image keeps
// its size in points and stays sharp on high-density screens.
class BundleImage
{
public:
    // The image, or a null pixmap when no such file exists (a warning is logged once per name).
    static QPixmap imageNamed(const QString& name);

    // Starts decoding the named images on a worker thread, in the order given, so that the
    // screens built meanwhile on the main thread find them ready: imageNamed() then only waits
    // for the rest of an image still being decoded. Names already decoded or on their way are
    // skipped. The images directory is read now, as imageNamed() would read it.
    // Images found unchanged in the user's decoded picture cache are taken from it at once.
    // When any had to be decoded, the whole set is written to the cache, on a worker thread,
    // once the last of them has been asked for.
    static void preload(const QStringList& names);

    // The images directory: SONAVELL_RESOURCES + "/images" when set, otherwise next to the
    // executable ("../resources/images" in a build, "../share/sonavell/images" when installed).
    static QString imagesDirectory();
};
