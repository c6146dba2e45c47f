// SPDX-License-Identifier: GPL-3.0-or-later
// The one fix of a run: the "location_source" text, a recorded NMEA log played through Qt's
// NMEA source, and the settings position standing in when the source is missing, fails or
// stays silent.
#include "platform/system/LocationManager.h"
#include "platform/system/SettingsKeys.h"
#include "support/TestEnvironment.h"

#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using sonavell::test::waitFor;

namespace {

QString nmeaLog()
{
    return QUrl::fromLocalFile(sonavell::test::sourceDir() +
                               "/tests/platform/system/data/cupertino-walk.nmea")
        .toString();
}

// Records every fix a manager delivers; the first one stops the updates, as the application
// object does.
struct Fixes
{
    explicit Fixes(LocationManager& manager, bool stop = true)
    {
        manager.didUpdateToLocation = [this, stop](LocationManager* m, const Location& now,
                                                   const Location&) {
            received.push_back(now);
            fromSource.push_back(m->lastFixFromSource());
            if (stop)
                m->stopUpdatingLocation();
        };
    }
    std::vector<Location> received;
    std::vector<bool> fromSource;
};

} // namespace

TEST(LocationSource, TextNamesTheSourceAndItsParameters)
{
    EXPECT_EQ(LocationManager::parseSource("").name, "geoclue2");
    EXPECT_EQ(LocationManager::parseSource("  ").name, "geoclue2");
    const auto none = LocationManager::parseSource("None");
    EXPECT_TRUE(none.name.isEmpty());
    EXPECT_TRUE(none.error.isEmpty());

    const auto nmea = LocationManager::parseSource(
        "nmea:source=file:///home/ann/trip one.nmea&satellite_info_simulation_interval=500");
    EXPECT_TRUE(nmea.error.isEmpty()) << nmea.error.toStdString();
    EXPECT_EQ(nmea.name, "nmea");
    // The value keeps its own colons, slashes and blanks.
    EXPECT_EQ(nmea.parameters.value("nmea.source").toString(), "file:///home/ann/trip one.nmea");
    EXPECT_EQ(nmea.parameters.value("source").toString(), "file:///home/ann/trip one.nmea");
    EXPECT_EQ(nmea.parameters.value("nmea.satellite_info_simulation_interval").toString(), "500");

    const auto geoclue = LocationManager::parseSource("geoclue2:desktopId=org.example.Memo");
    EXPECT_EQ(geoclue.parameters.value("desktopId").toString(), "org.example.Memo");
    // A key with a dot goes to the source as written.
    const auto dotted = LocationManager::parseSource("nmea:nmea.source=serial:/dev/ttyUSB0");
    EXPECT_EQ(dotted.parameters.keys(), QStringList{"nmea.source"});

    for (const char* bad : {":source=x", "nmea:source", "nmea:=x", "n mea:source=x"}) {
        const auto source = LocationManager::parseSource(bad);
        EXPECT_FALSE(source.error.isEmpty()) << bad;
        EXPECT_TRUE(source.name.isEmpty()) << bad;
    }
}

TEST(LocationSource, SettingsGiveTheSourceAndTheFallbackPosition)
{
    sonavell::test::ScratchDir dir;
    auto settings = sonavell::test::privateSettings(dir);
    EXPECT_FALSE(LocationManager::settingsPosition(*settings));
    settings->setValue(kLocationLatitudeKey, "-33.86882");
    settings->setValue(kLocationLongitudeKey, 151.20929);
    ASSERT_TRUE(LocationManager::settingsPosition(*settings));
    EXPECT_DOUBLE_EQ(LocationManager::settingsPosition(*settings)->latitude, -33.86882);
    settings->setValue(kLocationLatitudeKey, 91);
    EXPECT_FALSE(LocationManager::settingsPosition(*settings));
    settings->setValue(kLocationLatitudeKey, "north");
    EXPECT_FALSE(LocationManager::settingsPosition(*settings));

    // A hand-written value with a comma reads back as a list, and is still one text.
    dir.write("hand.ini", "[General]\nlocation_source=nmea:source=file:///tmp/a,b.nmea\n");
    QSettings hand(dir.file("hand.ini"), QSettings::IniFormat);
    const auto manager = LocationManager::fromSettings(hand);
    EXPECT_EQ(manager->source().parameters.value("nmea.source").toString(), "file:///tmp/a,b.nmea");
}

TEST(LocationFix, ARecordedNmeaLogGivesOneFixFromItsFirstValidSentence)
{
    LocationManager manager(LocationManager::parseSource("nmea:source=" + nmeaLog()),
                            Location{1, 2});
    ASSERT_TRUE(manager.locationServicesEnabled());
    Fixes fixes(manager);
    manager.startUpdatingLocation();
    EXPECT_TRUE(manager.isUpdating());
    ASSERT_TRUE(waitFor([&] { return !fixes.received.empty(); }, 10000));
    // 37° 19.9013' N, 122° 01.8439' W: the sentences before it carry no fix.
    EXPECT_NEAR(fixes.received[0].latitude, 37.331688, 1e-5);
    EXPECT_NEAR(fixes.received[0].longitude, -122.030732, 1e-5);
    EXPECT_TRUE(fixes.fromSource[0]);
    EXPECT_FALSE(manager.isUpdating());
    sonavell::test::pumpEvents(2500); // the rest of the log would have come by now
    EXPECT_EQ(fixes.received.size(), 1u);
}

TEST(LocationFix, TheSettingsPositionStandsInForAMissingBrokenOrSilentSource)
{
    const Location home{48.2082, 16.3738};

    // No such source installed.
    {
        LocationManager manager(LocationManager::parseSource("no-such-source"), home);
        Fixes fixes(manager);
        manager.startUpdatingLocation();
        ASSERT_TRUE(waitFor([&] { return !fixes.received.empty(); }, 5000));
        EXPECT_DOUBLE_EQ(fixes.received[0].latitude, home.latitude);
        EXPECT_FALSE(fixes.fromSource[0]);
        // Without a position to stand in, there is no location service at all.
        EXPECT_FALSE(LocationManager(LocationManager::parseSource("no-such-source"), std::nullopt)
                         .locationServicesEnabled());
        EXPECT_FALSE(LocationManager(LocationManager::parseSource("none"), std::nullopt)
                         .locationServicesEnabled());
    }

    // A log that is not there.
    {
        LocationManager manager(
            LocationManager::parseSource("nmea:source=file:///nonexistent/trip.nmea"), home, 3000);
        Fixes fixes(manager);
        manager.startUpdatingLocation();
        ASSERT_TRUE(waitFor([&] { return !fixes.received.empty(); }, 5000));
        EXPECT_FALSE(fixes.fromSource[0]);
    }

    // A receiver on the loopback that connects and never says a word: the fallback delay
    // ends the wait; without a fallback the source is left to come through later.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const QString socketSource =
        QStringLiteral("nmea:source=socket://127.0.0.1:%1").arg(silent.serverPort());
    {
        LocationManager manager(LocationManager::parseSource(socketSource), home, 300);
        Fixes fixes(manager);
        manager.startUpdatingLocation();
        ASSERT_TRUE(waitFor([&] { return !fixes.received.empty(); }, 5000));
        EXPECT_FALSE(fixes.fromSource[0]);
        EXPECT_FALSE(manager.isUpdating());
    }
    {
        LocationManager manager(LocationManager::parseSource(socketSource), std::nullopt, 300);
        Fixes fixes(manager);
        manager.startUpdatingLocation();
        sonavell::test::pumpEvents(800);
        EXPECT_TRUE(fixes.received.empty());
        EXPECT_TRUE(manager.isUpdating());
        manager.stopUpdatingLocation();
    }
}
