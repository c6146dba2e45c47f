// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV file layer: the exact recording format, reading other WAV flavours, refusing to
// extend files whose samples it would misread, what is not a WAV file, and what is not a file.
#include "platform/audio/AudioTestSupport.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>

using namespace sonavell::test;

namespace {

// The offset of a chunk's body in a RIFF file, or -1.
int chunk(const QByteArray& b, const char* id, uint32_t* size = nullptr)
{
    int at = 12;
    while (at + 8 <= b.size()) {
        const uint32_t len = le32(b, at + 4);
        if (b.mid(at, 4) == id) {
            if (size)
                *size = len;
            return at + 8;
        }
        at += 8 + int(len + (len & 1));
    }
    return -1;
}

} // namespace

TEST(AudioFile, WritesTheRecordingFormatExactly)
{
    ScratchDir dir;
    for (int rate : {11025, 22050, 44100}) {
        const QString path = dir.file(QStringLiteral("rec%1.wav").arg(rate));
        ASSERT_TRUE(writeWav(path, rate, sine(440, rate, 1000)));
        const QByteArray b = fileBytes(path);
        ASSERT_EQ(b.left(4), "RIFF");
        EXPECT_EQ(b.mid(8, 4), "WAVE");
        EXPECT_EQ(le32(b, 4), uint32_t(b.size() - 8));
        uint32_t fmtSize = 0, dataSize = 0;
        const int fmt = chunk(b, "fmt ", &fmtSize);
        ASSERT_GT(fmt, 0);
        EXPECT_EQ(le16(b, fmt), 1);     // PCM
        EXPECT_EQ(le16(b, fmt + 2), 1); // mono
        EXPECT_EQ(le32(b, fmt + 4), uint32_t(rate));
        EXPECT_EQ(le32(b, fmt + 8), uint32_t(2 * rate)); // byte rate
        EXPECT_EQ(le16(b, fmt + 12), 2);                 // block align
        EXPECT_EQ(le16(b, fmt + 14), 16);                // bits
        const int data = chunk(b, "data", &dataSize);
        ASSERT_GT(data, 0);
        EXPECT_EQ(dataSize, 2000u);
        EXPECT_EQ(le16(b, data + 2), uint16_t(sine(440, rate, 2)[1]));

        // And another reader agrees: rate, channels, bits and samples.
        for (auto [option, value] : {std::pair{"-r", QString::number(rate)},
                                     {"-c", QString("1")},
                                     {"-b", QString("16")},
                                     {"-s", QString("1000")}})
            EXPECT_EQ(run(QStringLiteral("soxi"), {option, path}).trimmed(), value) << option;
    }
}

TEST(AudioFile, ReadsOtherWavFlavoursAsMonoPackets)
{
    ScratchDir dir;
    struct Case
    {
        const char* name;
        QStringList format;
        int rate;
    };
    const std::vector<Case> cases = {
        {"u8.wav", {"-r", "8000", "-c", "1", "-b", "8"}, 8000},
        {"s24.wav", {"-r", "48000", "-c", "1", "-b", "24"}, 48000},
        {"f32.wav", {"-r", "22050", "-c", "1", "-e", "floating-point", "-b", "32"}, 22050},
        {"stereo.wav", {"-r", "44100", "-c", "2", "-b", "16"}, 44100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.file(QString::fromLatin1(c.name));
        ASSERT_TRUE(soxSine(path, c.format, 0.5, 441));
        std::unique_ptr<AudioFile> file;
        ASSERT_EQ(AudioFile::openURL(path, AudioFile::kReadPermission, &file), noErr);
        const auto f = file->dataFormat();
        EXPECT_EQ(f.mSampleRate, c.rate);
        EXPECT_EQ(f.mChannelsPerFrame, 1u);
        EXPECT_EQ(f.mBitsPerChannel, 16u);
        EXPECT_EQ(file->packetSizeUpperBound(), 2u);
        EXPECT_EQ(file->audioDataPacketCount(), c.rate / 2);
        EXPECT_FALSE(file->isRecordingFormat());
        const auto s = readSamples(path);
        ASSERT_EQ(s.size(), size_t(c.rate / 2));
        EXPECT_NEAR(dominantFrequency(s, c.rate, 400, 480), 441.0, 1.0);
        EXPECT_GT(rms(s, 0, s.size()), 0.5 * 32767 / std::sqrt(2.0)); // sox's full-scale sine
        // Never extended: its samples would be misread.
        std::unique_ptr<AudioFile> rw;
        const QByteArray before = fileBytes(path);
        EXPECT_EQ(AudioFile::openURL(path, AudioFile::kReadWritePermission, &rw),
                  AudioFile::kAudioFileUnsupportedFormatError);
        EXPECT_EQ(fileBytes(path), before);
    }
}

TEST(AudioFile, RejectsWhatIsNotAWavFile)
{
    ScratchDir dir;
    std::unique_ptr<AudioFile> file;
    EXPECT_EQ(AudioFile::openURL(dir.file("missing.wav"), AudioFile::kReadPermission, &file),
              AudioFile::kAudioFileNotFoundError);
    dir.write(QStringLiteral("text.wav"), "this is not audio at all, just some words\n");
    EXPECT_EQ(AudioFile::openURL(dir.file("text.wav"), AudioFile::kReadPermission, &file),
              AudioFile::kAudioFileNotFoundError);
    const QString aiff = dir.file(QStringLiteral("tone.aiff"));
    ASSERT_TRUE(soxSine(aiff, {"-r", "11025", "-c", "1"}, 0.5, 441));
    EXPECT_EQ(AudioFile::openURL(aiff, AudioFile::kReadPermission, &file),
              AudioFile::kAudioFileUnsupportedFormatError);
    EXPECT_EQ(file, nullptr);

    // Cut inside the header: unreadable. Cut inside the audio: what is left is read.
    const QString whole = dir.file(QStringLiteral("whole.wav"));
    ASSERT_TRUE(writeWav(whole, 11025, sine(440, 11025, 1000)));
    const QByteArray b = fileBytes(whole);
    dir.write(QStringLiteral("head.wav"), b.left(30));
    EXPECT_NE(AudioFile::openURL(dir.file("head.wav"), AudioFile::kReadPermission, &file), noErr);
    dir.write(QStringLiteral("cut.wav"), b.left(44 + 600));
    ASSERT_EQ(AudioFile::openURL(dir.file("cut.wav"), AudioFile::kReadPermission, &file), noErr);
    EXPECT_EQ(file->audioDataPacketCount(), 300);
}

TEST(AudioFile, OpensRegularFilesOnlyAndNeverWaitsOnAFifo)
{
    // Opening a FIFO for reading would wait for a writer forever; it is refused at once, for
    // reading, appending and creating alike, and a folder the same way.
    ScratchDir dir;
    const QString fifo = dir.file("x.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto attempt = std::async(std::launch::async, [&] {
        std::unique_ptr<AudioFile> file;
        return std::vector<OSStatus>{
            AudioFile::openURL(fifo, AudioFile::kReadPermission, &file),
            AudioFile::openURL(fifo, AudioFile::kReadWritePermission, &file),
            AudioFile::createWithURL(fifo, monoPCM16Format(11025), &file),
            AudioFile::createWithURL(dir.path(), monoPCM16Format(11025), &file)};
    });
    if (attempt.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        // Let the stuck open go so the test can end, then fail.
        QFile writer(fifo);
        writer.open(QIODevice::ReadWrite);
        attempt.wait();
        FAIL() << "opening a FIFO waited";
    }
    for (OSStatus status : attempt.get())
        EXPECT_NE(status, noErr);
    EXPECT_TRUE(QFileInfo(fifo).exists());
}
