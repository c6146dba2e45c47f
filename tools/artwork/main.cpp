// Writes the recorder screen's images and the count-in sound into a resource folder:
//   sonavell_artwork <resources-dir>
// giving <resources-dir>/images/*.png and <resources-dir>/sounds/recordcountdown22k.wav.
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
    if (args.size() != 2) {
        err << "usage: sonavell_artwork <resources-dir>\n";
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
    return 0;
}
