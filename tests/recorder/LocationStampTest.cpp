// SPDX-License-Identifier: GPL-3.0-or-later
// A take stamped with the place of the run's one fix: a recorded NMEA log played through Qt's
// NMEA source gives the fix, a loopback server stands in for the place-name service.
#include "RecorderTestSupport.h"

#include "support/ReplyServer.h"

#include <QUrl>

namespace {

const QByteArray kCupertino = R"(<?xml version="1.0" encoding="UTF-8"?>
<geonames><code><postalcode>95014</postalcode><name>Cupertino</name>
<countryCode>US</countryCode><adminCode1>CA</adminCode1></code></geonames>)";

class LocationStamp : public RecorderFixture
{
protected:
    LocationStamp()
    {
        locationFromSettings = true;
        settings->setValue(kAutoLocationStampKey, true);
        settings->setValue(kGeonamesUrlKey, places.url());
        settings->setValue(
            kLocationSourceKey,
            "nmea:source=" + QUrl::fromLocalFile(sonavell::test::sourceDir() +
                                                 "/tests/platform/system/data/cupertino-walk.nmea")
                                 .toString());
        // Far from the log's place: a stamp from here would mean the log was not read.
        settings->setValue(kLocationLatitudeKey, -33.86882);
        settings->setValue(kLocationLongitudeKey, 151.20929);
    }

    sonavell::test::ReplyServer places{"200 OK", kCupertino};
};

} // namespace

TEST_F(LocationStamp, TheNmeaFixNamesThePlaceOfTheNextTake)
{
    ASSERT_TRUE(app->locationManager()->isUpdating());
    ASSERT_TRUE(sonavell::test::waitFor([&] { return app->foundLocation(); }, 10000));
    EXPECT_TRUE(app->locationManager()->lastFixFromSource());
    EXPECT_FALSE(app->locationManager()->isUpdating()) << "one fix per run";
    ASSERT_EQ(places.requestLines().size(), 1);
    EXPECT_EQ(places.requestLines()[0],
              "GET /findNearbyPostalCodes?lat=37.331688&lng=-122.030731 HTTP/1.1");
    EXPECT_EQ(app->locationString(), "Cupertino CA 95014 US");

    transport()->doRecord();
    ASSERT_NE(avc->audioRecorder(), nullptr);
    pump(1.0);
    transport()->doRecord();
    EXPECT_NEAR(current()->duration(), 1.0, 0.05);
    EXPECT_EQ(current()->locationString(), "Cupertino CA 95014 US");
    QCoreApplication::processEvents();
    EXPECT_EQ(app->librarySnapshot()->recordings.back().locationString, "Cupertino CA 95014 US");
}
