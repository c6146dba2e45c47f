// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest entry point for every test program: the tests run inside a QApplication on the
// offscreen platform (a QCoreApplication for code without widgets), and the home and per-user
// directories point into a private temporary folder so that no test can read or change the user's
// settings or library. Settings of the machine's environment that would change what is drawn or
// where the program keeps its memos are dropped, so that every machine runs the same tests.
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
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    for (const char* name :
         {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING",
          "QT_SCALE_FACTOR_ROUNDING_POLICY", "QT_FONT_DPI", "QT_STYLE_OVERRIDE",
          "QT_QPA_PLATFORMTHEME", "SONAVELL_DOCUMENTS", "SONAVELL_REPORT_FIRST_FRAME"})
        qunsetenv(name);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);

    TestApplication app(argc, argv);
    TestApplication::setOrganizationName(QStringLiteral("Sonavell"));
    TestApplication::setApplicationName(QStringLiteral("Sonavell"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
