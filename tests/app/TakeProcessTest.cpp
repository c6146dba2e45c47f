// SPDX-License-Identifier: GPL-3.0-or-later
// The executable on the tests' sound server: a take running when the program is told to end is
// finished, and its length and quality are in the library it writes on the way out.
#include "core/AppDelegate.h"
#include "core/Recording.h"
#include "support/PulseControl.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>

#include <gtest/gtest.h>

#include <csignal>

TEST(ExecutableOnTheSoundServer, ATakeRunningAtSigtermIsFinishedBeforeTheLibraryIsWritten)
{
    sonavell::test::ScratchDir dir;
    const QString docs = dir.file("Documents");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.file("config"));
    env.insert("XDG_DATA_HOME", dir.file("data"));
    env.remove("SONAVELL_AUDIO");
    env.remove("SONAVELL_DOCUMENTS");
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(qEnvironmentVariable("SONAVELL_BUILD_DIR") + "/app/sonavell",
                  {"-platform", "offscreen", "--documents", docs, "--record"});
    QByteArray output;
    while (!output.contains("recording just started.") && process.waitForReadyRead(30000))
        output += process.readAll();
    ASSERT_TRUE(output.contains("recording just started.")) << output.toStdString();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000)
        process.waitForReadyRead(int(2000 - clock.elapsed()));
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(30000));
    output += process.readAll();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();

    // The library as the next start reads it.
    AppDelegate::Environment library;
    library.documentsPath = docs;
    library.userDefaults =
        std::make_shared<QSettings>(dir.file("check.conf"), QSettings::IniFormat);
    AppDelegate app(library);
    ASSERT_EQ(app.recordings().size(), 1) << output.toStdString();
    const auto& take = app.recordings().front();
    EXPECT_EQ(take->quality(), "LQ");
    EXPECT_GT(take->duration(), 1.5);
    EXPECT_LT(take->duration(), 3.0);
}

TEST(ExecutableOnTheSoundServer, TakesRecordFromTheMicrophoneChosenInTheSettings)
{
    using namespace sonavell::test;
    PulseModule headset{"module-null-source",
                        {"source_name=sonavell_take_headset", "description=Take_Headset"}};
    ASSERT_TRUE(headset.isLoaded());
    ScratchDir dir;
    {
        QDir().mkpath(dir.file("config/Sonavell"));
        QSettings settings(dir.file("config/Sonavell/Sonavell.conf"), QSettings::IniFormat);
        settings.setValue("input_device", "sonavell_take_headset");
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.file("config"));
    env.insert("XDG_DATA_HOME", dir.file("data"));
    env.remove("SONAVELL_AUDIO");
    env.remove("SONAVELL_DOCUMENTS");
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(qEnvironmentVariable("SONAVELL_BUILD_DIR") + "/app/sonavell",
                  {"-platform", "offscreen", "--documents", dir.file("Documents"), "--record"});
    QByteArray output;
    while (!output.contains("recording just started.") && process.waitForReadyRead(30000))
        output += process.readAll();
    ASSERT_TRUE(output.contains("recording just started.")) << output.toStdString();

    QList<QJsonObject> takes;
    waitFor(
        [&] {
            takes = pactlEntriesWith("source-outputs", "application.id", "org.sonavell.Sonavell");
            return !takes.isEmpty();
        },
        5000);
    ASSERT_EQ(takes.size(), 1);
    EXPECT_EQ(takes.front().value("source").toInt(), pulseSourceIndex("sonavell_take_headset"));
    EXPECT_EQ(takes.front().value("properties").toObject().value("media.role").toString(),
              "production");

    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
}
