// SPDX-License-Identifier: GPL-3.0-or-later
// The program started with --share and no display: it serves the library, logs both addresses,
// and shuts down cleanly on SIGTERM with sharing off and the library written.
#include "SharingTestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace sonavell::test;

TEST(ShareOption, ServesHeadlessLogsAddressesAndStopsCleanly)
{
    const QString program = qEnvironmentVariable("SONAVELL_BUILD_DIR") + "/app/sonavell";
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    ScratchDir documents;
    documents.write(QStringLiteral("REC20260101120000.wav"), QByteArray(1000, 'w'));

    QProcess sonavell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("SONAVELL_AUDIO"), QStringLiteral("virtual"));
    sonavell.setProcessEnvironment(env);
    sonavell.setProcessChannelMode(QProcess::MergedChannels);
    sonavell.start(program,
                   {QStringLiteral("--share"), QStringLiteral("--documents"), documents.path()});
    ASSERT_TRUE(sonavell.waitForStarted());

    QByteArray log;
    const bool addressesLogged = waitFor(
        [&] {
            log += sonavell.readAll();
            return log.contains("Web sharing at ");
        },
        30000);
    ASSERT_TRUE(addressesLogged) << log.toStdString();
    EXPECT_TRUE(log.contains("no display found")) << log.toStdString();
    EXPECT_TRUE(log.contains(":8080 and http://127.0.0.1:8080")) << log.toStdString();

    int exitCode = -1;
    const QByteArray page =
        runCurl({QStringLiteral("http://127.0.0.1:8080/Category/All")}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(page.contains("<a href=\"/Documents/REC20260101120000.wav\">")) << page.data();
    EXPECT_EQ(runCurl({QStringLiteral("http://127.0.0.1:8080/Documents/REC20260101120000.wav")}),
              QByteArray(1000, 'w'));

    sonavell.terminate();
    ASSERT_TRUE(sonavell.waitForFinished(15000));
    EXPECT_EQ(sonavell.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sonavell.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(documents.file(QStringLiteral("recordings.plist"))));
    const int fd = connectToPort(8080);
    EXPECT_LT(fd, 0);
    if (fd >= 0)
        ::close(fd);
}
