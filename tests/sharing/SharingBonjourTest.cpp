// SPDX-License-Identifier: GPL-3.0-or-later
// Publication over Bonjour against a real avahi-daemon on the loopback interface, the own
// address resolution, and the export screen receiving both URLs.
#include "SharingTestSupport.h"

#include "platform/ui/SwitchControl.h"
#include "sharing/ExportController.h"
#include "support/LogCapture.h"

#include <QLabel>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <optional>

#include <unistd.h>

using namespace sonavell::test;

namespace {

// avahi-browse's parsable line for the named service that starts with the marker ('+' listed,
// '=' resolved); '@' is written \064 there. Complete lines only: avahi-browse's output comes in
// pieces that may end inside a line, and a resolved line cut before its address is no answer.
QString serviceLine(const QString& listing, QChar marker, const QString& serviceName)
{
    const QString name = QString(serviceName).replace(QLatin1Char('@'), QStringLiteral("\\064"));
    QStringList lines = listing.split(QLatin1Char('\n'));
    lines.removeLast(); // what follows the last line break, if anything
    for (const QString& line : lines)
        if (line.startsWith(marker) && line.section(QLatin1Char(';'), 3, 3) == name)
            return line;
    return {};
}

// What avahi-browse reports for HTTP services: with resolve, until the named service's resolved
// line has appeared (other services that come and go may never resolve); without, the current
// list.
QString browseHttpServices(bool resolve, const QString& awaitedName = QString())
{
    QProcess browse;
    browse.start(
        QStringLiteral("avahi-browse"),
        {resolve ? QStringLiteral("-rp") : QStringLiteral("-tp"), QStringLiteral("_http._tcp")});
    QString output;
    waitFor(
        [&] {
            output += QString::fromUtf8(browse.readAllStandardOutput());
            return browse.state() == QProcess::NotRunning ||
                   (resolve && !serviceLine(output, QLatin1Char('='), awaitedName).isEmpty());
        },
        10000);
    browse.kill();
    browse.waitForFinished(2000);
    return output + QString::fromUtf8(browse.readAllStandardOutput());
}

} // namespace

TEST(SharingBonjour, PublishesResolvesAndShowsBothUrlsOnTheExportScreen)
{
    ServerFixture fixture;
    fixture.web.write(QStringLiteral("index.html"), "<p>head</p>");
    SharingController::Environment env = fixture.environment();
    env.listenPort = 8080;
    SharingController server(env);
    ExportController exportScreen(nullptr);
    connectExportScreen(server, exportScreen);
    EXPECT_EQ(server.serviceName(), QStringLiteral("Sonavell@") + fixture.deviceName);

    // Setting the switch from code sends nothing; turning it on starts the server and the
    // captions show at once.
    exportScreen.webSharingSwitch()->setOn(true);
    EXPECT_FALSE(server.isSharingOn());
    exportScreen.webSharingSwitch()->setOn(false);
    exportScreen.webSharingSwitch()->click();
    EXPECT_TRUE(server.isSharingOn());
    EXPECT_FALSE(exportScreen.bonjourURLLabel->isHidden());
    EXPECT_FALSE(exportScreen.numericURLLabel->isHidden());

    ASSERT_TRUE(waitFor([&] { return !server.myPublicRawURL().isEmpty(); }, 20000));
    EXPECT_EQ(server.myPublicRawURL(), QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^http://[^/:]+\\.local\\.?:8080$"))
                    .match(server.myPublicHostNameURL())
                    .hasMatch())
        << server.myPublicHostNameURL().toStdString();
    EXPECT_EQ(exportScreen.bonjourURL->text(), server.myPublicHostNameURL());
    EXPECT_EQ(exportScreen.numericURL->text(), server.myPublicRawURL());

    // Another program on the machine finds the service and reaches the server through it.
    const QString line = serviceLine(browseHttpServices(true, server.serviceName()),
                                     QLatin1Char('='), server.serviceName());
    ASSERT_FALSE(line.isEmpty());
    // avahi-browse resolves the host's address over either protocol: its loopback A or AAAA.
    EXPECT_TRUE(QStringList({QStringLiteral("127.0.0.1"), QStringLiteral("::1")})
                    .contains(line.section(QLatin1Char(';'), 7, 7)))
        << line.toStdString();
    EXPECT_EQ(line.section(QLatin1Char(';'), 8, 8), QStringLiteral("8080"));
    int exitCode = -1;
    const QByteArray page = runCurl({server.myPublicRawURL() + QStringLiteral("/")}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(page.startsWith("<p>head</p><html><body><div id=\"categories\">"));

    // Switching off empties the addresses, hides the captions and withdraws the service.
    exportScreen.webSharingSwitch()->click();
    EXPECT_FALSE(server.isSharingOn());
    EXPECT_EQ(exportScreen.bonjourURL->text(), QString());
    EXPECT_EQ(exportScreen.numericURL->text(), QString());
    EXPECT_TRUE(exportScreen.bonjourURLLabel->isHidden());
    EXPECT_TRUE(exportScreen.numericURLLabel->isHidden());
    EXPECT_TRUE(waitFor([&] { return !server.isServiceThreadRunning(); }, 3000));
    EXPECT_TRUE(waitFor(
        [&] {
            return serviceLine(browseHttpServices(false), QLatin1Char('+'), server.serviceName())
                .isEmpty();
        },
        10000));
    // A resolution still under way when the switch went off never brings the URLs back.
    EXPECT_TRUE(server.myPublicRawURL().isEmpty());

    // Switched on again, the server publishes under the same name and reports again.
    exportScreen.webSharingSwitch()->click();
    ASSERT_TRUE(waitFor([&] { return !server.myPublicRawURL().isEmpty(); }, 20000));
    EXPECT_EQ(exportScreen.numericURL->text(), QStringLiteral("http://127.0.0.1:8080"));
    exportScreen.webSharingSwitch()->click();
}

TEST(SharingBonjour, ANameCollisionLeavesTheSecondServerServingAtItsNumericAddress)
{
    ServerFixture first;
    ServerFixture second;
    second.deviceName = first.deviceName;
    first.start();
    ASSERT_TRUE(waitFor([&] { return first.urlNotifications > 0; }, 20000));

    std::optional<LogCapture> log(std::in_place, "sonavell.sharing", QtWarningMsg);
    second.hostAddresses = {QStringLiteral("192.0.2.7"), QStringLiteral("198.51.100.3")};
    SharingController& server = second.start();
    const quint16 port = server.tcpPort();
    ASSERT_NE(port, 0);
    const QString collision = QStringLiteral(
        "A name collision occurred. A service is already running with that name someplace else.");
    EXPECT_TRUE(waitFor([&] { return log->contains(collision); }, 10000));
    ASSERT_TRUE(waitFor([&] { return second.urlNotifications > 0; }, 10000));
    EXPECT_TRUE(log->contains(QStringLiteral("Bonjour is unavailable (the name %1 is taken): "
                                             "browsers must use the numeric address "
                                             "http://192.0.2.7:%2 (this machine's addresses: "
                                             "192.0.2.7, 198.51.100.3).")
                                  .arg(server.serviceName(), QString::number(port))));
    log.reset();
    EXPECT_EQ(server.myPublicHostNameURL(), QString());
    EXPECT_EQ(server.myPublicRawURL(), QStringLiteral("http://192.0.2.7:%1").arg(port));
    // Both servers go on serving.
    EXPECT_TRUE(exchange(port, "GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(exchange(first.port(), "GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
}
