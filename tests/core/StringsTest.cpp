// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryFixture.h"
#include <cmath>

using Strings = LibraryFixture;

TEST(TimeStrings, ShortFormsClockFormAndNonFiniteInput)
{
    auto t = [](double s, int16_t mode = 0) {
        return AppDelegate::makeTimeStringFromSamps(s, mode, 1);
    };
    EXPECT_EQ(t(0), "0s");
    EXPECT_EQ(t(5), "5s");
    EXPECT_EQ(t(125), "02m 05s");
    EXPECT_EQ(t(3725), "1h 02m 05s");
    EXPECT_EQ(t(-5), "-5s");
    EXPECT_EQ(t(-125), "-02m 05s");
    // The millisecond total is rounded up before it is split.
    EXPECT_EQ(t(59.9995), "01m 00s");
    // Milliseconds are dropped, not rounded, in the short forms.
    EXPECT_EQ(t(5.999), "5s");
    // No day unit.
    EXPECT_EQ(t(90000), "25h 00m 00s");
    // Only mode 1 is the clock form.
    EXPECT_EQ(t(125, 2), "02m 05s");
    EXPECT_EQ(t(125, -1), "02m 05s");

    // The clock form, in samples at a rate.
    EXPECT_EQ(AppDelegate::makeTimeStringFromSamps(1, 1, 44100), "0:00:00.001");
    EXPECT_EQ(AppDelegate::makeTimeStringFromSamps(5512500, 1, 44100), "0:02:05.000");
    EXPECT_EQ(AppDelegate::makeTimeStringFromSamps(22050 * 3725.25, 1, 22050), "1:02:05.250");
    EXPECT_EQ(AppDelegate::makeTimeStringFromSamps(-11025, 1, 11025), "-0:00:01.000");

    // No rate, or no number: zero.
    EXPECT_EQ(AppDelegate::makeTimeStringFromSamps(100, 0, 0), "0s");
    EXPECT_EQ(AppDelegate::makeTimeStringFromSamps(std::nan(""), 1, 44100), "0:00:00.000");
}

TEST(SizeStrings, PowersOf1024)
{
    EXPECT_EQ(AppDelegate::getSizeString(0), "0.0k");
    EXPECT_EQ(AppDelegate::getSizeString(1023), "0.0k");
    EXPECT_EQ(AppDelegate::getSizeString(1048575), "1023.0k");
    EXPECT_EQ(AppDelegate::getSizeString(1048576), "1.0MB");
    EXPECT_EQ(AppDelegate::getSizeString(5292000), "5.0MB");
    EXPECT_EQ(AppDelegate::getSizeString(3ULL << 30), "3.0GB");
}

TEST_F(Strings, UsageLine)
{
    auto app = start();
    EXPECT_EQ(app->getUsageString(), "0.0MB Used, 1.46GB Free");

    app->addRecording();
    app->recordings().last()->setDuration(60); // one minute of mono HQ: 5292000 bytes
    freeBytes = 1023ULL * 1048576;
    EXPECT_EQ(app->getUsageString(), "5.0MB Used, 1023.0MB Free");

    // A quality the usage line does not know adds nothing.
    app->addRecording();
    app->recordings().last()->setQuality(QString());
    app->recordings().last()->setDuration(1000);
    EXPECT_EQ(app->getUsageString(), "5.0MB Used, 1023.0MB Free");

    // Exactly 1024 MB used: 1024 * 2^20 bytes = LQ mono for 48,695.5... s; use HQ stereo.
    app->recordings().last()->setQuality(QStringLiteral("HQ"));
    app->recordings().last()->setChannels(2);
    app->recordings().first()->setDuration(0);
    app->recordings().last()->setDuration(1024.0 * 1048576 / (44100 * 4));
    EXPECT_EQ(app->getUsageString(), "1.00GB Used, 1023.0MB Free");
}

TEST_F(Strings, UsageLineWithDamagedRecords)
{
    auto app = start();
    app->addRecording();
    app->recordings().last()->setDuration(60); // 5292000 bytes
    // A negative duration, a negative channel count and a duration that is not a number add
    // nothing; the minute recorded above still counts.
    for (auto [duration, channels] :
         {std::pair{-3600.0, 1}, std::pair{60.0, -2}, std::pair{std::nan(""), 1}}) {
        app->addRecording();
        app->recordings().last()->setDuration(duration);
        app->recordings().last()->setChannels(channels);
        EXPECT_EQ(app->getUsageString(), "5.0MB Used, 1.46GB Free");
    }
    // A duration past what 64 bits of bytes can count stops the total at its largest value
    // instead of wrapping round to a small one.
    app->addRecording();
    app->recordings().last()->setDuration(1e300);
    const QString huge = app->getUsageString();
    EXPECT_TRUE(huge.endsWith(QLatin1String("GB Used, 1.46GB Free"))) << huge.toStdString();
    EXPECT_GT(huge.section(QLatin1Char('G'), 0, 0).toDouble(), 1e9) << huge.toStdString();
}
