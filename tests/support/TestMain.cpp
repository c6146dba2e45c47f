// GoogleTest entry point for every test program: the tests run inside a QApplication on the
// offscreen platform (a QCoreApplication for code without widgets), and the per-user directories
// point into a private temporary folder so that no test can read or change the user's settings or
// library.
#ifdef SONAVELL_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);

    TestApplication app(argc, argv);
    TestApplication::setOrganizationName(QStringLiteral("Sonavell"));
    TestApplication::setApplicationName(QStringLiteral("Sonavell"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
