// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryFixture.h"

#include "core/ReverseGeo.h"
#include "platform/system/Location.h"
#include "support/ReplyServer.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <optional>

using sonavell::test::ReplyServer;

namespace {

const QByteArray kTwoBlocks = R"(<?xml version="1.0" encoding="UTF-8"?>
<geonames>
<code><postalcode>95014</postalcode><name>Cupertino</name><countryCode>US</countryCode>
<lat>37.3</lat><lng>-122.0</lng><adminCode1>CA</adminCode1><adminName1>California</adminName1></code>
<code><postalcode>95015</postalcode><name>Somewhere Else</name><countryCode>US</countryCode>
<adminCode1>CA</adminCode1></code>
</geonames>)";

// Starts a lookup and waits for its place text (empty when none came).
QString lookUp(ReverseGeo& geo, float lat, float lng)
{
    std::optional<QString> place;
    geo.getStringFromLatitudeAndLongitude(lat, lng, [&](const QString& text) { place = text; });
    sonavell::test::waitFor([&] { return place.has_value(); }, 30000);
    return place.value_or(QString());
}

QString lookUp(ReverseGeo& geo, const Location& location)
{
    std::optional<QString> place;
    geo.getStringFromLocation(location, [&](const QString& text) { place = text; });
    sonavell::test::waitFor([&] { return place.has_value(); }, 30000);
    return place.value_or(QString());
}

} // namespace

using Geo = LibraryFixture;

TEST_F(Geo, FirstBlockGivesThePlaceAndTheRequestCarriesTheFix)
{
    ReplyServer server("200 OK", kTwoBlocks);
    settings->setValue("geonames_url", server.url());
    settings->setValue("geonames_username", "demo user");
    ReverseGeo geo(*settings);
    EXPECT_EQ(lookUp(geo, Location{37.331689, -122.030731}), "Cupertino CA 95014 US");
    ASSERT_EQ(server.requestLines().size(), 1);
    // Single precision shows in the query: 37.331689 is sent as 37.331688.
    EXPECT_EQ(
        server.requestLines()[0],
        "GET /findNearbyPostalCodes?lat=37.331688&lng=-122.030731&username=demo%20user HTTP/1.1");

    ReverseGeo south(*settings);
    lookUp(south, -33.86882f, 151.20929f);
    EXPECT_TRUE(server.requestLines()[1].contains("lat=-33.868820&lng=151.209290"));
}

TEST(ReverseGeoParse, MissingElementsSplitTextAndLineFeeds)
{
    QSettings settings(QString(), QSettings::IniFormat);
    auto place = [&](const QByteArray& xml) {
        ReverseGeo geo(settings);
        geo.parse(xml);
        return geo.placeText();
    };
    EXPECT_EQ(place("<g><code><postalcode>95014</postalcode><adminCode1>CA</adminCode1>"
                    "<countryCode>US</countryCode></code></g>"),
              " CA 95014 US");
    EXPECT_EQ(place("<g><code><postalcode>95014</postalcode><name>Cupertino</name>"
                    "<countryCode>US</countryCode></code></g>"),
              "Cupertino 95014 US");
    EXPECT_EQ(place("<g><code><name>San\nJose</name><adminCode1>CA</adminCode1></code></g>"),
              "SanJose CA ");
    EXPECT_EQ(place("<g><code><name>Cu<![CDATA[per]]>tino</name></code></g>"), "Cupertino  ");
    EXPECT_EQ(place("<g><status message=\"user does not exist\"/></g>"), "Not Available");
    EXPECT_EQ(place("not xml at all"), "Not Available");

    // Callbacks driven directly: pieces are joined, text after the first block ignored.
    ReverseGeo geo(settings);
    geo.parserDidStartElement("name");
    geo.parserFoundCharacters("Cuper");
    geo.parserFoundCharacters("tino");
    geo.parserDidEndElement("name");
    geo.parserFoundCharacters("stray");
    geo.parserDidEndElement("code");
    geo.parserDidStartElement("countryCode");
    geo.parserFoundCharacters("US");
    EXPECT_EQ(geo.placeText(), "Cupertino  ");
}

TEST_F(Geo, FailuresGiveNotAvailable)
{
    ReplyServer server("500 Internal Server Error", kTwoBlocks);
    settings->setValue("geonames_url", server.url());
    {
        ReverseGeo geo(*settings);
        EXPECT_EQ(lookUp(geo, 1, 2), "Not Available");
    }

    // Nothing listens on this loopback port: refused at once.
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    settings->setValue("geonames_url", QStringLiteral("http://127.0.0.1:%1").arg(port));
    {
        ReverseGeo geo(*settings);
        EXPECT_EQ(lookUp(geo, 1, 2), "Not Available");
    }

    // A server that accepts and never answers: the time-out ends the wait.
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);
    settings->setValue("geonames_url",
                       QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
    QElapsedTimer timer;
    timer.start();
    ReverseGeo impatient(*settings, 500);
    EXPECT_EQ(lookUp(impatient, 1, 2), "Not Available");
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(Geo, StampingStartsOnlyWhenSwitchedOnAndStoresThePlace)
{
    ReplyServer server("200 OK", kTwoBlocks);
    settings->setValue("geonames_url", server.url());
    location = std::make_shared<LocationManager>(Location{37.331689, -122.030731});

    auto off = start();
    EXPECT_FALSE(off->findLocation());
    QCoreApplication::processEvents();
    EXPECT_FALSE(off->foundLocation());
    EXPECT_FALSE(location->isUpdating());

    settings->setValue("auto_location_stamp", true);
    auto on = start();
    EXPECT_TRUE(location->isUpdating());
    EXPECT_FALSE(on->foundLocation());
    for (int i = 0; i < 500 && !on->foundLocation(); ++i)
        QTest::qWait(10);
    ASSERT_TRUE(on->foundLocation());
    EXPECT_EQ(on->locationString(), "Cupertino CA 95014 US");
    EXPECT_FALSE(location->isUpdating()) << "one fix per run";

    // No location source: services count as disabled.
    location = std::make_shared<LocationManager>(std::nullopt);
    auto none = start();
    EXPECT_FALSE(none->findLocation());
}

TEST_F(Geo, ALookupLeavesTheEventLoopRunningAndEndsWithItsObject)
{
    // A server that accepts and never answers: each lookup lasts until its time-out.
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);
    settings->setValue("geonames_url",
                       QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
    ReverseGeo geo(*settings, 800);
    std::optional<QString> place;
    QElapsedTimer clock;
    clock.start();
    geo.getStringFromLatitudeAndLongitude(1, 2, [&](const QString& text) { place = text; });
    EXPECT_LT(clock.elapsed(), 200) << "the call does not wait for the answer";
    EXPECT_TRUE(geo.isLookingUp());
    // A timer due long before the answer fires while the lookup runs.
    bool timerFired = false;
    QTimer::singleShot(50, [&] {
        timerFired = true;
        EXPECT_FALSE(place.has_value());
    });
    ASSERT_TRUE(sonavell::test::waitFor([&] { return place.has_value(); }, 5000));
    EXPECT_TRUE(timerFired);
    EXPECT_GE(clock.elapsed(), 700);
    EXPECT_EQ(*place, "Not Available");
    EXPECT_FALSE(geo.isLookingUp());

    // A second lookup replaces the first, which never answers.
    int firstAnswers = 0;
    place.reset();
    geo.getStringFromLatitudeAndLongitude(1, 2, [&](const QString&) { ++firstAnswers; });
    geo.getStringFromLatitudeAndLongitude(3, 4, [&](const QString& text) { place = text; });
    ASSERT_TRUE(sonavell::test::waitFor([&] { return place.has_value(); }, 5000));
    sonavell::test::pumpEvents(200);
    EXPECT_EQ(firstAnswers, 0);

    // Deleted while its lookup is under way: no answer comes.
    int answers = 0;
    auto doomed = std::make_unique<ReverseGeo>(*settings, 800);
    doomed->getStringFromLatitudeAndLongitude(1, 2, [&](const QString&) { ++answers; });
    sonavell::test::pumpEvents(100);
    doomed.reset();
    sonavell::test::pumpEvents(1200);
    EXPECT_EQ(answers, 0);
}

TEST_F(Geo, TheApplicationMayGoWhileItsPlaceIsLookedUp)
{
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);
    settings->setValue("geonames_url",
                       QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
    settings->setValue("auto_location_stamp", true);
    location = std::make_shared<LocationManager>(Location{37.331689, -122.030731});
    auto app = start();
    ASSERT_TRUE(sonavell::test::waitFor([&] { return silent.hasPendingConnections(); }, 5000));
    sonavell::test::pumpEvents(100);
    // The fix is taken, its place not known yet: updates go on until it is.
    EXPECT_FALSE(app->foundLocation());
    EXPECT_TRUE(location->isUpdating());
    app.reset();
    sonavell::test::pumpEvents(500);
}
