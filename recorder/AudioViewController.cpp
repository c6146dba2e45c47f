// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/AudioViewController.h"

#include "browser/AppInfoController.h"

#include "audio/AudioPlayer.h"
#include "audio/AudioRecorder.h"
#include "core/AppDelegate.h"
#include "dashboard/MeterView.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioSession.h"
#include "platform/system/Bundle.h"
#include "platform/system/DocumentPath.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/system/SettingsKeys.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BundleImage.h"
#include "platform/ui/FitLabel.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/ImageSlider.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SwitchControl.h"
#include "recorder/RecTimerController.h"
#include "recorder/RecorderLog.h"
#include "sharing/ExportController.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// Where the read-outs sit on the dashboard (the screen below the navigation bar): the position
// inside the time meter's circle, "of" and the clip's length below it; the quality and the info
// button in the top corners beside the level meter's ring, clear of the toolbar.
constexpr QRect kStatusSignFrame{74, 170, 173, 48};
constexpr QRect kLabel1Frame{74, 218, 173, 16};
constexpr QRect kLabel2Frame{74, 234, 173, 24};
constexpr QRect kQualityImageFrame{10, 46, 40, 24};
constexpr QPoint kInfoButtonOrigin{284, 45};

const QColor kReadoutColour(0, 0, 0, 204); // black at alpha 0.8
const QColor kRecordingColour(255, 0, 0);

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    label->setPalette(palette);
}

QLabel* makeReadout(QWidget* parent, const QRect& frame, int pointSize, int minimumPixels)
{
    // The read-outs keep their frames; a long text (an hour-long clock, a boost in decibels)
    // is drawn smaller instead of being cut.
    auto* label = new FitLabel(parent);
    label->setMinimumFontSize(minimumPixels);
    label->setGeometry(frame);
    label->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Trebuchet MS"));
    font.setPointSize(pointSize);
    label->setFont(font);
    setTextColour(label, kReadoutColour);
    // The read-outs lie over the jog wheel, which gets the touches on them.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

// Decibels of a percentage of full gain: 0 at 100 %, negative below, positive above; a
// negative percentage gives the negated value of its magnitude.
float PercentTodBF(float percent)
{
    if (percent == 100.0f)
        return 0.0f;
    const float db = 20.0f * std::log10(std::fabs(percent) / 100.0f);
    return percent < 0.0f ? -db : db;
}

} // namespace

AudioViewController::AudioViewController(AppDelegate* appDelegate, Environment environment,
                                         QWidget* parent)
    : ViewController(parent)
    , m_appDelegate(appDelegate)
    , m_env(std::move(environment))
{
    m_idleInhibitor = m_env.idleInhibitor;
    if (!m_idleInhibitor) {
        m_ownIdleInhibitor = std::make_unique<IdleInhibitor>();
        m_idleInhibitor = m_ownIdleInhibitor.get();
    }

    resize(320, 436);
    // The dashboard's pictures leave a strip below the toolbar; it is dark like them.
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(24, 24, 26));
    setPalette(dark);
    m_dbView = new DashboardView(this);
    m_dbView->setDelegate(this);
    m_statusSign = makeReadout(this, kStatusSignFrame, 40, 14);
    m_label1 = makeReadout(this, kLabel1Frame, 12, 9);
    m_label2 = makeReadout(this, kLabel2Frame, 18, 10);
    m_qualityImage = new QLabel(this);
    m_qualityImage->setGeometry(kQualityImageFrame);
    m_qualityImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_qualityImage->setScaledContents(false);
    m_addButton = new QPushButton(QStringLiteral("+"), this);
    m_addButton->setAccessibleName(tr("New memo"));
    m_addButton->hide();
    connect(m_addButton, &QPushButton::clicked, this, [this] { newRecording(); });

    setupFiles();
    m_recordQuality = 11025.0;
    m_playSpeed = 1.0;
    m_audioLevels.fill(0.0f);
    m_peakLevels.fill(0.0f);
    m_startTime = now();
    AudioSession::instance().initialize(&AudioViewController::interruptionListenerCallback, this);
}

AudioViewController::AudioViewController(AppDelegate* appDelegate, QWidget* parent)
    : AudioViewController(appDelegate, Environment(), parent)
{
}

AudioViewController::~AudioViewController()
{
    AudioSession::instance().initialize(nullptr, nullptr);
    if (m_hasCountInSound) {
        SystemSound::removeSystemSoundCompletion(m_countInSound);
        SystemSound::disposeSystemSoundID(m_countInSound);
    }
    // Engines stop without telling a controller that is going away.
    if (m_audioRecorder) {
        m_audioRecorder->setNotificationDelegate(nullptr);
        m_audioRecorder->setStopping(true);
        m_audioRecorder->stop();
    }
    if (m_audioPlayer) {
        m_audioPlayer->setNotificationDelegate(nullptr);
        m_audioPlayer->setAudioPlayerShouldStopImmediately(true);
        m_audioPlayer->stop();
    }
    m_audioRecorder.reset();
    m_audioPlayer.reset();
    m_dbView->setDelegate(nullptr);
    m_dbView->transportView()->setDelegate(nullptr);
    m_dbView->locatorControl()->setDelegate(nullptr);
    m_dbView->locatorView()->setDelegate(nullptr);
}

double AudioViewController::now() const
{
    if (m_env.now)
        return m_env.now();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// ---- The clip ----

void AudioViewController::setupFiles()
{
    m_recordingDirectory = m_appDelegate->documentsPath();
    const QString name = targetFile();
    // Only a regular file (or none yet) inside the documents folder is recorded into or played:
    // a stored name may hold "../", or name a link or a FIFO that someone put there.
    const QString path = DocumentPath::resolveFile(m_recordingDirectory, name);
    if (path.isEmpty()) {
        qCWarning(lcRecorder).noquote()
            << "Not using" << name << ": it is not a regular file inside" << m_recordingDirectory;
        m_soundFileURL = QUrl();
        m_refusedFileName = name;
        return;
    }
    const QUrl url = QUrl::fromLocalFile(path);
    qCInfo(lcRecorder).noquote() << "Recorded file path:" << url.toString();
    if (url.isValid()) {
        m_soundFileURL = url;
        m_refusedFileName.clear();
    }
}

QString AudioViewController::targetFile()
{
    // The current recording by identity: one that a search hides or that was refiled elsewhere
    // is still the one on the screen, so a take goes into its file and no other.
    if (!m_appDelegate->currentRecording()) {
        m_appDelegate->setSearchText(QString());
        m_appDelegate->addRecording();
        m_newMemo = m_appDelegate->recordings().last();
        m_appDelegate->setCurrentRecording(m_appDelegate->recordings().last());
    }
    const std::shared_ptr<Recording> recording = m_appDelegate->currentRecording();
    return recording ? recording->filename() : QString();
}

std::shared_ptr<Recording> AudioViewController::currentRecording() const
{
    return m_appDelegate->currentRecording();
}

bool AudioViewController::clipFileExists() const
{
    return !m_soundFileURL.isEmpty() && QFileInfo(m_soundFileURL.toLocalFile()).isFile();
}

void AudioViewController::prepareClip()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    m_clipLength = 0.0;
    // Measured at the file's own rate, so the length and the rate never depend on the speed.
    auto player = std::make_unique<AudioPlayer>(m_soundFileURL, 1.0);
    if (!player->audioFileID())
        return;
    m_clipLength = player->calculateSizesFor(1.0);
    if (auto recording = currentRecording(); recording && recording->duration() != m_clipLength) {
        recording->setDuration(m_clipLength);
        m_appDelegate->libraryEdited(false);
    }
    m_recordQuality = player->audioFormat().mSampleRate;
    m_dbView->changeTransport(m_clipLength > 0.0, false, false);
    player.reset();
    m_dbView->locatorControl()->setMax(float(m_clipLength));
    showQualityImage();
}

QString AudioViewController::qualityImageName(double sampleRate)
{
    if (sampleRate == 11025.0)
        return QStringLiteral("LQ.png");
    if (sampleRate == 22050.0)
        return QStringLiteral("MQ.png");
    if (sampleRate == 44100.0)
        return QStringLiteral("HQ.png");
    return QString();
}

QString AudioViewController::qualityLabel(double sampleRate)
{
    if (sampleRate == 11025.0)
        return QStringLiteral("LQ");
    if (sampleRate == 22050.0)
        return QStringLiteral("MQ");
    if (sampleRate == 44100.0)
        return QStringLiteral("HQ");
    return QString();
}

void AudioViewController::showQualityImage()
{
    const QString name = qualityImageName(m_recordQuality);
    if (!name.isEmpty()) {
        m_qualityImage->setPixmap(BundleImage::imageNamed(name));
        m_qualityImage->setObjectName(name);
        m_qualityImage->setAccessibleName(DashboardView::qualityName(m_recordQuality));
    }
}

// ---- Recording ----

void AudioViewController::handleRecord(bool recording)
{
    TransportView* transport = m_dbView->transportView();
    if (m_countingIn || m_deferredRecordTimer) {
        // A take is already on its way: a second one would write into the same file. The tap
        // is ignored and the transport keeps showing the take.
        transport->setRecording(true);
        transport->setHasPlayMode(false);
        transport->setupTransportButtons();
        return;
    }
    if (transport->playing()) {
        // The append button during playback: stop the playback now, record once it is gone.
        const bool hadPlayMode = transport->hasPlayMode();
        transport->setHasPlayMode(true);
        playOrStop();
        transport->setHasPlayMode(hadPlayMode);
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(kDeferredRecordIntervalMs);
        connect(timer, &QTimer::timeout, this, [this] { deferredRecordAction(); });
        m_deferredRecordTimer = timer;
        timer->start();
        return;
    }
    recordOrStop();
    m_dbView->setupToolbar();
    m_dbView->background()->update();
    if (!recording)
        m_dbView->meterView()->updateMeters(0.0f);
}

void AudioViewController::deferredRecordAction()
{
    if (m_deferredRecordTimer) {
        m_deferredRecordTimer->stop();
        m_deferredRecordTimer->deleteLater();
        m_deferredRecordTimer = nullptr;
    }
    recordOrStop();
    m_dbView->setupToolbar();
    m_dbView->background()->update();
    if (!m_dbView->transportView()->recording())
        m_dbView->meterView()->updateMeters(0.0f);
}

void AudioViewController::recordOrStop()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    qCInfo(lcRecorder) << "recordOrStop:";
    bool recording;
    bool loaded = true;
    if (m_audioRecorder) {
        m_audioRecorder->setStopping(true);
        qCInfo(lcRecorder) << "sending stop message to recorder object.";
        m_audioRecorder->stop();
        qCInfo(lcRecorder) << "AudioSessionSetActive=false (recordOrStop)";
        AudioSession::instance().setActive(false);
        recording = false;
    } else {
        if (m_playSpeed != 1.0) {
            m_playSpeed = 1.0;
            m_dbView->setupToolbar();
        }
        // The take goes into the current recording's file, whatever was selected meanwhile.
        setupFiles();
        qCInfo(lcRecorder) << "AudioSessionSetActive=true (recordOrStop)";
        AudioSession::instance().setActive(true);
        const RecTimerController* timer = m_appDelegate->recTimerController;
        const int count = timer && timer->useRecordCountDown() ? 3 : 0;
        setTextColour(m_statusSign, kRecordingColour);
        if (count > 0) {
            if (!m_hasCountInSound) {
                const QString path = Bundle::resourceDirectory(QStringLiteral("sounds")) +
                                     QStringLiteral("/recordcountdown22k.wav");
                m_hasCountInSound = SystemSound::createSystemSoundID(QUrl::fromLocalFile(path),
                                                                     &m_countInSound) == noErr;
            }
            if (m_hasCountInSound) {
                SystemSound::addSystemSoundCompletion(
                    m_countInSound, &AudioViewController::SoundCompletionProc, this);
                qCInfo(lcRecorder) << "Playing Countdown Sound";
                m_countingIn = true;
                SystemSound::playSystemSound(m_countInSound);
            } else {
                // Without the sound there is nothing to wait for.
                configureAndStartRecording();
            }
        } else {
            configureAndStartRecording();
        }
        startCountDown(float(count));
        // False only when the device refused the take.
        recording = m_audioRecorder || m_countingIn;
        loaded = recording || m_clipLength > 0.0;
    }
    m_dbView->changeTransport(loaded, false, recording);
}

void AudioViewController::SoundCompletionProc(SystemSoundID, void* userData)
{
    auto* self = static_cast<AudioViewController*>(userData);
    if (!self->m_countingIn)
        return;
    self->m_countingIn = false;
    self->configureAndStartRecording();
}

void AudioViewController::cancelPendingTake()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    if (m_deferredRecordTimer) {
        m_deferredRecordTimer->stop();
        m_deferredRecordTimer->deleteLater();
        m_deferredRecordTimer = nullptr;
        m_dbView->changeTransport(m_clipLength > 0.0, false, false);
    }
    if (!m_countingIn)
        return;
    m_countingIn = false;
    if (m_hasCountInSound)
        SystemSound::removeSystemSoundCompletion(m_countInSound);
    if (m_countDownTimer) {
        m_countDownTimer->stop();
        m_countDownTimer->deleteLater();
        m_countDownTimer = nullptr;
    }
    m_countDown = 0.0f;
    AudioSession::instance().setActive(false);
    setTextColour(m_statusSign, kReadoutColour);
    m_dbView->changeTransport(m_clipLength > 0.0, false, false);
}

void AudioViewController::configureAndStartRecording()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    qCInfo(lcRecorder) << "AudioSessionSetActive=true (configureAndStartRecording)";
    AudioSession::instance().setActive(true);
    AudioSession::instance().setCategory(AudioSession::kAudioSessionCategory_RecordAudio);
    const auto refuse = [this](const QString& message) {
        // The transport goes back to ready at once: a counter running over nothing would
        // pass for a take.
        AudioSession::instance().setActive(false);
        setTextColour(m_statusSign, kReadoutColour);
        m_dbView->changeTransport(m_clipLength > 0.0, false, false);
        m_dbView->setupToolbar();
        showAlert(message);
    };
    if (m_soundFileURL.isEmpty()) {
        refuse(tr("The recording could not be saved: %1 is not a file in the documents folder.")
                   .arg(m_refusedFileName));
        return;
    }
    // The microphone chosen on the settings screen, read for every take so that a change
    // there holds from the next one.
    AudioDevice::setInputSourceName(
        m_appDelegate->userDefaults().value(QLatin1String(kInputDeviceKey)).toString());
    auto recorder = std::make_unique<AudioRecorder>(m_soundFileURL, m_recordQuality);
    if (!recorder->queueObject()) {
        qCWarning(lcRecorder).noquote() << "Could not record into" << m_soundFileURL.toLocalFile();
        refuse(deviceFailureMessage(recorder.get(), true));
        return;
    }
    AudioRecorder* raw = recorder.get();
    m_audioRecorder = std::move(recorder);
    raw->setNotificationDelegate(this);
    raw->record();
    if (m_audioRecorder.get() == raw && !raw->isRunning()) {
        // The file or the sound device refused the take. A recorder that never ran would never
        // report a stop either, and every later record tap would only try to stop it.
        qCWarning(lcRecorder).noquote()
            << "Could not start recording into" << m_soundFileURL.toLocalFile();
        const QString message =
            raw->setupFailure().isEmpty()
                ? deviceFailureMessage(raw, true)
                : tr("The recording could not be saved: %1.").arg(raw->setupFailure());
        m_audioRecorder.reset();
        refuse(message);
    }
}

void AudioViewController::showAlert(const QString& message)
{
    auto* alert = new AlertView(QStringLiteral("Sonavell"), message, {}, tr("OK"));
    alert->show();
}

QString AudioViewController::deviceFailureMessage(const AudioQueueObject* engine, bool recording)
{
    if (!engine || !engine->queueObject() || !engine->queueObject()->deviceAvailable())
        return tr("No sound device is available.");
    return recording ? tr("The sound device refused to record.")
                     : tr("The sound device refused to play.");
}

void AudioViewController::startCountDown(float count)
{
    m_countDown = count + 1.0f;
    updateCountDown();
    if (m_countDown > 0.0f) {
        auto* timer = new QTimer(this);
        timer->setInterval(kCountDownIntervalMs);
        connect(timer, &QTimer::timeout, this, [this] { updateCountDown(); });
        m_countDownTimer = timer;
        timer->start();
    }
}

void AudioViewController::updateCountDown()
{
    const float v = m_countDown - 1.0f;
    if (v > 0.0f) {
        m_statusSign->setText(QString::asprintf("%1.0f", double(-v)));
        m_statusSign->update();
    }
    m_countDown -= 1.0f;
    if (m_countDown <= 0.0f && m_countDownTimer) {
        m_countDownTimer->stop();
        m_countDownTimer->deleteLater();
        m_countDownTimer = nullptr;
    }
}

// ---- Playback ----

void AudioViewController::handlePlay(bool playing)
{
    playOrStop();
    m_dbView->setupToolbar();
    if (!playing)
        m_dbView->meterView()->updateMeters(0.0f);
}

void AudioViewController::playOrStop()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    TransportView* transport = m_dbView->transportView();
    if (!transport->hasPlayMode())
        return;
    qCInfo(lcRecorder) << "playOrStop:";
    bool playing = false;
    LocatorControl* locator = m_dbView->locatorControl();
    if (m_audioPlayer) {
        qCInfo(lcRecorder) << "User tapped Stop to stop playing.";
        m_audioPlayer->setAudioPlayerShouldStopImmediately(true);
        qCInfo(lcRecorder) << "Calling AudioQueueStop from controller object.";
        m_audioPlayer->stop();
        qCInfo(lcRecorder) << "AudioSessionSetActive=false (playOrStop)";
        AudioSession::instance().setActive(false);
        if (auto recording = currentRecording())
            recording->setLastPlayTime(locator->value());
        playing = false;
    } else {
        AudioSession::instance().setCategory(AudioSession::kAudioSessionCategory_MediaPlayback);
        auto player = std::make_unique<AudioPlayer>(m_soundFileURL, m_playSpeed);
        if (player->queueObject() && player->audioFileID()) {
            AudioPlayer* raw = player.get();
            m_audioPlayer = std::move(player);
            raw->setGainRT(transport->customSlider()->value());
            raw->setNotificationDelegate(this);
            if (m_playSpeed != 1.0 &&
                m_appDelegate->userDefaults().value(QLatin1String(kPreservePitchKey)).toBool())
                raw->setPreservesPitch(true);
            qCInfo(lcRecorder) << "AudioSessionSetActive=true (playOrStop)";
            AudioSession::instance().setActive(true);
            qCInfo(lcRecorder) << "sending play message to play object.";
            if (locator->value() >= m_clipLength - 0.5 && !m_isScrubbing)
                locator->setValue(0.0f);
            raw->setIsScrubbing(m_isScrubbing);
            const double position = std::max(0.0, double(locator->value()) * m_recordQuality);
            raw->playAt(uint64_t(position));
            if (m_audioPlayer.get() == raw && !raw->isRunning()) {
                // The sound device refused the playback; a player that never ran is dropped
                // now, as it would never report a stop.
                qCWarning(lcRecorder).noquote() << "Could not play" << m_soundFileURL.toLocalFile();
                const QString message = deviceFailureMessage(raw, false);
                m_audioPlayer.reset();
                AudioSession::instance().setActive(false);
                // A refused scrub tells the user once, when the touch ends and tries again.
                if (!m_isScrubbing)
                    showAlert(message);
            }
            playing = m_audioPlayer != nullptr;
        }
    }
    m_dbView->changeTransport(true, playing, false);
}

// ---- Display timer ----

void AudioViewController::startBargraphTimer(AudioQueueObject* engine)
{
    stopBargraphTimer();
    // The take or the playback shows its own level from now on: a start-up sweep still under
    // way ends here, rather than stepping on from every level the display timer shows (which
    // never let it end and drew the meter twice per tick for the whole take).
    m_dbView->meterView()->stopDemoTimer();
    auto* timer = new QTimer(this);
    timer->setInterval(kBargraphIntervalMs);
    connect(timer, &QTimer::timeout, this, [this] { updateBargraph(); });
    m_bargraphTimer = timer;
    m_bargraphEngine = engine;
    timer->start();
}

void AudioViewController::stopBargraphTimer()
{
    if (m_bargraphTimer) {
        m_bargraphTimer->stop();
        m_bargraphTimer->deleteLater();
    }
    m_bargraphTimer = nullptr;
    m_bargraphEngine = nullptr;
}

void AudioViewController::updateBargraph()
{
    if (m_audioPlayer)
        m_audioPlayer->setGainRT(m_dbView->transportView()->customSlider()->value());
    const double speed = m_bargraphEngine == m_audioRecorder.get() ? 1.0 : m_playSpeed;
    const double pos = m_startPosition + (now() - m_startTime) * speed;
    if (!m_isScrubbing) {
        // The control announces the value to this screen once it is its delegate; the
        // read-outs are brought up to date once per tick either way.
        LocatorControl* locator = m_dbView->locatorControl();
        locator->setValue(float(pos));
        if (locator->delegate() != this)
            locatorValueChanged(float(pos));
    }
    const RecTimerController* timer = m_appDelegate->recTimerController;
    if (timer && m_bargraphEngine && m_bargraphEngine == m_audioRecorder.get() &&
        pos > timer->recordTime() + 0.75 && timer->timerSwitchCtl() &&
        timer->timerSwitchCtl()->isOn()) {
        recordOrStop();
        return;
    }
    if (!m_bargraphEngine)
        return;
    if (!(m_audioRecorder && m_audioRecorder->stopping()))
        m_bargraphEngine->getAudioLevels(&m_audioLevels[0], &m_peakLevels[0]);
    m_dbView->meterView()->updateMeters(m_audioLevels[0]);
}

// ---- Engine reports ----

void AudioViewController::updateUserInterfaceOnAudioQueueStateChange(AudioQueueObject* engine)
{
    if (QThread::currentThread() != thread()) {
        // Timers and widgets belong to the main thread; the report is handled there, provided
        // the engine is still one of ours by then.
        QMetaObject::invokeMethod(
            this,
            [this, engine] {
                if (engine == m_audioRecorder.get() || engine == m_audioPlayer.get())
                    updateUserInterfaceOnAudioQueueStateChange(engine);
            },
            Qt::QueuedConnection);
        return;
    }
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    qCInfo(lcRecorder) << "updateUserInterfaceOnAudioQueueStateChange just called.";
    const bool isRecorder = engine == m_audioRecorder.get();
    const bool isPlayer = engine == m_audioPlayer.get();
    if (engine->isRunning()) {
        m_startTime = now();
        m_pausedAt = -1.0;
        if (isRecorder)
            m_startPosition = double(m_audioRecorder->startingPacketNumber()) / m_recordQuality;
        else
            m_startPosition = m_dbView->locatorControl()->value();
        startBargraphTimer(engine);
        if (isPlayer) {
            qCInfo(lcRecorder) << "playback just started.";
            setTextColour(m_statusSign, kReadoutColour);
        } else if (isRecorder) {
            qCInfo(lcRecorder) << "recording just started.";
            m_clipLength = 0.0;
            setTextColour(m_statusSign, kRecordingColour);
        } else {
            return;
        }
        setIdleTimerDisabled(true);
        return;
    }

    const bool deviceLost = engine->queueObject() && engine->queueObject()->deviceLost();
    if (isPlayer) {
        qCInfo(lcRecorder) << "playback just stopped.";
        m_dbView->changeTransport(true, false, false);
        // An engine may be destroyed inside its own report.
        m_audioPlayer.reset();
        if (deviceLost) {
            m_interruptedOnPlayback = false;
            AudioSession::instance().setActive(false);
            showAlert(tr("The sound device was lost. The playback was stopped."));
        }
    }
    if (isRecorder) {
        qCInfo(lcRecorder) << "recording just stopped.";
        const QString reason = m_audioRecorder->stopReason();
        m_audioRecorder.reset();
        // The red position belongs to a running take only.
        setTextColour(m_statusSign, kReadoutColour);
        if (deviceLost) {
            // The take ends as the stop button ends it; what was captured is in the file.
            m_interruptedOnRecording = false;
            AudioSession::instance().setActive(false);
            m_dbView->changeTransport(m_clipLength > 0.0, false, false);
            m_dbView->setupToolbar();
            m_dbView->meterView()->updateMeters(0.0f);
        }
        prepareClip();
        m_dbView->locatorControl()->setValue(0.0f);
        if (auto recording = currentRecording()) {
            recording->setDuration(m_clipLength);
            const QString quality = qualityLabel(m_recordQuality);
            if (!quality.isEmpty())
                recording->setQuality(quality);
            if (m_appDelegate->userDefaults()
                    .value(QLatin1String(kAutoLocationStampKey))
                    .toBool() &&
                m_appDelegate->foundLocation())
                recording->setLocationString(m_appDelegate->locationString());
            // The take's facts reach the archive and the shared pages at once, not at quit.
            m_appDelegate->libraryEdited(true);
        }
        if (!reason.isEmpty()) {
            // The take ended by itself (the file is full or the disk is): the user must know,
            // or the recording would look complete.
            auto* alert = new AlertView(tr("Recording Stopped"), reason, {}, tr("OK"));
            alert->show();
        }
        if (deviceLost)
            showAlert(tr("The sound device was lost. The recording was stopped and saved."));
    }
    setIdleTimerDisabled(false);
    stopBargraphTimer();
}

void AudioViewController::setIdleTimerDisabled(bool disabled)
{
    if (m_idleInhibitor)
        m_idleInhibitor->setIdleTimerDisabled(disabled);
}

// ---- Audio session interruptions ----

void AudioViewController::interruptionListenerCallback(void* userData, uint32_t interruptionState)
{
    auto* self = static_cast<AudioViewController*>(userData);
    if (interruptionState == AudioSession::kAudioSessionBeginInterruption) {
        qCInfo(lcRecorder) << "Interrupted. Stopping playback or recording.";
        qCInfo(lcRecorder) << "Interrupted. Stopping playback or recording.";
        if (self->m_audioRecorder) {
            self->pauseRecording();
            self->setInterruptedOnRecording(true);
        } else if (self->m_audioPlayer) {
            self->pausePlayback();
            self->setInterruptedOnPlayback(true);
        }
    } else if (interruptionState == AudioSession::kAudioSessionEndInterruption) {
        if (self->interruptedOnPlayback()) {
            self->resumePlayback();
            self->setInterruptedOnPlayback(false);
        }
        if (self->interruptedOnRecording()) {
            self->resumeRecording();
            self->setInterruptedOnRecording(false);
        }
    }
    emit self->transportChanged();
}

void AudioViewController::pauseRecording()
{
    pauseEngine(m_audioRecorder.get(), "Pausing recording on interruption.");
}

void AudioViewController::resumeRecording()
{
    qCInfo(lcRecorder) << "Resuming recording on end of interruption.";
    AudioSession::instance().setCategory(AudioSession::kAudioSessionCategory_RecordAudio);
    qCInfo(lcRecorder) << "AudioSessionSetActive=true (resumeRecording)";
    AudioSession::instance().setActive(true);
    resumeEngine(m_audioRecorder.get());
}

void AudioViewController::pausePlayback()
{
    pauseEngine(m_audioPlayer.get(), "Pausing playback on interruption.");
}

void AudioViewController::resumePlayback()
{
    qCInfo(lcRecorder) << "Resuming playback on end of interruption.";
    AudioSession::instance().setCategory(AudioSession::kAudioSessionCategory_MediaPlayback);
    qCInfo(lcRecorder) << "AudioSessionSetActive=true (resumePlayback)";
    AudioSession::instance().setActive(true);
    resumeEngine(m_audioPlayer.get());
}

void AudioViewController::pauseEngine(AudioQueueObject* engine, const char* message)
{
    if (!engine)
        return;
    qCInfo(lcRecorder) << message;
    engine->pause();
    m_pausedAt = now();
}

void AudioViewController::resumeEngine(AudioQueueObject* engine)
{
    // The take may have been stopped while it was paused.
    if (!engine)
        return;
    engine->resume();
    // Nothing was recorded or played while paused, so the position and the timed stop leave
    // the pause out.
    if (m_pausedAt >= 0.0)
        m_startTime += now() - m_pausedAt;
    m_pausedAt = -1.0;
}

// ---- Locating ----

void AudioViewController::locatorValueChanged(float value)
{
    const float max = m_dbView->locatorControl()->max();
    TransportView* transport = m_dbView->transportView();
    if (!m_changingVolume) {
        // A take always writes at the clip's end, so while it runs the clip is as long as the
        // take's position: the length read-out grows with it (the clip is measured again when
        // the take stops) and never shows less than the position.
        double length = m_clipLength;
        if (transport->recording())
            length = std::max(length, double(value));
        m_statusSign->setText(AppDelegate::makeTimeStringFromSamps(
            double(value) * m_recordQuality, int16_t(m_timeUnits), m_recordQuality));
        m_label1->setText(tr("of"));
        m_label2->setText(AppDelegate::makeTimeStringFromSamps(
            m_recordQuality * length, int16_t(m_timeUnits), m_recordQuality));
    }
    if (m_isScrubbing && m_audioPlayer) {
        m_audioPlayer->scrubTo(uint64_t(std::max(0.0, double(value) * m_recordQuality)));
    }
    if (transport->recording()) {
        m_dbView->timeMeterView()->updateMeters(0.0f);
        return;
    }
    // With no clip loaded there is no fraction to show.
    const float fraction = max > 0.0f ? value / max : 0.0f;
    m_dbView->timeMeterView()->updateMeters(fraction);
    transport->customLocateSlider()->setValue(fraction * 100.0f);
}

void AudioViewController::handleJog(bool jogMode)
{
    LocatorView* wheel = m_dbView->locatorView();
    wheel->setJog(jogMode);
    m_dbView->setLastTransformRotation(0.0f);
    wheel->setRotation(0.0f);
    wheel->update();
}

void AudioViewController::handleLocateMoved(float percent)
{
    // Only the read-outs, the meters and a scrub follow the drag; the locator itself is set
    // when the slider is let go.
    locatorValueChanged(float(double(percent) / 100.0 * m_clipLength));
}

void AudioViewController::handleLocateSliderTouchStart()
{
    startLocatorTouch();
}

void AudioViewController::handleLocateSliderTouchEnd()
{
    const float percent = m_dbView->transportView()->customLocateSlider()->value();
    m_dbView->locatorControl()->setValue(float(m_clipLength * (double(percent) / 100.0)));
    endLocatorTouch();
}

void AudioViewController::startLocatorTouch()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    TransportView* transport = m_dbView->transportView();
    m_resumePlay = false;
    if (m_audioPlayer) {
        transport->doPlay();
        m_resumePlay = true;
    }
    m_isScrubbing = true;
    // A new player in scrub mode, at the locator's position.
    transport->doPlay();
}

void AudioViewController::endLocatorTouch()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    if (!m_isScrubbing)
        return;
    m_isScrubbing = false;
    TransportView* transport = m_dbView->transportView();
    if (transport->recording()) {
        // A take started during the scrub and stopped the scrub player first; toggling play
        // now would start a player beside the take.
        m_resumePlay = false;
        return;
    }
    transport->doPlay();
    if (m_resumePlay)
        transport->doPlay();
}

void AudioViewController::abandonScrub()
{
    m_resumePlay = false;
    endLocatorTouch();
}

// ---- Screen life cycle ----

void AudioViewController::viewDidLoad()
{
    m_viewLoaded = true;
    m_dbView->changeTransport(false, false, false);
    // The clip is the current recording's, which may have changed since the screen was made.
    setupFiles();
    if (clipFileExists())
        prepareClip();
    setTextColour(m_statusSign, kReadoutColour);
    setTextColour(m_label1, kReadoutColour);
    setTextColour(m_label2, kReadoutColour);

    if (!m_infoButton) {
        m_infoButton = new ImageButton(this);
        const QPixmap info = BundleImage::imageNamed(QStringLiteral("info.png"));
        m_infoButton->setBackgroundImage(StretchableImage(info), ImageButton::State::Normal);
        m_infoButton->setBackgroundImage(StretchableImage(info), ImageButton::State::Highlighted);
        m_infoButton->setShowsTouchWhenHighlighted(true);
        m_infoButton->setAccessibleName(tr("Help"));
        m_infoButton->setGeometry(QRect(kInfoButtonOrigin, m_infoButton->sizeHint()));
        connect(m_infoButton, &ImageButton::touchUpInside, this, [this] { doInfo(); });
        m_infoButton->show();
    }
    m_infoButton->raise();
    m_qualityImage->raise();
    m_statusSign->raise();
    m_label1->raise();
    m_label2->raise();

    TransportView* transport = m_dbView->transportView();
    transport->setDelegate(this);
    transport->setUserDefaults(&m_appDelegate->userDefaults());
    m_dbView->locatorControl()->setDelegate(this);
    m_dbView->locatorView()->setDelegate(this);
    if (NavigationController* navigation = m_appDelegate->navigationController) {
        // The navigation controller may outlive this screen (or go first, at exit): the hook
        // checks that the screen is still there.
        navigation->didShowViewController = [self = QPointer<AudioViewController>(this)](
                                                ViewController* controller, bool animated) {
            if (self)
                self->navigationControllerDidShowViewController(controller, animated);
        };
    }
    transport->customSlider()->setValue(
        m_appDelegate->userDefaults().value(QLatin1String(kOutputVolumeKey), 0.0f).toFloat());
}

void AudioViewController::viewWillAppear(bool)
{
    if (!m_viewLoaded)
        viewDidLoad();
    setRightBarButton(m_addButton);
    targetFile();
    if (auto recording = currentRecording())
        setTitle(recording->name());
}

void AudioViewController::viewWillDisappear(bool)
{
    cancelPendingTake();
    abandonScrub();
    if (m_audioPlayer && m_audioPlayer->isRunning())
        playOrStop();
    else if (m_audioRecorder && m_audioRecorder->isRunning())
        recordOrStop();
}

void AudioViewController::viewDidDisappear(bool)
{
    // Still in the stack (the timer, export or info screen covers it), the new memo stays the
    // one those screens and the coming take work on.
    const NavigationController* navigation = navigationController();
    if (navigation &&
        std::find(navigation->viewControllers().begin(), navigation->viewControllers().end(),
                  this) != navigation->viewControllers().end())
        return;
    forgetUnrecordedMemo();
}

void AudioViewController::finishTransportBeforeQuit()
{
    cancelPendingTake();
    abandonScrub();
    // Immediate stops: each engine has reported, and the take's facts are written, when the
    // call returns.
    if (m_audioPlayer)
        playOrStop();
    if (m_audioRecorder)
        recordOrStop();
    forgetUnrecordedMemo();
}

void AudioViewController::forgetUnrecordedMemo()
{
    // The screen makes a memo as soon as it has none to show ("+", a delete, an empty list);
    // one that got no take has no file, and would stay in the lists, the counts and the shared
    // page with nothing behind it. Only that memo goes: a memo made elsewhere whose file is
    // missing keeps its record (and its name, photo and place).
    const std::shared_ptr<Recording> recording = m_newMemo.lock();
    if (!recording || recording != currentRecording() || m_audioRecorder || m_countingIn ||
        recording->duration() > 0.0 || clipFileExists())
        return;
    m_newMemo.reset();
    qCInfo(lcRecorder).noquote() << "Forgetting" << recording->filename()
                                 << "- nothing was recorded into it";
    m_appDelegate->forgetUnrecordedRecording(recording);
}

void AudioViewController::navigationControllerDidShowViewController(ViewController* controller,
                                                                    bool)
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    if (controller != this)
        return;
    qCInfo(lcRecorder).noquote() << "Switching to recording" << targetFile();
    setupFiles();
    m_clipLength = 0.0;
    if (clipFileExists())
        prepareClip();
    else
        m_dbView->changeTransport(false, false, false);
    if (auto recording = currentRecording())
        m_dbView->locatorControl()->setValue(recording->lastPlayTime());
}

void AudioViewController::newRecording()
{
    TransportView* transport = m_dbView->transportView();
    if (transport->recording() || transport->playing() || m_countingIn)
        return;
    // A current recording without a file is already a new, empty memo.
    if (!m_appDelegate->currentRecording() || clipFileExists()) {
        m_appDelegate->setCurrentRecording(nullptr);
        targetFile();
        navigationControllerDidShowViewController(this, false);
        if (auto recording = currentRecording())
            setTitle(recording->name());
    }
}

// ---- Volume slider ----

void AudioViewController::handleSliderValueChanged(float value)
{
    m_statusSign->setText(QString::asprintf("+%2.1fdB", double(PercentTodBF(value * 100.0f))));
    m_label1->setText(tr("Volume Boost"));
    m_label2->setText(QString());
}

void AudioViewController::handleSliderTouchStart()
{
    m_changingVolume = true;
}

void AudioViewController::handleSliderTouchEnd()
{
    m_changingVolume = false;
    locatorValueChanged(m_dbView->locatorControl()->value());
}

// ---- Toolbars ----

void AudioViewController::changeRecordQuality(QObject*)
{
    if (m_recordQuality == 11025.0)
        m_recordQuality = 22050.0;
    else if (m_recordQuality == 22050.0)
        m_recordQuality = 44100.0;
    else if (m_recordQuality == 44100.0)
        m_recordQuality = 11025.0;
    showQualityImage();
    m_dbView->setupToolbar();
}

void AudioViewController::changePlaySpeed(QObject*)
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    const float speed = float(m_playSpeed);
    if (speed == 0.75f)
        m_playSpeed = 1.0;
    else if (speed == 1.0f)
        m_playSpeed = 1.5;
    else if (speed == 1.5f)
        m_playSpeed = 0.75;
    if (m_dbView->transportView()->playing()) {
        playOrStop();
        playOrStop();
    }
    m_dbView->setupToolbar();
}

void AudioViewController::setRecordTime(QObject*)
{
    if (m_appDelegate->navigationController && m_appDelegate->recTimerController)
        m_appDelegate->navigationController->pushViewController(m_appDelegate->recTimerController,
                                                                true);
}

void AudioViewController::doSendOptions(QObject*)
{
    if (m_appDelegate->navigationController && m_appDelegate->exportController)
        m_appDelegate->navigationController->pushViewController(m_appDelegate->exportController,
                                                                true);
}

void AudioViewController::doInfo()
{
    qCInfo(lcRecorder) << "Info button pressed.";
    if (m_appDelegate->navigationController && m_appDelegate->appInfoController)
        m_appDelegate->navigationController->pushViewController(m_appDelegate->appInfoController,
                                                                true);
}

void AudioViewController::deleteRecordingPrompt(QObject*)
{
    m_deleteActionSheet = std::make_unique<ActionSheet>(
        tr("Are you sure you want to delete this recording?"),
        [this](ActionSheet* sheet, int index) { actionSheetClickedButtonAtIndex(sheet, index); },
        tr("Cancel"), tr("Delete"));
    m_deleteActionSheet->showFromToolbar(m_dbView->playToolbar());
}

void AudioViewController::actionSheetClickedButtonAtIndex(ActionSheet* sheet, int buttonIndex)
{
    if (sheet != m_deleteActionSheet.get())
        return;
    if (buttonIndex == 0)
        deleteThisRecording();
    // The sheet is still inside its own call; it is deleted once control is back.
    m_deleteActionSheet.release()->deleteLater();
}

void AudioViewController::moveLocatorTo(float seconds)
{
    TransportView* transport = m_dbView->transportView();
    LocatorControl* locator = m_dbView->locatorControl();
    const float target =
        std::clamp(seconds, locator->min(), std::max(locator->min(), locator->max()));
    const bool wasPlaying = transport->playing();
    if (wasPlaying)
        transport->doPlay();
    locator->setValue(target);
    if (wasPlaying)
        transport->doPlay();
}

void AudioViewController::deleteThisRecording()
{
    const auto announce = qScopeGuard([this] { emit transportChanged(); });
    TransportView* transport = m_dbView->transportView();
    cancelPendingTake();
    abandonScrub();
    if (m_audioRecorder)
        transport->doRecord();
    if (m_audioPlayer)
        transport->doPlay();
    m_clipLength = 0.0;
    m_appDelegate->deleteRecording(m_appDelegate->currentRecording());
    m_appDelegate->setCurrentRecording(nullptr);
    newRecording();
    viewDidLoad();
    m_dbView->locatorControl()->setValue(0.0f);
    m_dbView->locatorControl()->setMax(0.0f);
    if (auto recording = currentRecording())
        setTitle(recording->name());
}
