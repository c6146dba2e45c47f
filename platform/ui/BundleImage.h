#pragma once

#include <QPixmap>
#include <QString>

// Images shipped in the resource folder's "images" directory, looked up by file name. When a
// "name@2x.png" version exists it is used, marked as a double-density pixmap, so the image keeps
// its size in points and stays sharp on high-density screens.
class BundleImage
{
public:
    // The image, or a null pixmap when no such file exists (a warning is logged once per name).
    static QPixmap imageNamed(const QString& name);

    // The images directory: SONAVELL_RESOURCES + "/images" when set, otherwise next to the
    // executable ("../resources/images" in a build, "../share/sonavell/images" when installed).
    static QString imagesDirectory();
};
