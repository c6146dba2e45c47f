// SPDX-License-Identifier: GPL-3.0-or-later
// The executable as a user runs it: options, and a signal ending it like a normal quit.
#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QSettings>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QString program()
{
    return qEnvironmentVariable("SONAVELL_BUILD_DIR") + "/app/sonavell";
}

void prepare(QProcess& process, const sonavell::test::ScratchDir& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.file("config"));
    env.insert("XDG_DATA_HOME", dir.file("data"));
    env.insert("SONAVELL_AUDIO", "virtual");
    env.remove("SONAVELL_DOCUMENTS");
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
}

} // namespace

// They only print, so they work where no display is (a console, a packaging root, ssh).
TEST(Executable, HelpAndVersionWithoutADisplay)
{
    sonavell::test::ScratchDir dir;
    QProcess process;
    prepare(process, dir);
    QProcessEnvironment env = process.processEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    process.setProcessEnvironment(env);
    for (auto [option, shows] : {std::pair{"--version", "Sonavell " SONAVELL_VERSION},
                                 {"--help", "--documents"},
                                 {"-h", "--share"}}) {
        process.start(program(), {option});
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << option;
        EXPECT_TRUE(process.readAll().contains(shows)) << option;
    }
}

// The default documents folder is <data home>/Sonavell/Documents; a library in the folder that
// earlier versions used (<data home>/Sonavell/Sonavell/Documents) is moved there whole.
TEST(Executable, DefaultDocumentsFolderTakesOverTheEarlierOne)
{
    sonavell::test::ScratchDir dir;
    dir.write("data/Sonavell/Sonavell/Documents/REC20090101120000.wav", "memo");
    QProcess process;
    prepare(process, dir);
    process.start(program(), {"-platform", "offscreen"});
    QByteArray output;
    while (!output.contains("Sonavell library in") && process.waitForReadyRead(30000))
        output += process.readAll();
    const QString docs = dir.file("data/Sonavell/Documents");
    EXPECT_TRUE(output.contains("Sonavell library in " + docs.toUtf8())) << output.toStdString();
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(30000));
    QFile memo(docs + "/REC20090101120000.wav");
    ASSERT_TRUE(memo.open(QIODevice::ReadOnly));
    EXPECT_EQ(memo.readAll(), "memo");
    EXPECT_TRUE(QFile::exists(docs + "/recordings.plist")) << "and adopted into the library";
    EXPECT_FALSE(QFile::exists(dir.file("data/Sonavell/Sonavell")));
}

TEST(Executable, TerminationSignalsWriteTheLibrary)
{
    for (int signal : {SIGTERM, SIGINT}) {
        sonavell::test::ScratchDir dir;
        const QString docs = dir.file("My Documents");
        dir.write("My Documents/REC20090101120000.wav", "orphan");
        QProcess process;
        prepare(process, dir);
        process.start(program(), {"-platform", "offscreen", "--documents", docs});
        QByteArray output;
        while (!output.contains("Sonavell library in") && process.waitForReadyRead(30000))
            output += process.readAll();
        ASSERT_TRUE(output.contains("Sonavell library in " + docs.toUtf8()))
            << output.toStdString();
        // Start-up adopted the orphan and wrote the library; remove it to see the quit write it.
        QFile::remove(docs + "/recordings.plist");
        QFile::remove(docs + "/categories.plist");

        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_TRUE(QFile::exists(docs + "/recordings.plist"));
        EXPECT_TRUE(QFile::exists(docs + "/categories.plist"));
        QSettings settings(dir.file("config/Sonavell/Sonavell.conf"), QSettings::IniFormat);
        EXPECT_EQ(settings.value("RestoreIndex").toInt(), 0)
            << "the adopted recording stays current";
        EXPECT_EQ(settings.value("RestoreCategory").toInt(), 0);
    }
}

TEST(Executable, OneRunningCopyPerLibrary)
{
    sonavell::test::ScratchDir dir;
    const QString docs = dir.file("Documents");
    auto startOn = [&](QProcess& process, const QString& folder) {
        prepare(process, dir);
        process.start(program(), {"-platform", "offscreen", "--documents", folder});
    };
    auto waitForLine = [](QProcess& process, QByteArray& output, const QByteArray& line) {
        while (!output.contains(line) && process.waitForReadyRead(30000))
            output += process.readAll();
        return output.contains(line);
    };

    QProcess first;
    QByteArray firstOutput;
    startOn(first, docs);
    ASSERT_TRUE(waitForLine(first, firstOutput, "Sonavell library in"))
        << firstOutput.toStdString();

    // A second start on the same folder brings the first one forward and ends, having opened
    // nothing.
    QProcess second;
    startOn(second, docs);
    ASSERT_TRUE(second.waitForFinished(30000));
    const QByteArray secondOutput = second.readAll();
    EXPECT_EQ(second.exitCode(), 0) << secondOutput.toStdString();
    EXPECT_TRUE(secondOutput.contains("already running on")) << secondOutput.toStdString();
    EXPECT_FALSE(secondOutput.contains("Sonavell library in")) << "the library is opened once";
    EXPECT_TRUE(waitForLine(first, firstOutput, "brought the window forward"))
        << firstOutput.toStdString();

    // Another folder is another library: its copy runs beside the first.
    QProcess other;
    QByteArray otherOutput;
    startOn(other, dir.file("Other"));
    EXPECT_TRUE(waitForLine(other, otherOutput, "Sonavell library in"))
        << otherOutput.toStdString();
    other.terminate();
    other.waitForFinished(30000);

    // After a crash the lock is the dead copy's: the next start takes the library over.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(30000));
    QProcess third;
    QByteArray thirdOutput;
    startOn(third, docs);
    EXPECT_TRUE(waitForLine(third, thirdOutput, "Sonavell library in"))
        << thirdOutput.toStdString();
    third.terminate();
    ASSERT_TRUE(third.waitForFinished(30000));
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(docs + "/.sonavell.lock")) << "freed at exit";
}
