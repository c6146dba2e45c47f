// SPDX-License-Identifier: GPL-3.0-or-later
// Web sharing on a machine where no mDNS daemon answers: this test runs with a system bus address
// that leads nowhere, so every publication fails as it does without avahi-daemon.
#include "PushTestSupport.h"
#include "SharingTestSupport.h"

#include "platform/net/HostAddresses.h"
#include "platform/ui/SwitchControl.h"
#include "sharing/ExportController.h"

#include <QLabel>
#include <QUrl>

#include <gtest/gtest.h>

using namespace sonavell::test;

TEST(SharingWithoutBonjour, TheServerServesAndTheScreenShowsTheNumericAddress)
{
    ServerFixture fixture;
    fixture.web.write(QStringLiteral("index.html"), "<p>head</p>");
    fixture.hostAddresses = {QStringLiteral("192.0.2.7")};
    SharingController server(fixture.environment());
    ExportController exportScreen(nullptr);
    connectExportScreen(server, exportScreen);

    exportScreen.webSharingSwitch()->click();
    ASSERT_TRUE(waitFor([&] { return !server.myPublicRawURL().isEmpty(); }, 10000));
    const quint16 port = server.tcpPort();
    EXPECT_EQ(server.myPublicRawURL(), QStringLiteral("http://192.0.2.7:%1").arg(port));
    EXPECT_EQ(exportScreen.numericURL->text(), server.myPublicRawURL());
    EXPECT_EQ(exportScreen.bonjourURL->text(), QString());
    EXPECT_FALSE(exportScreen.bonjourUnavailableNote->isHidden());
    EXPECT_TRUE(exchange(port, "GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));

    exportScreen.webSharingSwitch()->click();
    EXPECT_TRUE(exportScreen.bonjourUnavailableNote->isHidden());
    EXPECT_TRUE(waitFor([&] { return !server.isServiceThreadRunning(); }, 3000));
}

TEST(SharingWithoutBonjour, TheRealInterfacesGiveTheAddress)
{
    ServerFixture fixture;
    SharingController& server = fixture.start();
    ASSERT_TRUE(waitFor([&] { return !server.myPublicRawURL().isEmpty(); }, 10000));
    const QStringList addresses = HostAddresses::ipv4();
    EXPECT_EQ(QUrl(server.myPublicRawURL()).host(),
              addresses.isEmpty() ? QStringLiteral("127.0.0.1") : addresses.first());
}

TEST(SharingWithoutBonjour, ThePushScreenFindsNoReceiverAndKeepsSendDisabled)
{
    PushScreenFixture f;
    f.addRecording(QStringLiteral("Memo"), patterned(600));
    f.screen->viewWillAppear(false);
    pumpEvents(500);
    EXPECT_EQ(f.screen->receiverPicker->numberOfRowsInComponent(0), 0);
    EXPECT_FALSE(f.screen->sendButton->isEnabled());
    f.screen->sendButton->click();
    EXPECT_FALSE(f.screen->isPushRunning());
    EXPECT_TRUE(f.codes.empty());
    f.screen->viewWillDisappear(false);
}
