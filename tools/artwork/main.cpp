// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the recorder screen's images and the count-in sound into a resource folder, and the
// application icon into an icon theme folder:
//   sonavell_artwork <resources-dir> [<icon-theme-dir>]
// giving <resources-dir>/images/*.png, <resources-dir>/sounds/recordcountdown22k.wav and
// <icon-theme-dir>/<n>x<n>/apps/<application id>.png with scalable/apps/<application id>.svg.
#include "tools/artwork/AppIcon.h"
#include "tools/artwork/Artwork.h"
#include "tools/artwork/CountInSound.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 && args.size() != 3) {
        err << "usage: sonavell_artwork <resources-dir> [<icon-theme-dir>]\n";
        return 2;
    }
    const QString root = args[1];
    QString error;
    const QStringList images = sonavell::artwork::writeImages(root + "/images", &error);
    if (images.isEmpty()) {
        err << error << "\n";
        return 1;
    }
    if (!QDir().mkpath(root + "/sounds") ||
        !sonavell::artwork::writeCountInSound(root + "/sounds/recordcountdown22k.wav", &error)) {
        err << (error.isEmpty() ? root + "/sounds: cannot create" : error) << "\n";
        return 1;
    }
    QTextStream(stdout) << images.size() << " images and 1 sound written to " << root << "\n";
    if (args.size() == 3) {
        const QStringList icons =
            sonavell::artwork::writeAppIcons(args[2], QStringLiteral(SONAVELL_APP_ID), &error);
        if (icons.isEmpty()) {
            err << error << "\n";
            return 1;
        }
        QTextStream(stdout) << icons.size() << " icon files written to " << args[2] << "\n";
    }
    return 0;
}
