// SPDX-License-Identifier: GPL-3.0-or-later
// The executable as a media player on a private session bus: the lock screen's and media keys'
// requests (sent with dbus-send, as any other client would) drive the recorder screen's
// transport, and every change is signalled in the order it happened.
#include "support/PrivateBus.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.sonavell");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// A mono 16-bit WAV file of a quiet 440 Hz tone.
QByteArray toneWav(int sampleRate, double seconds)
{
    const auto frames = quint32(std::lround(sampleRate * seconds));
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + frames * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate) << quint32(sampleRate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(frames * 2);
    for (quint32 i = 0; i < frames; ++i)
        out << qint16(std::lround(3000.0 * std::sin(2.0 * M_PI * 440.0 * i / sampleRate)));
    return bytes;
}

// Collects the player's PropertiesChanged and Seeked signals as they arrive.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

    // The values one property took, in the order they were signalled.
    QStringList valuesOf(const QString& property) const
    {
        QStringList values;
        for (const QVariantMap& change : changes)
            if (change.contains(property))
                values << change.value(property).toString();
        return values;
    }

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == kPlayer)
            changes << changed;
    }
    void seeked(qlonglong position) { seeks << position; }
};

class MediaControlsProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (privateBus.address().isEmpty() || QStandardPaths::findExecutable("dbus-send").isEmpty())
            GTEST_SKIP() << "dbus-daemon and dbus-send are not installed";
        address = privateBus.address();
        bus = privateBus.connect(QStringLiteral("mpris-client"));
        ASSERT_TRUE(bus->isConnected());
        bus->connect(QString(), kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged", &log,
                     SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        bus->connect(QString(), kPath, kPlayer, "Seeked", &log, SLOT(seeked(qlonglong)));
    }

    void TearDown() override
    {
        if (sonavell.state() != QProcess::NotRunning) {
            ::kill(pid_t(sonavell.processId()), SIGTERM);
            sonavell.waitForFinished(30000);
        }
        bus.reset();
    }

    // Starts the program on the private bus with the virtual sound device, a library of one
    // memo of `memoSeconds` (none when 0), and waits until the player is on the bus.
    void startSonavell(double memoSeconds, const QStringList& arguments = {})
    {
        if (memoSeconds > 0.0)
            dir.write("Documents/REC20260101120000.wav", toneWav(11025, memoSeconds));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.file("config"));
        env.insert("XDG_DATA_HOME", dir.file("data"));
        env.insert("SONAVELL_AUDIO", "virtual");
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        env.remove("SONAVELL_DOCUMENTS");
        sonavell.setProcessEnvironment(env);
        sonavell.setProcessChannelMode(QProcess::MergedChannels);
        sonavell.start(qEnvironmentVariable("SONAVELL_BUILD_DIR") + "/app/sonavell",
                       QStringList{"-platform", "offscreen", "--documents", dir.file("Documents")} +
                           arguments);
        ASSERT_TRUE(sonavell.waitForStarted());
        ASSERT_TRUE(sonavell::test::waitFor(
            [&] { return bus->interface()->isServiceRegistered(kService).value(); }, 30000))
            << output().toStdString();
    }

    QByteArray output()
    {
        logged += sonavell.readAll();
        return logged;
    }

    // A method of the player interface, sent as a client on the bus sends it.
    void send(const QString& method, const QStringList& arguments = {})
    {
        QProcess client;
        client.start("dbus-send", QStringList{"--bus=" + address, "--print-reply",
                                              "--dest=" + kService, kPath, kPlayer + "." + method} +
                                      arguments);
        ASSERT_TRUE(client.waitForFinished(10000));
        EXPECT_EQ(client.exitCode(), 0)
            << method.toStdString() << ": " << client.readAllStandardError().toStdString();
    }

    QVariant property(const QString& interface, const QString& name)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kService, kPath, "org.freedesktop.DBus.Properties", "Get");
        call << interface << name;
        const QDBusMessage reply = bus->call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().front().value<QDBusVariant>().variant();
    }
    QVariant player(const QString& name) { return property(kPlayer, name); }
    double positionSeconds() { return player("Position").toLongLong() / 1e6; }

    bool waitForStatus(const QString& status)
    {
        return sonavell::test::waitFor([&] { return player("PlaybackStatus") == status; }, 10000);
    }

    sonavell::test::ScratchDir dir;
    sonavell::test::PrivateBus privateBus;
    QString address;
    std::unique_ptr<QDBusConnection> bus;
    SignalLog log;
    QProcess sonavell;
    QByteArray logged;
};

} // namespace

TEST_F(MediaControlsProcess, TheLoadedMemoIsOnTheBusWithItsNameAndLength)
{
    startSonavell(6.0);
    EXPECT_EQ(property("org.mpris.MediaPlayer2", "Identity").toString(), "Sonavell");
    EXPECT_EQ(property("org.mpris.MediaPlayer2", "DesktopEntry").toString(),
              "org.sonavell.Sonavell");
    EXPECT_FALSE(property("org.mpris.MediaPlayer2", "CanQuit").toBool());
    EXPECT_EQ(player("PlaybackStatus").toString(), "Stopped");
    EXPECT_FALSE(player("CanGoNext").toBool());
    EXPECT_FALSE(player("CanGoPrevious").toBool());
    EXPECT_TRUE(player("CanPlay").toBool());
    EXPECT_TRUE(player("CanSeek").toBool());
    EXPECT_DOUBLE_EQ(player("Rate").toDouble(), 1.0);

    // Metadata arrives as a{sv}; the Get reply leaves it as a D-Bus argument.
    QVariantMap metadata;
    player("Metadata").value<QDBusArgument>() >> metadata;
    EXPECT_FALSE(metadata.value("xesam:title").toString().isEmpty());
    EXPECT_NEAR(metadata.value("mpris:length").toLongLong() / 1e6, 6.0, 0.01);
    EXPECT_TRUE(
        metadata.value("mpris:trackid").value<QDBusObjectPath>().path().startsWith("/org/"));

    // The player leaves the bus with the program.
    ::kill(pid_t(sonavell.processId()), SIGTERM);
    ASSERT_TRUE(sonavell.waitForFinished(30000));
    EXPECT_FALSE(bus->interface()->isServiceRegistered(kService).value());
}

TEST_F(MediaControlsProcess, PlayPauseSeekAndRateDriveTheTransportAndAreSignalledInOrder)
{
    startSonavell(20.0);

    send("PlayPause");
    ASSERT_TRUE(waitForStatus("Playing")) << output().toStdString();
    EXPECT_TRUE(sonavell::test::waitFor([&] { return positionSeconds() > 0.3; }, 5000));
    EXPECT_TRUE(output().contains("playback just started.")) << logged.toStdString();

    send("PlayPause");
    ASSERT_TRUE(waitForStatus("Paused"));
    const double paused = positionSeconds();
    sonavell::test::pumpEvents(300);
    EXPECT_NEAR(positionSeconds(), paused, 1e-3) << "a paused memo stays where it is";

    // Relative seeks move the position; before the start is the start, past the end is ignored.
    send("Seek", {"int64:2000000"});
    EXPECT_NEAR(positionSeconds(), paused + 2.0, 0.01);
    send("Seek", {"int64:-60000000"});
    EXPECT_NEAR(positionSeconds(), 0.0, 0.01);
    send("Seek", {"int64:60000000"});
    EXPECT_NEAR(positionSeconds(), 0.0, 0.01);
    ASSERT_TRUE(sonavell::test::waitFor([&] { return log.seeks.size() >= 2; }, 5000));
    EXPECT_NEAR(log.seeks.at(0) / 1e6, paused + 2.0, 0.01);
    EXPECT_EQ(log.seeks.at(1), 0);

    // SetPosition for the loaded memo moves there; for any other memo it is stale.
    QVariantMap metadata;
    player("Metadata").value<QDBusArgument>() >> metadata;
    const QString track = metadata.value("mpris:trackid").value<QDBusObjectPath>().path();
    send("SetPosition", {"objpath:" + track, "int64:5000000"});
    EXPECT_NEAR(positionSeconds(), 5.0, 0.01);
    send("SetPosition", {"objpath:/org/sonavell/Sonavell/memo/other", "int64:1000000"});
    EXPECT_NEAR(positionSeconds(), 5.0, 0.01);

    // The rate is one of the three play speeds; others are ignored.
    QProcess setter;
    const auto setRate = [&](const QString& value) {
        setter.start("dbus-send", {"--bus=" + address, "--print-reply", "--dest=" + kService, kPath,
                                   "org.freedesktop.DBus.Properties.Set", "string:" + kPlayer,
                                   "string:Rate", "variant:double:" + value});
        setter.waitForFinished(10000);
    };
    setRate("1.5");
    EXPECT_DOUBLE_EQ(player("Rate").toDouble(), 1.5);
    setRate("2.0");
    EXPECT_DOUBLE_EQ(player("Rate").toDouble(), 1.5);

    // Playing on at 1.5 from 5 s: the position runs half as fast again as the clock.
    send("Play");
    ASSERT_TRUE(waitForStatus("Playing"));
    send("Play");
    EXPECT_EQ(player("PlaybackStatus").toString(), "Playing") << "Play while playing is no toggle";
    send("Stop");
    ASSERT_TRUE(waitForStatus("Stopped"));
    EXPECT_NEAR(positionSeconds(), 0.0, 0.01);

    ASSERT_TRUE(
        sonavell::test::waitFor([&] { return log.valuesOf("PlaybackStatus").size() >= 5; }, 5000));
    EXPECT_EQ(log.valuesOf("PlaybackStatus"),
              (QStringList{"Playing", "Paused", "Stopped", "Paused", "Playing", "Stopped"}))
        << "every status change, in order";
    EXPECT_EQ(log.valuesOf("Rate"), QStringList{"1.5"});
}

TEST_F(MediaControlsProcess, RequestsNeverStartOrDisturbATake)
{
    startSonavell(0.0, {"--record"});
    ASSERT_TRUE(sonavell::test::waitFor(
        [&] { return output().contains("recording just started."); }, 30000))
        << logged.toStdString();
    EXPECT_FALSE(player("CanPlay").toBool());
    for (const char* method : {"PlayPause", "Play", "Pause", "Stop"})
        send(method);
    send("Seek", {"int64:1000000"});
    sonavell::test::pumpEvents(500);
    EXPECT_EQ(player("PlaybackStatus").toString(), "Stopped");
    EXPECT_FALSE(output().contains("playback just started.")) << logged.toStdString();
    EXPECT_FALSE(output().contains("recording just stopped.")) << logged.toStdString();
}

#include "MediaControlsProcessTest.moc"
