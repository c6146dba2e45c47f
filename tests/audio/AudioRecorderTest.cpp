// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder on the virtual device: exact sample counts, appending, the stop sequence the
// controller relies on, and what happens when the file cannot take more.
#include "audio/AudioRecorder.h"
#include "EngineTestSupport.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace sonavell::test;

namespace {

std::shared_ptr<VirtualAudioDevice> manualDevice()
{
    auto d = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    d->setInputGenerator(VirtualAudioDevice::Generator::Ramp);
    return d;
}

// Plays the controller's part: releases the recorder when it reports the stop, and notes what
// it found at that moment.
struct Controller : StateRecorder
{
    std::unique_ptr<AudioRecorder> recorder;
    int64_t packetAtStart = -1;
    bool fileClosedAtStop = false;
    size_t samplesOnDiskAtStop = 0;
    QString path;

    explicit Controller(const QString& p)
        : path(p)
    {
        onChange = [this](AudioQueueObject* e) {
            if (e->isRunning()) {
                packetAtStart = e->startingPacketNumber();
                return;
            }
            fileClosedAtStop = e->audioFileID() == nullptr;
            samplesOnDiskAtStop = readSamples(path).size();
            recorder.reset();
        };
    }
    void start(double rate, std::shared_ptr<AudioDevice> device)
    {
        recorder = std::make_unique<AudioRecorder>(QUrl::fromLocalFile(path), rate, device);
        recorder->setNotificationDelegate(this);
        recorder->record();
    }
    void stop()
    {
        recorder->setStopping(true);
        recorder->stop();
    }
};

// Runs the clock until the recorder stops by itself (its stop goes through the event loop).
bool runUntilStopped(Controller& c, VirtualAudioDevice& device, double maxSeconds)
{
    for (double t = 0; t < maxSeconds && c.recorder; t += 0.05) {
        device.advance(0.05);
        QThread::msleep(1);
        QCoreApplication::processEvents();
    }
    for (int i = 0; i < 200 && c.recorder; ++i) {
        QThread::msleep(5);
        QCoreApplication::processEvents();
    }
    return !c.recorder;
}

} // namespace

TEST(AudioRecorder, TwoSecondsAtLowQualityAddExactly22050Samples)
{
    ScratchDir dir;
    auto device = manualDevice();
    Controller c(dir.file("take.wav"));
    c.start(11025, device);
    EXPECT_EQ(c.states, std::vector<bool>{true});
    EXPECT_EQ(c.packetAtStart, 0);
    device->advance(2.0);
    c.stop();
    // The stop was reported, the file closed and complete, before stop() returned.
    EXPECT_EQ(c.recorder, nullptr);
    EXPECT_EQ(c.states, (std::vector<bool>{true, false}));
    EXPECT_TRUE(c.fileClosedAtStop);
    EXPECT_EQ(c.samplesOnDiskAtStop, 22050u);
    EXPECT_EQ(readSamples(c.path), ramp(22050));
    const QByteArray b = fileBytes(c.path);
    EXPECT_EQ(b.size(), 44 + 44100);
    EXPECT_EQ(le32(b, 24), 11025u);
}

TEST(AudioRecorder, AppendsAfterTheExistingAudioAndKeepsIt)
{
    ScratchDir dir;
    auto device = manualDevice();
    const QString path = dir.file("memo.wav");
    const auto earlier = sine(440, 11025, 22050);
    ASSERT_TRUE(writeWav(path, 11025, earlier));
    Controller c(path);
    c.start(11025, device);
    EXPECT_EQ(c.packetAtStart, 22050);
    device->advance(1.0);
    c.stop();
    auto all = readSamples(path);
    ASSERT_EQ(all.size(), 22050u + 11025u);
    EXPECT_TRUE(std::equal(earlier.begin(), earlier.end(), all.begin()));
    EXPECT_TRUE(std::equal(all.begin() + 22050, all.end(), ramp(11025).begin()));

    // A take asked for at another rate continues at the file's own rate.
    Controller again(path);
    again.start(11025 * 1.5, device);
    device->advance(1.0);
    again.stop();
    all = readSamples(path);
    EXPECT_EQ(all.size(), 33075u + 11025u);
    EXPECT_EQ(le32(fileBytes(path), 24), 11025u);
}

TEST(AudioRecorder, TheWarningAboutTheFilesOwnRateNamesThePathAsItIs)
{
    // A folder or file name with place markers of its own keeps them in the warning, and the
    // rates stand where they belong.
    ScratchDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("100%1 %2"));
    const QString path = dir.file("100%1 %2/Q%1 (%2).wav");
    ASSERT_TRUE(writeWav(path, 11025, sine(440, 11025, 5512)));
    auto device = manualDevice();
    sonavell::test::LogCapture log("sonavell.audio", QtWarningMsg);
    Controller c(path);
    c.start(11025 * 1.5, device);
    device->advance(0.5);
    c.stop();
    EXPECT_TRUE(log.contains(QStringLiteral("appending to ") + path +
                             QStringLiteral(" at its own rate of 11025 Hz rather than "
                                            "16537.5 Hz")))
        << log.lines().join('\n').toStdString();
    EXPECT_EQ(readSamples(path).size(), 5512u + 5512u);
}

TEST(AudioRecorder, NeverOverwritesWhatItCannotExtend)
{
    ScratchDir dir;
    auto device = manualDevice();
    // Audio in another format is neither extended nor replaced, and no take starts.
    const QString stereo = dir.file("stereo.wav");
    ASSERT_TRUE(soxSine(stereo, {"-r", "22050", "-c", "2"}, 0.2, 300));
    const QByteArray before = fileBytes(stereo);
    Controller c(stereo);
    c.start(22050, device);
    EXPECT_TRUE(c.states.empty());
    EXPECT_FALSE(c.recorder->isRunning());
    EXPECT_EQ(c.recorder->setupFailure(), "stereo.wav holds audio in another format");
    EXPECT_EQ(fileBytes(stereo), before);

    // A file that cannot be read as audio (a damaged header) is moved aside whole, under a
    // stamped name, and the take goes into a new file of the old name.
    const QByteArray junk("RIFF\x10\0\0\0WAVEfmt damaged beyond repair", 38);
    dir.write("junk.wav", junk);
    Controller j(dir.file("junk.wav"));
    j.start(11025, device);
    device->advance(0.5);
    j.stop();
    EXPECT_EQ(readSamples(dir.file("junk.wav")), ramp(5512));
    const QStringList aside = QDir(dir.path()).entryList({"junk.wav.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(QRegularExpression("^junk\\.wav\\.unreadable-\\d{14}$").match(aside[0]).hasMatch());
    EXPECT_EQ(fileBytes(dir.file(aside[0])), junk);

    // A FIFO at the path is neither waited on nor written: the take is refused at once.
    const QString fifo = dir.file("fifo.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Controller f(fifo);
    f.start(11025, device);
    EXPECT_FALSE(f.recorder->isRunning());
    EXPECT_FALSE(f.recorder->setupFailure().isEmpty());

    // A file that cannot be created refuses the take with the reason.
    Controller n(dir.file("no-such-folder/take.wav"));
    n.start(11025, device);
    EXPECT_TRUE(n.states.empty());
    EXPECT_EQ(n.recorder->setupFailure(), QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST(AudioRecorder, AWriteStallOfTenSecondsLosesNoFrame)
{
    // The file's first write hangs while 12 s of audio arrive at the highest rate, four times
    // what the recorder's own buffers hold; then the disk catches up.
    ScratchDir dir;
    auto device = manualDevice();
    std::mutex mutex;
    std::condition_variable cv;
    bool stalled = false, released = false;
    AudioFile::setBeforeWriteHook([&] {
        std::unique_lock lock(mutex);
        if (released)
            return;
        stalled = true;
        cv.notify_all();
        cv.wait(lock, [&] { return released; });
    });
    Controller c(dir.file("slow.wav"));
    c.start(44100, device);
    device->advance(1.0);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return stalled; }));
    }
    for (int i = 0; i < 96; ++i)
        device->advance(0.125);
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    cv.notify_all();
    device->advance(1.0);
    c.stop();
    AudioFile::setBeforeWriteHook({});
    EXPECT_EQ(c.states, (std::vector<bool>{true, false}));
    const auto samples = readSamples(c.path);
    EXPECT_EQ(samples.size(), 14u * 44100u);
    EXPECT_EQ(samples, ramp(samples.size()));
}

TEST(AudioRecorder, EndsTheTakeCleanlyWhenTheFileCannotGrow)
{
    // The RIFF size limit (lowered here), then a full disk: a file size limit makes writes past
    // it fail with EFBIG. Either way the controller hears an ordinary stop and the file is valid.
    for (bool diskFull : {false, true}) {
        SCOPED_TRACE(diskFull ? "disk full" : "size limit");
        ScratchDir dir;
        auto device = manualDevice();
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (diskFull) {
            rlimit small = old;
            small.rlim_cur = 150000;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        } else {
            AudioFile::setAudioDataByteLimit(100000);
        }
        Controller c(dir.file("full.wav"));
        c.start(11025, device);
        const bool stopped = runUntilStopped(c, *device, 12.0);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        AudioFile::setAudioDataByteLimit(AudioFile::kRiffAudioDataByteLimit);
        ASSERT_TRUE(stopped);
        EXPECT_EQ(c.states, (std::vector<bool>{true, false}));
        EXPECT_TRUE(c.fileClosedAtStop);
        const auto s = readSamples(c.path);
        if (diskFull) {
            EXPECT_GE(s.size(), 32768u);
            EXPECT_LE(s.size(), 75000u);
        } else {
            EXPECT_EQ(s.size(), 50000u);
        }
        EXPECT_EQ(s, ramp(s.size()));
        EXPECT_EQ(le32(fileBytes(c.path), 40), uint32_t(s.size() * 2)); // header matches
    }
}

// Runs only as the child of KilledProcessLeavesAPlayableFile: records until killed.
TEST(AudioRecorderChild, RecordsUntilKilled)
{
    const QString path = qEnvironmentVariable("SONAVELL_TEST_RECORD_INTO");
    if (path.isEmpty())
        GTEST_SKIP() << "runs as a child process only";
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Real);
    device->setInputGenerator(VirtualAudioDevice::Generator::Ramp);
    AudioRecorder recorder(QUrl::fromLocalFile(path), 44100, device);
    recorder.record();
    for (;;)
        QThread::msleep(100);
}

TEST(AudioRecorder, KilledProcessLeavesAPlayableFile)
{
    ScratchDir dir;
    const QString path = dir.file("crash.wav");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SONAVELL_TEST_RECORD_INTO", path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=AudioRecorderChild.RecordsUntilKilled"});
    ASSERT_TRUE(child.waitForStarted());
    // Two buffers of 0.74 s are on disk by about 1.5 s; kill it in the middle of the third.
    for (int i = 0; i < 300 && QFileInfo(path).size() < 44 + 2 * 65536; ++i)
        QThread::msleep(10);
    QThread::msleep(350);
    child.kill();
    child.waitForFinished();
    ASSERT_GE(QFileInfo(path).size(), 44 + 2 * 65536);
    const auto s = readSamples(path);
    ASSERT_GE(s.size(), 2u * 32768u);
    EXPECT_EQ(s.size() % 32768, 0u); // whole buffers, each with its header update
    EXPECT_EQ(s, ramp(s.size()));
    EXPECT_EQ(run("soxi", {"-s", path}).trimmed(), QString::number(s.size()));
}

namespace {
class BareEngine : public AudioQueueObject
{
};
} // namespace

TEST(AudioQueueObject, ReportsChannelZeroAsSquareRootsAndKeepsValuesOnAFailedQuery)
{
    BareEngine e; // no queue: every meter query fails
    AudioStreamBasicDescription f = monoPCM16Format(44100);
    f.mChannelsPerFrame = 2;
    e.setAudioFormat(f);
    e.enableLevelMetering();
    ASSERT_NE(e.audioLevels(), nullptr);
    EXPECT_EQ(e.audioLevels()[1].mAveragePower, 0.0f);
    float level = -1, peak = -1;
    e.getAudioLevels(&level, &peak);
    EXPECT_EQ(level, 0.0f);
    EXPECT_EQ(peak, 0.0f);
    e.audioLevels()[0] = {0.25f, 1.0f};
    e.audioLevels()[1] = {0.81f, 0.81f};
    e.getAudioLevels(&level, &peak);
    EXPECT_FLOAT_EQ(level, 0.5f);
    EXPECT_FLOAT_EQ(peak, 1.0f);
    EXPECT_FALSE(e.isRunning());
    e.setStartingPacketNumber(1);
    e.incrementStartingPacketNumberBy(4294967295u);
    EXPECT_EQ(e.startingPacketNumber(), 4294967296LL);
}
