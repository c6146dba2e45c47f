// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/IdleInhibitor.h"
#include "FakeIdleServices.h"
#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

// True once every copy of the pipe's writing end is closed.
bool writerClosed(int readEnd)
{
    ::fcntl(readEnd, F_SETFL, ::fcntl(readEnd, F_GETFL) | O_NONBLOCK);
    char byte;
    return ::read(readEnd, &byte, 1) == 0;
}

TEST(IdleInhibitorTest, WithoutABusOnlyTheStateChanges)
{
    IdleInhibitor inhibitor(QDBusConnection(QStringLiteral("no-such-bus")),
                            QDBusConnection(QStringLiteral("no-such-bus")));
    inhibitor.setIdleTimerDisabled(true);
    EXPECT_TRUE(inhibitor.isIdleTimerDisabled());
    QTest::qWait(20);
    EXPECT_FALSE(inhibitor.holdsSleepInhibitor());
    EXPECT_FALSE(inhibitor.holdsScreenSaverInhibit());
    inhibitor.setIdleTimerDisabled(false);
    EXPECT_FALSE(inhibitor.isIdleTimerDisabled());
}

// A private message bus with the two services on it, standing in for both the system bus and
// the session bus.
class IdleInhibitorBusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (bus.address().isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        services = bus.connect(QStringLiteral("idle-services"));
        client = bus.connect(QStringLiteral("idle-client"));
        ASSERT_TRUE(services->isConnected());
        ASSERT_TRUE(client->isConnected());
    }

    void offerServices()
    {
        ASSERT_TRUE(services->registerObject("/org/freedesktop/login1", &logind,
                                             QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(services->registerService("org.freedesktop.login1"));
        ASSERT_TRUE(services->registerObject("/org/freedesktop/ScreenSaver", &screenSaver,
                                             QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(services->registerService("org.freedesktop.ScreenSaver"));
    }

    void TearDown() override
    {
        client.reset();
        services.reset();
    }

    sonavell::test::PrivateBus bus;
    std::unique_ptr<QDBusConnection> services;
    std::unique_ptr<QDBusConnection> client;
    FakeLogind logind;
    FakeScreenSaver screenSaver;
};

TEST_F(IdleInhibitorBusTest, HoldsBothWhileDisabledAndLetsGoWhenEnabled)
{
    offerServices();
    IdleInhibitor inhibitor(*client, *client);
    inhibitor.setIdleTimerDisabled(true);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return inhibitor.holdsSleepInhibitor() && inhibitor.holdsScreenSaverInhibit(); },
        5000));
    ASSERT_EQ(logind.requests.size(), 1);
    EXPECT_TRUE(logind.requests[0].startsWith("sleep:idle/Sonavell/"));
    EXPECT_TRUE(logind.requests[0].endsWith("/block"));
    EXPECT_FALSE(writerClosed(logind.readEnds[0])) << "the lock is held";

    // Disabling again while disabled asks for nothing more.
    inhibitor.setIdleTimerDisabled(true);
    QTest::qWait(50);
    EXPECT_EQ(logind.requests.size(), 1);
    EXPECT_EQ(screenSaver.granted.size(), 1);

    inhibitor.setIdleTimerDisabled(false);
    EXPECT_FALSE(inhibitor.holdsSleepInhibitor());
    EXPECT_FALSE(inhibitor.holdsScreenSaverInhibit());
    EXPECT_TRUE(writerClosed(logind.readEnds[0]));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screenSaver.released.isEmpty(); }, 5000));
    EXPECT_EQ(screenSaver.released, screenSaver.granted);
}

TEST_F(IdleInhibitorBusTest, HoldsGrantedAfterEnablingAgainAreReleasedAtOnce)
{
    offerServices();
    IdleInhibitor inhibitor(*client, *client);
    // Both answers arrive after the idle timer is back on.
    inhibitor.setIdleTimerDisabled(true);
    inhibitor.setIdleTimerDisabled(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screenSaver.released.isEmpty(); }, 5000));
    EXPECT_EQ(screenSaver.released, screenSaver.granted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return logind.readEnds.size() == 1u; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return writerClosed(logind.readEnds[0]); }, 5000));
    EXPECT_FALSE(inhibitor.holdsSleepInhibitor());
    EXPECT_FALSE(inhibitor.holdsScreenSaverInhibit());
}

TEST_F(IdleInhibitorBusTest, MissingServicesAreSkipped)
{
    IdleInhibitor inhibitor(*client, *client);
    inhibitor.setIdleTimerDisabled(true);
    QTest::qWait(200);
    EXPECT_TRUE(inhibitor.isIdleTimerDisabled());
    EXPECT_FALSE(inhibitor.holdsSleepInhibitor());
    EXPECT_FALSE(inhibitor.holdsScreenSaverInhibit());
    inhibitor.setIdleTimerDisabled(false);
}

} // namespace
