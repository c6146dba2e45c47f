// The sonavell executable: parses the command line, creates the application object (which loads
// and repairs the library), builds the window and runs the event loop. SIGINT and SIGTERM quit
// like a normal exit, so the library is always written back.
#include "app/MainInterface.h"
#include "core/AppDelegate.h"
#include "platform/QuitSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

namespace {

QString documentsDirectory(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    if (parser.isSet(option))
        return QDir(parser.value(option)).absolutePath();
    const QString fromEnvironment = qEnvironmentVariable("SONAVELL_DOCUMENTS");
    if (!fromEnvironment.isEmpty())
        return QDir(fromEnvironment).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Documents");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication::setOrganizationName(QStringLiteral("Sonavell"));
    QApplication::setApplicationName(QStringLiteral("Sonavell"));
    QApplication::setApplicationVersion(QStringLiteral(SONAVELL_VERSION));
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sonavell records voice memos into WAV files, plays them back and shares them."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption documentsOption(
        QStringLiteral("documents"),
        QStringLiteral("The library's documents directory (default: $SONAVELL_DOCUMENTS, else %1).")
            .arg(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                 QStringLiteral("/Documents")),
        QStringLiteral("DIR"));
    parser.addOption(documentsOption);
    parser.process(app);

    QuitSignals quitSignals;

    AppDelegate::Environment environment;
    environment.documentsPath = documentsDirectory(parser, documentsOption);
    environment.userDefaults = std::make_shared<QSettings>();
    AppDelegate appDelegate(environment);
    qInfo().noquote() << "Sonavell library in" << environment.documentsPath;

    MainInterface interface(appDelegate);
    QObject::connect(&app, &QApplication::aboutToQuit, &appDelegate,
                     [&appDelegate] { appDelegate.applicationWillTerminate(); });
    appDelegate.applicationDidFinishLaunching();
    return app.exec();
}
