// SPDX-License-Identifier: GPL-3.0-or-later
// The media player service on a private bus: what it refuses before a request reaches the
// program, which changes it signals, and a second player on the same bus.
#include "platform/system/MediaPlayer2Service.h"
#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

class ChangeLog : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
public slots:
    void propertiesChanged(const QString&, const QVariantMap& changed, const QStringList&)
    {
        changes << changed;
    }
};

class MediaPlayer2ServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (bus.address().isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        player = bus.connect(QStringLiteral("mpris-player"));
        client = bus.connect(QStringLiteral("mpris-client"));
        ASSERT_TRUE(player->isConnected());
        ASSERT_TRUE(client->isConnected());
        client->connect(QString(), kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                        &log, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    }

    void TearDown() override
    {
        client.reset();
        player.reset();
    }

    // A method call from the client, answered while the test's event loop runs.
    QDBusMessage call(const QString& service, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, kPath, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client->asyncCall(message, 5000);
        while (!pending.isFinished())
            QTest::qWait(5);
        return pending.reply();
    }

    QDBusMessage setRate(const QString& service, double rate)
    {
        return call(service, "org.freedesktop.DBus.Properties", "Set",
                    {kPlayer, QStringLiteral("Rate"), QVariant::fromValue(QDBusVariant(rate))});
    }

    sonavell::test::PrivateBus bus;
    std::unique_ptr<QDBusConnection> player;
    std::unique_ptr<QDBusConnection> client;
    ChangeLog log;
};

MediaPlayerState loadedMemo()
{
    MediaPlayerState state;
    state.status = MediaPlayerState::Status::Paused;
    state.trackId = QStringLiteral("/org/sonavell/Sonavell/memo/m1");
    state.title = QStringLiteral("Lecture 3");
    state.lengthUs = 10'000'000;
    state.canPlay = state.canPause = state.canSeek = true;
    return state;
}

TEST_F(MediaPlayer2ServiceTest, StaleOrOutOfRangeRequestsNeverReachTheProgram)
{
    QList<qint64> positions;
    QList<double> rates;
    MediaPlayer2Service::Handlers handlers;
    handlers.setPosition = [&](qint64 us) { positions << us; };
    handlers.setRate = [&](double rate) { rates << rate; };
    MediaPlayer2Service service(*player, "test", "Test", "org.example.Test", handlers);
    service.update(loadedMemo());
    ASSERT_TRUE(service.start());
    const QString name = service.serviceName();
    EXPECT_EQ(name, "org.mpris.MediaPlayer2.test");

    const auto setPosition = [&](const QString& track, qint64 us) {
        call(name, kPlayer, "SetPosition",
             {QVariant::fromValue(QDBusObjectPath(track)), QVariant::fromValue(qlonglong(us))});
    };
    setPosition("/org/sonavell/Sonavell/memo/m2", 1'000'000); // another memo's
    setPosition("/org/sonavell/Sonavell/memo/m1", -1);
    setPosition("/org/sonavell/Sonavell/memo/m1", 10'000'001); // past the end
    setPosition("/org/sonavell/Sonavell/memo/m1", 10'000'000);
    EXPECT_EQ(positions, QList<qint64>{10'000'000});

    for (double rate : {2.0, 0.5, 1.25, 0.0, 1.5, 0.75})
        setRate(name, rate);
    EXPECT_EQ(rates, (QList<double>{1.5, 0.75}));

    // Without a memo no id matches, not even the "no track" one.
    service.update(MediaPlayerState{});
    setPosition("/org/mpris/MediaPlayer2/TrackList/NoTrack", 0);
    EXPECT_EQ(positions.size(), 1);
}

TEST_F(MediaPlayer2ServiceTest, OnlyWhatChangedIsSignalledOncePerReport)
{
    MediaPlayer2Service service(*player, "test", "Test", "org.example.Test", {});
    ASSERT_TRUE(service.start());
    service.update(loadedMemo());
    service.update(loadedMemo()); // nothing new: no signal
    MediaPlayerState playing = loadedMemo();
    playing.status = MediaPlayerState::Status::Playing;
    service.update(playing);
    MediaPlayerState renamed = playing;
    renamed.title = QStringLiteral("Lecture 4");
    renamed.rate = 1.5;
    service.update(renamed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.changes.size() >= 3; }, 5000));
    QTest::qWait(50);
    ASSERT_EQ(log.changes.size(), 3);

    EXPECT_EQ(log.changes[0].value("PlaybackStatus"), "Paused");
    EXPECT_TRUE(log.changes[0].contains("Metadata"));
    EXPECT_TRUE(log.changes[0].value("CanPlay").toBool());
    EXPECT_EQ(log.changes[1].keys(), QStringList{"PlaybackStatus"});
    EXPECT_EQ(log.changes[1].value("PlaybackStatus"), "Playing");
    EXPECT_EQ(log.changes[2].keys(), (QStringList{"Metadata", "Rate"}));
    QVariantMap metadata;
    log.changes[2].value("Metadata").value<QDBusArgument>() >> metadata;
    EXPECT_EQ(metadata.value("xesam:title"), "Lecture 4");
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 10'000'000);
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/sonavell/Sonavell/memo/m1");
}

TEST_F(MediaPlayer2ServiceTest, ASecondPlayerOnTheBusTakesAnInstanceName)
{
    MediaPlayer2Service first(*player, "test", "Test", "org.example.Test", {});
    ASSERT_TRUE(first.start());
    // The second copy runs as another process on its own connection; the client's connection
    // stands in for it.
    MediaPlayer2Service second(*client, "test", "Test", "org.example.Test", {});
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(second.serviceName().startsWith("org.mpris.MediaPlayer2.test.instance"));
    EXPECT_TRUE(client->interface()->isServiceRegistered(second.serviceName()).value());
}

} // namespace

#include "MediaPlayer2ServiceTest.moc"
