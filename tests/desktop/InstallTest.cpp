// SPDX-License-Identifier: GPL-3.0-or-later
// `cmake --install` into a scratch prefix: the programs, their resources, the desktop entry, the
// AppStream metainfo and the icons land where desktops and software centres look, the two
// validators accept the entry and the metainfo, and the installed program finds its resources.
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using sonavell::test::ScratchDir;

namespace {

const QString kAppId = QStringLiteral(SONAVELL_APP_ID);

struct Finished
{
    int exitCode = -1;
    QByteArray output;
};

// Runs a program to its end with a plain environment: no display, no Qt platform chosen.
Finished run(const QString& program, const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SONAVELL_RESOURCES"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Finished result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = "timed out: " + process.readAll();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAll();
    return result;
}

class InstallTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_prefix = std::make_unique<ScratchDir>();
        const Finished install = run(
            QStringLiteral("cmake"),
            {"--install", qEnvironmentVariable("SONAVELL_BUILD_DIR"), "--prefix", s_prefix->path()},
            300000);
        s_installed = install.exitCode == 0;
        if (!s_installed)
            std::fprintf(stderr, "%s\n", install.output.constData());
    }
    static void TearDownTestSuite() { s_prefix.reset(); }
    void SetUp() override { ASSERT_TRUE(s_installed) << "cmake --install failed"; }

    static QString installed(const QString& relative) { return s_prefix->file(relative); }

    static std::unique_ptr<ScratchDir> s_prefix;
    static bool s_installed;
};

std::unique_ptr<ScratchDir> InstallTest::s_prefix;
bool InstallTest::s_installed = false;

TEST_F(InstallTest, FilesLandWhereDesktopsLook)
{
    for (const char* program : {"sonavell", "sonavell-receive", "sonavell-upload-server"})
        EXPECT_TRUE(QFileInfo(installed(QStringLiteral("bin/") + program)).isExecutable())
            << program;
    for (const char* file :
         {"share/sonavell/web/index.html", "share/sonavell/images/record.png",
          "share/sonavell/images/record@2x.png", "share/sonavell/sounds/recordcountdown22k.wav",
          "share/doc/sonavell/LICENSE"})
        EXPECT_GT(QFileInfo(installed(file)).size(), 0) << file;
    EXPECT_TRUE(QFileInfo(installed("share/sonavell/help")).isDir());
    EXPECT_TRUE(QFileInfo::exists(installed("share/applications/" + kAppId + ".desktop")));
    EXPECT_TRUE(QFileInfo::exists(installed("share/metainfo/" + kAppId + ".metainfo.xml")));

    // The icon in the theme's layout: each PNG as large as its folder says, and the SVG.
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const QString path = installed(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId));
        EXPECT_EQ(QImage(path).size(), QSize(size, size)) << path.toStdString();
    }
    QFile svg(installed("share/icons/hicolor/scalable/apps/" + kAppId + ".svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
}

TEST_F(InstallTest, DesktopEntryAndMetainfoValidate)
{
    const QString desktop = installed("share/applications/" + kAppId + ".desktop");
    const Finished entry = run(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(entry.exitCode, 0) << entry.output.toStdString();
    EXPECT_EQ(entry.output.trimmed(), "") << "no warnings either";

    const QString metainfo = installed("share/metainfo/" + kAppId + ".metainfo.xml");
    const Finished appstream =
        run(QStringLiteral("appstreamcli"), {"validate", "--no-net", metainfo});
    EXPECT_EQ(appstream.exitCode, 0) << appstream.output.toStdString();

    // The entry names the installed program and icon; the metainfo names the entry, the licence
    // and screenshots that exist in docs/.
    QFile entryFile(desktop);
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
    const QByteArray entryText = entryFile.readAll();
    EXPECT_TRUE(entryText.contains("\nExec=sonavell\n"));
    EXPECT_TRUE(entryText.contains("\nIcon=" + kAppId.toUtf8() + "\n"));

    QFile metainfoFile(metainfo);
    ASSERT_TRUE(metainfoFile.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&metainfoFile);
    QStringList screenshots;
    QString id, launchable, license;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"id")
            id = xml.readElementText();
        else if (xml.name() == u"launchable")
            launchable = xml.readElementText();
        else if (xml.name() == u"project_license")
            license = xml.readElementText();
        else if (xml.name() == u"image")
            screenshots << xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(id, kAppId);
    EXPECT_EQ(launchable, kAppId + ".desktop");
    EXPECT_EQ(license, "GPL-3.0-or-later");
    ASSERT_FALSE(screenshots.isEmpty());
    for (const QString& url : screenshots) {
        EXPECT_TRUE(url.startsWith("https://")) << url.toStdString();
        const QString name = url.section(QLatin1Char('/'), -1);
        EXPECT_TRUE(QFileInfo::exists(sonavell::test::sourceDir() + "/docs/" + name))
            << url.toStdString();
    }
}

TEST_F(InstallTest, InstalledProgramsAnswerWithoutADisplay)
{
    const Finished version = run(installed("bin/sonavell"), {"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.output.toStdString();
    EXPECT_TRUE(version.output.contains("Sonavell " SONAVELL_VERSION))
        << version.output.toStdString();
    const Finished help = run(installed("bin/sonavell"), {"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.output.toStdString();
    EXPECT_TRUE(help.output.contains("--documents")) << help.output.toStdString();
}

// The installed program finds its images beside it in share/sonavell: the window is built
// before a termination signal is handled, so a missing image would have been reported by then.
// A copy of the program with no share/sonavell beside it shows that the check can fail.
TEST_F(InstallTest, InstalledProgramFindsItsResources)
{
    ScratchDir elsewhere;
    ASSERT_TRUE(QDir().mkpath(elsewhere.file("bin")));
    ASSERT_TRUE(QFile::copy(installed("bin/sonavell"), elsewhere.file("bin/sonavell")));

    auto startAndQuit = [](const QString& program, const ScratchDir& home) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("SONAVELL_RESOURCES");
        env.insert("XDG_CONFIG_HOME", home.file("config"));
        env.insert("XDG_DATA_HOME", home.file("data"));
        env.insert("SONAVELL_AUDIO", "virtual");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, {"-platform", "offscreen", "--documents", home.file("docs")});
        QByteArray output;
        while (!output.contains("Sonavell library in") && process.waitForReadyRead(30000))
            output += process.readAll();
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(30000);
        return output + process.readAll();
    };
    ScratchDir home;
    const QByteArray installedRun = startAndQuit(installed("bin/sonavell"), home);
    EXPECT_TRUE(installedRun.contains("Sonavell library in")) << installedRun.toStdString();
    EXPECT_FALSE(installedRun.contains("No image named")) << installedRun.toStdString();

    ScratchDir otherHome;
    const QByteArray strayRun = startAndQuit(elsewhere.file("bin/sonavell"), otherHome);
    EXPECT_TRUE(strayRun.contains("No image named")) << strayRun.toStdString();
}

} // namespace
