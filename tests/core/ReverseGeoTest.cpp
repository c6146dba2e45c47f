#include "LibraryFixture.h"

#include "core/ReverseGeo.h"
#include "platform/system/Location.h"
#include "support/ReplyServer.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using sonavell::test::ReplyServer;

namespace {

const QByteArray kTwoBlocks = R"(<?xml version="1.0" encoding="UTF-8"?>
<geonames>
<code><postalcode>95014</postalcode><name>Cupertino</name><countryCode>US</countryCode>
<lat>37.3</lat><lng>-122.0</lng><adminCode1>CA</adminCode1><adminName1>California</adminName1></code>
<code><postalcode>95015</postalcode><name>Somewhere Else</name><countryCode>US</countryCode>
<adminCode1>CA</adminCode1></code>
</geonames>)";

} // namespace

using Geo = LibraryFixture;

TEST_F(Geo, FirstBlockGivesThePlaceAndTheRequestCarriesTheFix)
{
    ReplyServer server("200 OK", kTwoBlocks);
    settings->setValue("geonames_url", server.url());
    settings->setValue("geonames_username", "demo user");
    ReverseGeo geo(*settings);
    EXPECT_EQ(geo.getStringFromLocation(Location{37.331689, -122.030731}), "Cupertino CA 95014 US");
    ASSERT_EQ(server.requestLines().size(), 1);
    // Single precision shows in the query: 37.331689 is sent as 37.331688.
    EXPECT_EQ(
        server.requestLines()[0],
        "GET /findNearbyPostalCodes?lat=37.331688&lng=-122.030731&username=demo%20user HTTP/1.1");

    ReverseGeo south(*settings);
    south.getStringFromLatitudeAndLongitude(-33.86882f, 151.20929f);
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
    EXPECT_EQ(ReverseGeo(*settings).getStringFromLatitudeAndLongitude(1, 2), "Not Available");

    // Nothing listens on this loopback port: refused at once.
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    settings->setValue("geonames_url", QStringLiteral("http://127.0.0.1:%1").arg(port));
    EXPECT_EQ(ReverseGeo(*settings).getStringFromLatitudeAndLongitude(1, 2), "Not Available");

    // A server that accepts and never answers: the time-out ends the wait.
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);
    settings->setValue("geonames_url",
                       QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(ReverseGeo(*settings, 500).getStringFromLatitudeAndLongitude(1, 2), "Not Available");
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
