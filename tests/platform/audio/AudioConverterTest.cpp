// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV-to-Opus/FLAC converter: what a converted memo decodes to (length, pitch and level of a
// tone; FLAC sample for sample), and what a failed or cancelled conversion leaves behind.
#include "platform/audio/AudioConverter.h"

#include "support/DecodedAudio.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace sonavell::test;

namespace {

// One Opus frame as libsndfile writes them (20 ms): converted lengths may differ by this much.
constexpr double kCodecFrameSeconds = 0.020;
// How far a converted tone may drift in pitch and in level.
constexpr double kFrequencyToleranceHz = 2.0;
constexpr double kLevelToleranceDb = 1.0;

// Whether a decoded tone is the 1 kHz tone at `levelDb`, within the tolerances.
::testing::AssertionResult isTone(const DecodedAudio& decoded, double frequency, double levelDb)
{
    const double f = toneFrequency(decoded.samples, decoded.rate);
    const double level = rmsDecibels(decoded.samples);
    if (std::abs(f - frequency) > kFrequencyToleranceHz ||
        std::abs(level - levelDb) > kLevelToleranceDb)
        return ::testing::AssertionFailure() << "tone at " << f << " Hz, " << level << " dBFS";
    return ::testing::AssertionSuccess();
}

// The level of a sine of amplitude `a` (full scale 1.0).
double sineDb(double a)
{
    return 20.0 * std::log10(a / std::sqrt(2.0));
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

class AudioConverterTest : public ::testing::TestWithParam<int>
{
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_P(AudioConverterTest, OpusKeepsLengthPitchAndLevel)
{
    const int rate = GetParam();
    ASSERT_TRUE(writeToneWav(path("memo.wav"), rate, 3.0));
    const auto result = AudioConverter::convertFile(path("memo.wav"), path("memo.opus"),
                                                    AudioConverter::Format::Opus);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    const DecodedAudio decoded = decodeAudio(path("memo.opus"));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_NEAR(decoded.seconds(), 3.0, kCodecFrameSeconds);
    EXPECT_TRUE(isTone(decoded, 1000.0, sineDb(0.5)));
    // At 24 kbit/s three seconds are about 9 KB: a twentieth of a 22050 Hz WAV or less.
    EXPECT_LT(QFileInfo(path("memo.opus")).size(), 3 * 32000 / 8 + 4096);
}

TEST_P(AudioConverterTest, FlacIsTheMemoSampleForSample)
{
    const int rate = GetParam();
    ASSERT_TRUE(writeToneWav(path("memo.wav"), rate, 2.0));
    ASSERT_TRUE(AudioConverter::convertFile(path("memo.wav"), path("memo.flac"),
                                            AudioConverter::Format::Flac)
                    .ok());
    const DecodedAudio wav = decodeAudio(path("memo.wav"));
    const DecodedAudio flac = decodeAudio(path("memo.flac"));
    ASSERT_TRUE(flac.ok);
    EXPECT_EQ(flac.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(flac.rate, rate);
    // Both are 16-bit integers read back as float the same way: lossless means equal.
    EXPECT_EQ(flac.samples, wav.samples);
    EXPECT_LT(QFileInfo(path("memo.flac")).size(), QFileInfo(path("memo.wav")).size());
}

INSTANTIATE_TEST_SUITE_P(QualityRates, AudioConverterTest, ::testing::Values(11025, 22050, 44100));

TEST(AudioConverterToneCheck, TellsAChangedToneApart)
{
    // The tolerances are not so wide that a wrong pitch or a level 2 dB off would pass.
    QTemporaryDir dir;
    for (const auto& [frequency, amplitude] : {std::pair{1010.0, 0.5}, std::pair{1000.0, 0.4}}) {
        const QString wav = dir.filePath("other.wav"), opus = dir.filePath("other.opus");
        ASSERT_TRUE(writeToneWav(wav, 22050, 2.0, frequency, amplitude));
        ASSERT_TRUE(AudioConverter::convertFile(wav, opus, AudioConverter::Format::Opus).ok());
        EXPECT_FALSE(isTone(decodeAudio(opus), 1000.0, sineDb(0.5)))
            << frequency << " Hz at " << amplitude;
    }
}

TEST(AudioConverterFiles, EmptyMemoIsRefusedWithAReason)
{
    // A stream without frames would be a file no decoder opens.
    QTemporaryDir dir;
    ASSERT_TRUE(writeToneWav(dir.filePath("empty.wav"), 22050, 0.0));
    for (const auto format : {AudioConverter::Format::Opus, AudioConverter::Format::Flac}) {
        const QString out = dir.filePath("empty." + AudioConverter::extensionFor(format));
        const auto result = AudioConverter::convertFile(dir.filePath("empty.wav"), out, format);
        EXPECT_EQ(result.outcome, AudioConverter::Outcome::Failed);
        EXPECT_FALSE(result.error.isEmpty());
    }
    EXPECT_EQ(leftovers(dir.path()), QStringList{"empty.wav"});
}

TEST(AudioConverterFiles, MissingOrDamagedMemoFailsAndLeavesNothing)
{
    QTemporaryDir dir;
    QFile damaged(dir.filePath("damaged.wav"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray("RIFF\x10\0\0\0WAVEjunk", 16) + QByteArray(5000, 'x'));
    damaged.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.wav"));
    for (const QString source : {"missing.wav", "damaged.wav", "folder.wav"}) {
        for (const auto format : {AudioConverter::Format::Opus, AudioConverter::Format::Flac}) {
            const auto result =
                AudioConverter::convertFile(dir.filePath(source), dir.filePath("out"), format);
            EXPECT_EQ(result.outcome, AudioConverter::Outcome::Failed) << source.toStdString();
            EXPECT_FALSE(result.error.isEmpty());
        }
    }
    EXPECT_EQ(leftovers(dir.path()), QStringList{"damaged.wav"});
}

TEST(AudioConverterFiles, FailureKeepsTheEarlierCopy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeToneWav(dir.filePath("memo.wav"), 11025, 1.0));
    ASSERT_TRUE(AudioConverter::convertFile(dir.filePath("memo.wav"), dir.filePath("memo.flac"),
                                            AudioConverter::Format::Flac)
                    .ok());
    const qint64 size = QFileInfo(dir.filePath("memo.flac")).size();
    QFile::remove(dir.filePath("memo.wav"));
    EXPECT_FALSE(AudioConverter::convertFile(dir.filePath("memo.wav"), dir.filePath("memo.flac"),
                                             AudioConverter::Format::Flac)
                     .ok());
    EXPECT_EQ(QFileInfo(dir.filePath("memo.flac")).size(), size);
    EXPECT_EQ(leftovers(dir.path()), QStringList{"memo.flac"});
}

TEST(AudioConverterFiles, UnwritableDestinationIsAnError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeToneWav(dir.filePath("memo.wav"), 11025, 0.5));
    const auto result = AudioConverter::convertFile(dir.filePath("memo.wav"),
                                                    dir.filePath("no/such/folder/memo.opus"),
                                                    AudioConverter::Format::Opus);
    EXPECT_EQ(result.outcome, AudioConverter::Outcome::Failed);
    EXPECT_FALSE(result.error.isEmpty());
}

TEST(AudioConverterWorker, ReportsRisingProgressThenTheOutcome)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeToneWav(dir.filePath("memo.wav"), 22050, 20.0));
    AudioConverter converter;
    QSignalSpy progress(&converter, &AudioConverter::progressChanged);
    QSignalSpy finished(&converter, &AudioConverter::finished);
    ASSERT_TRUE(converter.start(dir.filePath("memo.wav"), dir.filePath("memo.opus"),
                                AudioConverter::Format::Opus));
    EXPECT_TRUE(converter.isRunning());
    EXPECT_FALSE(converter.start(dir.filePath("memo.wav"), dir.filePath("again.opus"),
                                 AudioConverter::Format::Opus));
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(converter.isRunning());
    EXPECT_TRUE(finished.at(0).at(0).value<AudioConverter::Result>().ok());
    ASSERT_GE(progress.size(), 10);
    double last = -1.0;
    for (const auto& args : progress) {
        EXPECT_GT(args.at(0).toDouble(), last);
        last = args.at(0).toDouble();
    }
    EXPECT_DOUBLE_EQ(last, 1.0);
    EXPECT_EQ(leftovers(dir.path()), (QStringList{"memo.opus", "memo.wav"}));
}

TEST(AudioConverterWorker, CancelStopsAndLeavesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeToneWav(dir.filePath("memo.wav"), 44100, 120.0));
    AudioConverter converter;
    QSignalSpy finished(&converter, &AudioConverter::finished);
    ASSERT_TRUE(converter.start(dir.filePath("memo.wav"), dir.filePath("memo.opus"),
                                AudioConverter::Format::Opus));
    converter.cancel();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.at(0).at(0).value<AudioConverter::Result>().outcome,
              AudioConverter::Outcome::Cancelled);
    EXPECT_EQ(leftovers(dir.path()), QStringList{"memo.wav"});
}

TEST(AudioConverterWorker, DestroyingARunningConverterCancelsIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeToneWav(dir.filePath("memo.wav"), 44100, 120.0));
    {
        AudioConverter converter;
        ASSERT_TRUE(converter.start(dir.filePath("memo.wav"), dir.filePath("memo.flac"),
                                    AudioConverter::Format::Flac));
    }
    EXPECT_EQ(leftovers(dir.path()), QStringList{"memo.wav"});
}

} // namespace
