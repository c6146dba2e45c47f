// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioQueueStateDelegate.h"
#include "dashboard/DashboardView.h"
#include "dashboard/LocatorControl.h"
#include "dashboard/LocatorView.h"
#include "dashboard/TransportView.h"
#include "platform/audio/SystemSound.h"
#include "platform/ui/ViewController.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class ActionSheet;
class AppDelegate;
class AudioPlayer;
class AudioRecorder;
class IdleInhibitor;
class ImageButton;
class QLabel;
class QPushButton;
class QTimer;
class Recording;

// The recorder screen: owns the transport (which recording is loaded, whether a take or a
// playback runs, the record quality, the play speed, the count-in and the timed stop), creates
// one recorder per take and one player per playback, turns their start and stop reports into
// screen state, and writes each finished take's length, quality and place into its record.
//
// Positions are seconds into the recording. A clip is always measured at its file's own rate,
// whatever the play speed, so `recordQuality` is the loaded file's sample rate and a position p
// is sample p × recordQuality; while playing at another speed the position advances by elapsed
// time × speed.
class AudioViewController : public ViewController,
                            public DashboardViewDelegate,
                            public TransportViewDelegate,
                            public LocatorControlDelegate,
                            public LocatorViewDelegate,
                            public AudioQueueStateDelegate
{
    Q_OBJECT
public:
    struct Environment
    {
        // Monotonic seconds for the read-outs and the timed stop; the steady clock when empty.
        // Tests that drive the audio device's manual clock pass the same clock here.
        std::function<double()> now;
        // Kept awake while recording or playing; one on the machine's buses when null. Not owned.
        IdleInhibitor* idleInhibitor = nullptr;
    };

    static constexpr int kBargraphIntervalMs = 30;
    static constexpr int kDeferredRecordIntervalMs = 300;
    static constexpr int kCountDownIntervalMs = 500;

    // What the screen's layout does when it is made: picks the clip, sets the initial quality
    // and speed, and installs the audio session's interruption listener.
    AudioViewController(AppDelegate* appDelegate, Environment environment,
                        QWidget* parent = nullptr);
    explicit AudioViewController(AppDelegate* appDelegate, QWidget* parent = nullptr);
    ~AudioViewController() override;

    // ---- State ----
    AudioRecorder* audioRecorder() const { return m_audioRecorder.get(); }
    AudioPlayer* audioPlayer() const { return m_audioPlayer.get(); }
    QUrl soundFileURL() const { return m_soundFileURL; }
    QString recordingDirectory() const { return m_recordingDirectory; }
    DashboardView* dbView() const { return m_dbView; }
    QLabel* statusSign() const { return m_statusSign; }
    QLabel* label1() const { return m_label1; }
    QLabel* label2() const { return m_label2; }
    QLabel* qualityImage() const { return m_qualityImage; }
    ImageButton* infoButton() const { return m_infoButton; }
    QPushButton* addButton() const { return m_addButton; }
    QTimer* bargraphTimer() const { return m_bargraphTimer; }
    QTimer* deferredRecordTimer() const { return m_deferredRecordTimer; }
    QTimer* countDownTimer() const { return m_countDownTimer; }
    ActionSheet* deleteActionSheet() const { return m_deleteActionSheet.get(); }
    IdleInhibitor* idleInhibitor() const { return m_idleInhibitor; }

    double clipLength() const { return m_clipLength; }
    double recordQuality() const override { return m_recordQuality; }
    void setRecordQuality(double rate) { m_recordQuality = rate; }
    double playSpeed() const override { return m_playSpeed; }
    void setPlaySpeed(double speed) { m_playSpeed = speed; }
    bool isScrubbing() const { return m_isScrubbing; }
    void setIsScrubbing(bool scrubbing) { m_isScrubbing = scrubbing; }
    bool resumePlay() const { return m_resumePlay; }
    void setResumePlay(bool resume) { m_resumePlay = resume; }
    int32_t timeUnits() const override { return m_timeUnits; }
    void setTimeUnits(int32_t units) override { m_timeUnits = units; }
    bool interruptedOnRecording() const { return m_interruptedOnRecording; }
    void setInterruptedOnRecording(bool on) { m_interruptedOnRecording = on; }
    bool interruptedOnPlayback() const { return m_interruptedOnPlayback; }
    void setInterruptedOnPlayback(bool on) { m_interruptedOnPlayback = on; }
    // The count-in sound is playing; the take starts when it ends.
    bool countingIn() const { return m_countingIn; }

    // ---- The clip ----
    void setupFiles();
    // The current recording's file name; makes and selects a new recording when there is none.
    QString targetFile();
    // Loads and measures the clip at soundFileURL.
    void prepareClip();

    // ---- Transport ----
    void handleRecord(bool recording) override;
    void handlePlay(bool playing) override;
    void recordOrStop();
    void playOrStop();
    void configureAndStartRecording();
    void deferredRecordAction();
    void startCountDown(float count);
    void updateCountDown();
    // One tick of the display timer: position, timed stop and level meter.
    void updateBargraph();
    void updateUserInterfaceOnAudioQueueStateChange(AudioQueueObject* engine) override;

    // ---- Audio session interruptions ----
    void pauseRecording();
    void resumeRecording();
    void pausePlayback();
    void resumePlayback();
    static void interruptionListenerCallback(void* userData, uint32_t interruptionState);

    // ---- Locating ----
    // The read-outs, the time meter, the locate slider and, while scrubbing, the player's
    // read position follow every change of the locator value.
    void locatorValueChanged(float value) override;
    // The wheel's mode follows the jog/shuttle toggle; the wheel goes back to its rest.
    void handleJog(bool jogMode) override;
    // The locate slider while dragged, in percent of the clip.
    void handleLocateMoved(float percent) override;
    void handleLocateSliderTouchStart() override;
    void handleLocateSliderTouchEnd() override;
    // Scrubbing: playback stops, a scrub player follows the locator until the touch ends, and
    // playback that was running starts again from where the locator was let go.
    void startLocatorTouch() override;
    void endLocatorTouch() override;

    // ---- Screen life cycle ----
    void viewDidLoad();
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    // The program is about to end: a take or a playback that runs (or a take on its way) is
    // finished as its stop button would finish it, so the take's facts are in its record before
    // the library is written.
    void finishTransportBeforeQuit();
    // Hears the screen go: once it has left the navigation stack (Back), a new memo that was
    // never recorded leaves no record behind.
    void viewDidDisappear(bool animated) override;
    static bool shouldAutorotateToInterfaceOrientation(Qt::ScreenOrientation orientation)
    {
        return orientation == Qt::PortraitOrientation ||
               orientation == Qt::InvertedPortraitOrientation;
    }
    void navigationControllerDidShowViewController(ViewController* controller, bool animated);
    void newRecording();

    // ---- Volume slider ----
    void handleSliderValueChanged(float value) override;
    void handleSliderTouchStart() override;
    void handleSliderTouchEnd() override;

    // ---- Toolbars ----
    void changeRecordQuality(QObject* sender) override;
    void changePlaySpeed(QObject* sender) override;
    void setRecordTime(QObject* sender) override;
    void deleteRecordingPrompt(QObject* sender) override;
    void doSendOptions(QObject* sender) override;
    void doInfo();
    void actionSheetClickedButtonAtIndex(ActionSheet* sheet, int buttonIndex);
    void deleteThisRecording();
    // Moves the locator to `seconds` (kept within the clip) as the wheel does when it is let go
    // after a turn: playback stops, the locator moves and playback starts again from there.
    void moveLocatorTo(float seconds) override;

    // The image of a quality preset, or an empty name for any other rate.
    static QString qualityImageName(double sampleRate);
    // The record's quality label of a preset, or an empty string for any other rate.
    static QString qualityLabel(double sampleRate);

    // The current recording (the application's, by identity), or null.
    std::shared_ptr<Recording> currentRecording() const;

signals:
    // The transport may have changed: a clip was loaded, a take or a playback was asked for,
    // started, stopped, was interrupted or resumed, the speed changed, or another screen came
    // on top.
    void transportChanged();

private:
    void forgetUnrecordedMemo();
    // The memo this screen made for the next take (until it is forgotten).
    std::weak_ptr<Recording> m_newMemo;
    double now() const;
    bool clipFileExists() const;
    void showQualityImage();
    void setIdleTimerDisabled(bool disabled);
    // An alert titled with the program's name and the given one-line message.
    static void showAlert(const QString& message);
    // Why an engine of this device could not start.
    static QString deviceFailureMessage(const AudioQueueObject* engine, bool recording);
    void startBargraphTimer(AudioQueueObject* engine);
    void stopBargraphTimer();
    // Calls off a take that has been asked for but not started (a count-in, or an append
    // waiting for playback to stop); nothing starts later.
    void cancelPendingTake();
    // Ends a scrub that the screen ends itself (leaving it, deleting the recording): the scrub
    // player stops and nothing plays on; the end of the touch then finds nothing to do.
    void abandonScrub();
    // An interruption pauses the engine that runs and notes when; its end resumes the engine
    // and moves the reference instant on by the length of the pause.
    void pauseEngine(AudioQueueObject* engine, const char* message);
    void resumeEngine(AudioQueueObject* engine);
    static void SoundCompletionProc(SystemSoundID sound, void* userData);

    AppDelegate* m_appDelegate;
    Environment m_env;
    std::unique_ptr<IdleInhibitor> m_ownIdleInhibitor;
    IdleInhibitor* m_idleInhibitor = nullptr;

    std::unique_ptr<AudioRecorder> m_audioRecorder;
    std::unique_ptr<AudioPlayer> m_audioPlayer;
    QUrl m_soundFileURL;       // empty when the current recording's file may not be opened
    QString m_refusedFileName; // the file name that was refused, for the alert
    QString m_recordingDirectory;
    DashboardView* m_dbView = nullptr;
    QPointer<QTimer> m_deferredRecordTimer;
    QPointer<QTimer> m_bargraphTimer;
    AudioQueueObject* m_bargraphEngine = nullptr;
    std::array<float, 4> m_audioLevels{};
    std::array<float, 4> m_peakLevels{};
    QLabel* m_statusSign = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_qualityImage = nullptr;
    ImageButton* m_infoButton = nullptr;
    QPushButton* m_addButton = nullptr;
    // The running take's or playback's reference: the position at startTime, in seconds.
    double m_startTime = 0.0;
    double m_startPosition = 0.0;
    double m_pausedAt = -1.0; // when an interruption paused the engine; -1 when none did
    bool m_interruptedOnPlayback = false;
    bool m_interruptedOnRecording = false;
    double m_clipLength = 0.0;
    double m_recordQuality = 11025.0;
    double m_playSpeed = 1.0;
    bool m_isScrubbing = false;
    bool m_resumePlay = false;
    bool m_changingVolume = false;
    int32_t m_timeUnits = 0;
    QPointer<QTimer> m_countDownTimer;
    float m_countDown = 0.0f;
    std::unique_ptr<ActionSheet> m_deleteActionSheet;
    bool m_viewLoaded = false;
    bool m_countingIn = false;
    SystemSoundID m_countInSound = 0;
    bool m_hasCountInSound = false;
};
