// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder screen's transport on the virtual audio device with a manual clock: takes,
// appends, the count-in, the timed stop, playback and its speed, the toolbars, interruptions,
// delete and add, leaving the screen and quitting, and files and devices that refuse a take.
#include "RecorderTestSupport.h"

#include "dashboard/MeterView.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/audio/AudioSession.h"
#include "platform/ui/ImageSlider.h"
#include "platform/ui/SwitchControl.h"
#include "platform/ui/Toolbar.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

QList<bool> enabledItems(Toolbar* toolbar)
{
    QList<bool> enabled;
    for (int i : {1, 3, 5})
        enabled << toolbar->items()[i].isEnabled();
    return enabled;
}

// The record of `fileName` as the recordings archive on disk holds it.
std::shared_ptr<Recording> savedRecording(const QString& docs, const QString& fileName)
{
    QFile file(docs + "/recordings.plist");
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    KeyedUnarchiver coder(file.readAll());
    std::shared_ptr<Recording> found;
    coder.decodeRootArray([&](const QString& className) {
        auto r = std::make_shared<Recording>(coder, docs);
        if (className == "Recording" && r->filename() == fileName)
            found = r;
    });
    return found;
}

} // namespace

TEST_F(RecorderFixture, ATakeWritesItsLengthQualityAndPlaceWhenItStops)
{
    settings->setValue(kAutoLocationStampKey, true);
    app->setFoundLocation(true);
    app->setLocationString(QStringLiteral("Harbour Road, 4021"));
    avc->changeRecordQuality(nullptr); // 11025 -> 22050
    const QString name = current()->name();

    transport()->doRecord();
    ASSERT_NE(avc->audioRecorder(), nullptr);
    EXPECT_TRUE(transport()->recording());
    EXPECT_TRUE(idle.isIdleTimerDisabled());
    EXPECT_EQ(AudioSession::instance().category(), AudioSession::kAudioSessionCategory_RecordAudio);
    pump(2.0);
    EXPECT_NEAR(locator(), 2.0, 0.02);
    EXPECT_GT(avc->dbView()->meterView()->currentLevel(), 0.1f); // the tone shows on the meter

    transport()->doRecord();
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->bargraphTimer(), nullptr);
    EXPECT_FALSE(idle.isIdleTimerDisabled());
    EXPECT_FALSE(AudioSession::instance().isActive());
    EXPECT_EQ(current()->name(), name);
    EXPECT_NEAR(current()->duration(), 2.0, 0.05);
    EXPECT_EQ(current()->quality(), "MQ");
    EXPECT_EQ(current()->locationString(), "Harbour Road, 4021");
    EXPECT_NEAR(double(sampleCount(currentPath())), 2.0 * 22050.0, 0.05 * 22050.0);
    EXPECT_NEAR(avc->clipLength(), current()->duration(), 1e-9);
    EXPECT_EQ(locator(), 0.0f);
    EXPECT_FLOAT_EQ(avc->dbView()->locatorControl()->max(), float(avc->clipLength()));
    EXPECT_TRUE(transport()->hasPlayMode());
    EXPECT_FALSE(transport()->recording());

    // Saved and shared by the end of the turn: a kill once the write is out loses none of it.
    QCoreApplication::processEvents();
    app->waitForSaves();
    const auto saved = savedRecording(docs(), current()->filename());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->duration(), current()->duration());
    EXPECT_EQ(saved->quality(), "MQ");
    EXPECT_EQ(saved->locationString(), "Harbour Road, 4021");
    const auto& shared = app->librarySnapshot()->recordings.back();
    EXPECT_EQ(shared.duration, current()->duration());
    EXPECT_EQ(shared.quality, "MQ");
    EXPECT_EQ(shared.locationString, "Harbour Road, 4021");

    // Stamping off: the next take leaves the place alone.
    settings->setValue(kAutoLocationStampKey, false);
    app->setLocationString(QStringLiteral("Elsewhere"));
    transport()->doRecord();
    pump(0.5);
    transport()->doRecord();
    EXPECT_EQ(current()->locationString(), "Harbour Road, 4021");
}

TEST_F(RecorderFixture, AppendingContinuesAtTheEndAndATimedTakeStopsTheWholeRecordingThere)
{
    loadClip(1.0, 22050.0);
    ASSERT_DOUBLE_EQ(avc->clipLength(), 1.0);
    ASSERT_EQ(avc->recordQuality(), 22050.0); // the file's own rate, for the append too
    timer->setUseRecordTimer(true);
    timer->setRecordTime(1.5);

    transport()->doRecord(); // the append button
    ASSERT_NE(avc->audioRecorder(), nullptr);
    pump(0.03);
    EXPECT_NEAR(locator(), 1.03, 0.015); // the read-out starts at the file's end
    pump(1.2);
    EXPECT_NE(avc->audioRecorder(), nullptr); // 2.23 s: not yet past 1.5 + 0.75
    pump(0.05);
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_NEAR(current()->duration(), 2.25, 0.03);
    EXPECT_EQ(current()->quality(), "MQ");
    // The original second is still at the start.
    std::unique_ptr<AudioFile> file;
    ASSERT_EQ(AudioFile::openURL(currentPath(), AudioFile::kReadPermission, &file), noErr);
    int16_t first[4] = {};
    uint32_t n = 4;
    file->readPackets(0, &n, first, nullptr);
    EXPECT_EQ(first[0], 100);
    EXPECT_EQ(first[3], 100);
}

TEST_F(RecorderFixture, ATakeThatEndsByItselfIsKeptAndTheUserIsTold)
{
    AudioFile::setAudioDataByteLimit(100000); // the file is full after 50000 samples
    AlertView::clearHistory();
    transport()->doRecord();
    for (int i = 0; i < 100 && avc->audioRecorder(); ++i) {
        pump(0.1);
        settle();
    }
    AudioFile::setAudioDataByteLimit(AudioFile::kRiffAudioDataByteLimit);
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->bargraphTimer(), nullptr);
    EXPECT_FALSE(transport()->recording());
    EXPECT_TRUE(transport()->hasPlayMode());
    EXPECT_DOUBLE_EQ(current()->duration(), 50000.0 / 11025.0);
    ASSERT_EQ(AlertView::history().size(), 1);
    EXPECT_TRUE(AlertView::history().front().startsWith("Recording Stopped: "));
}

namespace {
// A sound device that opens no streams: one that refuses the application, or, when it is not
// available, a sound server that is not running.
class RefusingDevice : public AudioDevice
{
public:
    explicit RefusingDevice(bool available = true)
        : m_available(available)
    {
    }
    bool isAvailable() const override { return m_available; }
    std::unique_ptr<AudioDeviceStream> openInput(double, uint32_t, AudioInputHandler*) override
    {
        return nullptr;
    }
    std::unique_ptr<AudioDeviceStream> openOutput(uint32_t, AudioOutputHandler*) override
    {
        return nullptr;
    }
    double outputSampleRate() const override { return 44100.0; }
    QString name() const override { return QStringLiteral("refusing"); }

private:
    bool m_available;
};
} // namespace

TEST_F(RecorderFixture, ARefusedTakeOrPlaybackLeavesTheTransportReadyForTheNextTap)
{
    loadClip(1.0);
    for (bool available : {true, false}) {
        AlertView::clearHistory();
        AudioDevice::setDefaultDevice(std::make_shared<RefusingDevice>(available));
        transport()->doRecord();
        EXPECT_EQ(avc->audioRecorder(), nullptr);
        EXPECT_FALSE(transport()->recording());
        EXPECT_NE(avc->statusSign()->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_EQ(avc->bargraphTimer(), nullptr);
        transport()->doPlay();
        EXPECT_EQ(avc->audioPlayer(), nullptr);
        EXPECT_FALSE(transport()->playing());
        const QStringList expected =
            available ? QStringList{"Sonavell: The sound device refused to record.",
                                    "Sonavell: The sound device refused to play."}
                      : QStringList{"Sonavell: No sound device is available.",
                                    "Sonavell: No sound device is available."};
        EXPECT_EQ(AlertView::history(), expected);
    }

    AudioDevice::setDefaultDevice(device); // the device answers again: the next tap records
    transport()->doRecord();
    ASSERT_NE(avc->audioRecorder(), nullptr);
    pump(0.5);
    transport()->doRecord();
    EXPECT_NEAR(current()->duration(), 1.5, 0.03);
}

TEST_F(RecorderFixture, TheCountInCountsDownWhileItsSoundPlaysAndTheTakeStartsWhenItEnds)
{
    timer->setUseRecordCountDown(true);
    avc->setPlaySpeed(1.5);

    transport()->doRecord();
    EXPECT_EQ(avc->playSpeed(), 1.0);
    EXPECT_TRUE(avc->countingIn());
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->statusSign()->text(), "-3");
    ASSERT_NE(avc->countDownTimer(), nullptr);
    EXPECT_EQ(avc->countDownTimer()->interval(), 500);
    avc->updateCountDown();
    EXPECT_EQ(avc->statusSign()->text(), "-2");
    avc->updateCountDown();
    EXPECT_EQ(avc->statusSign()->text(), "-1");
    avc->updateCountDown();
    EXPECT_EQ(avc->statusSign()->text(), "-1");
    EXPECT_EQ(avc->countDownTimer(), nullptr);

    // A tap meanwhile is ignored: one take, one recorder.
    transport()->doRecord();
    EXPECT_TRUE(transport()->recording());
    EXPECT_TRUE(avc->countingIn());

    pump(1.45);
    EXPECT_EQ(avc->audioRecorder(), nullptr); // the 1.5 s sound is still playing
    pump(0.1);
    ASSERT_NE(avc->audioRecorder(), nullptr);
    EXPECT_FALSE(avc->countingIn());
    pump(1.0);
    transport()->doRecord();
    EXPECT_NEAR(current()->duration(), 1.0, 0.1);
}

TEST_F(RecorderFixture, PlaybackStartsAtTheLocatorOrFromTheStartWithinTheLastHalfSecond)
{
    loadClip(3.0);
    ASSERT_TRUE(transport()->hasPlayMode());
    settings->setValue(kOutputVolumeKey, 2.0f);
    transport()->customSlider()->setValue(2.0f);

    avc->dbView()->locatorControl()->setValue(2.4f);
    transport()->doPlay();
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_FLOAT_EQ(avc->audioPlayer()->gainRT(), 2.0f);
    EXPECT_EQ(AudioSession::instance().category(),
              AudioSession::kAudioSessionCategory_MediaPlayback);
    EXPECT_TRUE(idle.isIdleTimerDisabled());
    pump(0.1);
    EXPECT_NEAR(locator(), 2.5, 0.015);
    transport()->doPlay();
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_NEAR(current()->lastPlayTime(), 2.5, 0.015);
    EXPECT_FALSE(idle.isIdleTimerDisabled());

    avc->dbView()->locatorControl()->setValue(2.7f);
    transport()->doPlay();
    EXPECT_EQ(locator(), 0.0f);
    pump(0.2);
    EXPECT_NEAR(locator(), 0.2, 0.015);

    // A new speed restarts playback from where it is, now at 1.5 times.
    avc->changePlaySpeed(nullptr);
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_EQ(avc->playSpeed(), 1.5);
    EXPECT_DOUBLE_EQ(avc->audioPlayer()->audioFormat().mSampleRate, 11025.0 * 1.5);
    EXPECT_TRUE(transport()->playing());
    pump(0.2);
    EXPECT_NEAR(locator(), 0.5, 0.03);
    // The clip's facts stay those of the file at any speed.
    EXPECT_DOUBLE_EQ(avc->clipLength(), 3.0);
    EXPECT_EQ(avc->recordQuality(), 11025.0);

    // Played to its end, the player stops by itself and the transport shows it.
    pump(2.5);
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(transport()->playing());
    EXPECT_DOUBLE_EQ(current()->duration(), 3.0);
}

TEST_F(RecorderFixture, QualityCyclesThroughItsPresetsAndTheVolumeReadOutShowsTheBoost)
{
    QStringList images;
    for (int i = 0; i < 3; ++i) {
        avc->changeRecordQuality(nullptr);
        images << avc->qualityImage()->objectName();
    }
    EXPECT_EQ(images, QStringList({"MQ.png", "HQ.png", "LQ.png"}));
    EXPECT_EQ(avc->recordQuality(), 11025.0);
    avc->setRecordQuality(16000.0);
    avc->changeRecordQuality(nullptr);
    EXPECT_EQ(avc->recordQuality(), 16000.0);
    EXPECT_EQ(avc->qualityImage()->objectName(), "LQ.png");

    QStringList readOuts;
    ImageSlider* slider = transport()->customSlider();
    for (float v : {1.0f, 2.0f, 10.0f}) {
        slider->setValue(v);
        emit slider->valueChanged(slider); // what a drag sends
        readOuts << avc->statusSign()->text();
        EXPECT_FLOAT_EQ(settings->value(kOutputVolumeKey).toFloat(), v);
    }
    EXPECT_EQ(readOuts, QStringList({"+0.0dB", "+6.0dB", "+20.0dB"}));
    EXPECT_EQ(avc->label1()->text(), "Volume Boost");
    EXPECT_EQ(avc->label2()->text(), "");
}

TEST_F(RecorderFixture, ToolbarItemsFollowTheTransportState)
{
    Toolbar* record = avc->dbView()->recordToolbar();
    Toolbar* play = avc->dbView()->playToolbar();
    EXPECT_FALSE(record->isHidden());
    EXPECT_EQ(enabledItems(record), QList<bool>({true, true, true}));
    transport()->doRecord();
    EXPECT_EQ(enabledItems(record), QList<bool>({false, false, false}));
    pump(0.5);
    transport()->doRecord();
    EXPECT_TRUE(record->isHidden());
    EXPECT_FALSE(play->isHidden());
    EXPECT_EQ(enabledItems(play), QList<bool>({true, true, true}));
    transport()->doPlay();
    EXPECT_EQ(enabledItems(play), QList<bool>({true, true, false}));
    transport()->doPlay();
    EXPECT_EQ(enabledItems(play), QList<bool>({true, true, true}));
}

TEST_F(RecorderFixture, AnInterruptionPausesTheTakeAndItsEndResumesIntoTheSameFile)
{
    transport()->doRecord();
    pump(1.0);
    const AudioRecorder* recorder = avc->audioRecorder();
    AudioSession::instance().reportInterruption(true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(avc->interruptedOnRecording());
    pump(1.0); // nothing is captured meanwhile
    AudioSession::instance().reportInterruption(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(avc->interruptedOnRecording());
    EXPECT_EQ(avc->audioRecorder(), recorder);
    EXPECT_TRUE(AudioSession::instance().isActive());
    pump(0.5);
    EXPECT_NEAR(locator(), 1.5, 0.02); // the pause is not part of the position
    transport()->doRecord();
    EXPECT_NEAR(double(sampleCount(currentPath())), 1.5 * 11025.0, 0.05 * 11025.0);

    // The same for playback.
    transport()->doPlay();
    pump(0.2);
    AudioSession::instance().reportInterruption(true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(avc->interruptedOnPlayback());
    AudioSession::instance().reportInterruption(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(avc->interruptedOnPlayback());
    EXPECT_NE(avc->audioPlayer(), nullptr);
    transport()->doPlay();
}

TEST_F(RecorderFixture, DeleteLeavesANewEmptyRecordingAndAddTwiceMakesOne)
{
    transport()->doRecord();
    pump(0.5);
    transport()->doRecord();
    const QString deletedPath = currentPath();
    const std::shared_ptr<Recording> deleted = current();
    stamp = stamp.addSecs(60); // the new recording gets a file name of its own
    transport()->doPlay();
    pump(0.1);

    avc->deleteRecordingPrompt(nullptr);
    ASSERT_EQ(ActionSheet::visibleSheets().size(), 1u);
    EXPECT_EQ(ActionSheet::history(),
              QStringList({"Are you sure you want to delete this recording? [Delete|Cancel]"}));
    ActionSheet::visibleSheets().front()->dismissWithClickedButtonIndex(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(QFile::exists(deletedPath));
    ASSERT_NE(current(), nullptr);
    EXPECT_NE(current(), deleted);
    EXPECT_NE(currentPath(), deletedPath);
    EXPECT_EQ(avc->title(), current()->name());
    EXPECT_EQ(app->recordings().size(), 1);
    EXPECT_EQ(locator(), 0.0f);
    EXPECT_EQ(avc->dbView()->locatorControl()->max(), 0.0f);
    EXPECT_FALSE(transport()->hasPlayMode());

    // The next take goes into the new recording's own file.
    transport()->doRecord();
    pump(0.3);
    transport()->doRecord();
    EXPECT_FALSE(QFile::exists(deletedPath));
    EXPECT_GT(sampleCount(currentPath()), 0);

    const qsizetype before = app->recordings().size();
    avc->newRecording();
    avc->newRecording();
    EXPECT_EQ(app->recordings().size(), before + 1);
    EXPECT_EQ(avc->title(), current()->name());
    EXPECT_FALSE(transport()->hasPlayMode());
}

TEST_F(RecorderFixture, LeavingTheScreenStopsWhatRuns)
{
    ViewController other;
    transport()->doRecord();
    pump(0.5);
    navigation->pushViewController(&other, false);
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_GT(current()->duration(), 0.4);
    navigation->popViewControllerAnimated(false);

    transport()->doPlay();
    ASSERT_NE(avc->audioPlayer(), nullptr);
    navigation->pushViewController(&other, false);
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(transport()->playing());
    navigation->popViewControllerAnimated(false);

    // A take asked for but not started yet is called off: none starts behind another screen.
    transport()->doPlay();
    transport()->doRecord(); // append during playback: the take waits for the player to stop
    navigation->pushViewController(&other, false);
    EXPECT_EQ(avc->deferredRecordTimer(), nullptr);
    navigation->popViewControllerAnimated(false);
    timer->setUseRecordCountDown(true);
    transport()->doRecord();
    navigation->pushViewController(&other, false);
    pump(2.0);
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_FALSE(transport()->recording());
    navigation->popViewControllerAnimated(false);
}

TEST_F(RecorderFixture, FinishingBeforeQuitWritesTheTakesFactsFirst)
{
    transport()->doRecord();
    pump(1.2);
    avc->finishTransportBeforeQuit();
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_NEAR(current()->duration(), 1.2, 0.03);
    EXPECT_EQ(current()->quality(), "LQ");
    EXPECT_EQ(sampleCount(currentPath()), int64_t(std::lround(current()->duration() * 11025)));

    // A take still counting in does not start behind the quit.
    timer->setUseRecordCountDown(true);
    transport()->doRecord();
    avc->finishTransportBeforeQuit();
    pump(2.0);
    EXPECT_EQ(avc->audioRecorder(), nullptr);
}

TEST_F(RecorderFixture, OnlyRegularFilesInsideTheDocumentsFolderAreRecordedInto)
{
    // A FIFO, a link that leads out of the folder and a name that climbs out of it: each take
    // is refused with an alert, the transport stays ready, and nothing there is touched.
    sonavell::test::ScratchDir outside;
    outside.write("target.wav", "outside");
    ASSERT_EQ(::mkfifo(QFile::encodeName(docs() + "/fifo.wav").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(outside.file("target.wav"), docs() + "/link.wav"));
    const QString climb = QDir(docs()).relativeFilePath(outside.file("target.wav"));
    for (const QString& name : {QString("fifo.wav"), QString("link.wav"), climb}) {
        SCOPED_TRACE(name.toStdString());
        AlertView::clearHistory();
        current()->setFilename(name);
        avc->navigationControllerDidShowViewController(avc.get(), false);
        EXPECT_FALSE(transport()->hasPlayMode());
        transport()->doRecord();
        EXPECT_EQ(avc->audioRecorder(), nullptr);
        EXPECT_FALSE(transport()->recording());
        ASSERT_EQ(AlertView::history().size(), 1);
        EXPECT_EQ(AlertView::history().front(),
                  "Sonavell: The recording could not be saved: " + name +
                      " is not a file in the documents folder.");
    }
    QFile target(outside.file("target.wav"));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "outside");
    EXPECT_FALSE(QFileInfo(docs() + "/fifo.wav").isFile());

    // A link that stays inside the folder is fine.
    current()->setFilename("inner.wav");
    ASSERT_TRUE(QFile::link(docs() + "/real.wav", docs() + "/inner.wav") ||
                QFileInfo(docs() + "/inner.wav").isSymLink());
    loadClip(0.5);
    EXPECT_TRUE(transport()->hasPlayMode());
    EXPECT_EQ(sampleCount(docs() + "/real.wav"), 5512);
}

TEST_F(RecorderFixture, ATakeIntoAReadOnlyFolderIsRefusedAtOnce)
{
    // The documents folder on its own small file system, made read-only under the running
    // program, as a full or failing card remounted read-only would be.
    if (::mount("tmpfs", QFile::encodeName(docs()).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not allowed here: " << std::strerror(errno);
    ASSERT_EQ(::mount(nullptr, QFile::encodeName(docs()).constData(), nullptr,
                      MS_REMOUNT | MS_RDONLY, "size=1m"),
              0);
    AlertView::clearHistory();
    transport()->doRecord();
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_FALSE(transport()->recording());
    EXPECT_EQ(avc->bargraphTimer(), nullptr);
    EXPECT_EQ(AlertView::history(),
              QStringList{"Sonavell: The recording could not be saved: " +
                          QString::fromLocal8Bit(std::strerror(EROFS)) + "."});
    ::umount2(QFile::encodeName(docs()).constData(), MNT_DETACH);
}

TEST_F(RecorderFixture, AppendDuringPlaybackRecordsOnceThePlayerHasStopped)
{
    loadClip(2.0);
    transport()->doPlay();
    pump(0.2);
    transport()->doRecord(); // the append button while playing
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    ASSERT_NE(avc->deferredRecordTimer(), nullptr);
    EXPECT_EQ(avc->deferredRecordTimer()->interval(), 300);
    avc->deferredRecordAction();
    ASSERT_NE(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->deferredRecordTimer(), nullptr);
    pump(0.5);
    transport()->doRecord();
    EXPECT_NEAR(current()->duration(), 2.5, 0.03);
}

TEST_F(RecorderFixture, ATakeStartedDuringTheStartUpSweepShowsItsOwnLevelAlone)
{
    // The level meter sweeps once when the screen is made; a take that starts before the sweep
    // is over ends it, so the meter shows the take's level and nothing steps it in between.
    MeterView* meter = avc->dbView()->meterView();
    meter->startDemoTimer();
    ASSERT_TRUE(meter->isSweeping());
    transport()->doRecord();
    ASSERT_NE(avc->audioRecorder(), nullptr);
    EXPECT_FALSE(meter->isSweeping());
    pump(0.5);
    const float level = meter->currentLevel();
    EXPECT_GT(level, 0.1f); // the tone
    QTest::qWait(4 * MeterView::kSweepIntervalMs);
    EXPECT_EQ(meter->currentLevel(), level) << "no sweep step came between the display ticks";
    transport()->doRecord();
}
