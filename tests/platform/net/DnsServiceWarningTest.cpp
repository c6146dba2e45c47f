// SPDX-License-Identifier: GPL-3.0-or-later
// Avahi's dns_sd compatibility library warns about itself on standard error at its first call
// unless AVAHI_COMPAT_NOWARN is set; the network library sets it before main().
#include "platform/net/NetServiceBrowser.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

TEST(DnsServiceWarningTest, FirstDnsSdCallPrintsNoWarning)
{
    // CTest gives this test no AVAHI_COMPAT_NOWARN, and a system bus that is not there, so the
    // browse below fails at once without reaching any avahi-daemon.
    ASSERT_TRUE(qEnvironmentVariableIsSet("AVAHI_COMPAT_NOWARN"));

    QTemporaryFile capture;
    ASSERT_TRUE(capture.open());
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_GE(saved, 0);
    ASSERT_GE(::dup2(capture.handle(), STDERR_FILENO), 0);
    {
        NetServiceBrowser browser;
        browser.searchForServicesOfType(QStringLiteral("_sonavell-test._tcp."),
                                        QStringLiteral("local."));
        browser.stop();
    }
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);

    capture.seek(0);
    const QByteArray printed = capture.readAll();
    EXPECT_FALSE(printed.contains("compatibility layer")) << printed.toStdString();
}
