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

TEST(Executable, HelpAndVersion)
{
    sonavell::test::ScratchDir dir;
    QProcess process;
    prepare(process, dir);
    for (auto [option, shows] :
         {std::pair{"--version", SONAVELL_VERSION}, {"--help", "--documents"}}) {
        process.start(program(), {"-platform", "offscreen", option});
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << option;
        EXPECT_TRUE(process.readAll().contains(shows)) << option;
    }
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
