#include "sharing/RELO_BrowserController.h"

#include "core/AppDelegate.h"
#include "core/Recording.h"
#include "platform/system/DocumentPath.h"
#include "platform/ui/FitLabel.h"
#include "platform/ui/NetworkActivityIndicator.h"
#include "platform/ui/ProgressView.h"
#include "sharing/SharingLog.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char kReject[] = "RELO/1.0\nReject";
constexpr const char kAccept[] = "RELO/1.0\nAccept";
constexpr qsizetype kReplyCompared = 15;

} // namespace

RELO_BrowserController::RELO_BrowserController(AppDelegate* appDelegate, QWidget* parent)
    : ViewController(parent)
{
    m_env.documentsPath = appDelegate->documentsPath();
    m_env.currentRecording = [appDelegate] { return appDelegate->currentRecording(); };
    awakeFromNib();
}

RELO_BrowserController::RELO_BrowserController(Environment environment, QWidget* parent)
    : ViewController(parent)
    , m_env(std::move(environment))
{
    awakeFromNib();
}

RELO_BrowserController::~RELO_BrowserController()
{
    cancelCurrentOperation = true;
    if (m_pushThread) {
        wakePushThread();
        m_pushThread->wait();
    }
    delete browser;
    if (NetworkActivityIndicator::isNetworkActivityIndicatorVisible())
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(false);
}

void RELO_BrowserController::awakeFromNib()
{
    myDocumentsPath = m_env.documentsPath;
    if (!m_env.makeStreams)
        m_env.makeStreams = [](const StreamPair::Endpoint& endpoint) {
            return std::make_unique<StreamPair>(endpoint);
        };
    buildScreen();
}

void RELO_BrowserController::buildScreen()
{
    setTitle(tr("Send to Device"));
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 16);
    layout->setSpacing(8);

    auto* top = new QHBoxLayout;
    auto* title = new QLabel(tr("Send to Device"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    activityIndicator = new NetworkActivityIndicator(this);
    doneButton = new QPushButton(tr("Done"), this);
    top->addWidget(title);
    top->addWidget(activityIndicator);
    top->addStretch();
    top->addWidget(doneButton);
    layout->addLayout(top);

    layout->addWidget(new QLabel(tr("Receivers on this network:"), this));
    receiverPicker = new PickerView(this);
    receiverPicker->setDataSource(this);
    receiverPicker->setMinimumHeight(140);
    layout->addWidget(receiverPicker, 1);

    // What Send pushes, so that the user sees it before it goes.
    memoLabel = new FitLabel(this);
    memoLabel->setTextFormat(Qt::PlainText);
    memoLabel->setAccessibleName(tr("Memo to send"));
    layout->addWidget(memoLabel);
    showMemoName();

    auto* buttons = new QHBoxLayout;
    sendButton = new QPushButton(tr("Send"), this);
    cancelButton = new QPushButton(tr("Cancel"), this);
    buttons->addWidget(sendButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);

    // The receiver's and the recording's names are filled in at Send.
    connectingLabel = new QLabel(tr("Connecting…"), this);
    connectedLabel = new QLabel(tr("Connected."), this);
    acceptedLabel = new QLabel(tr("The receiver accepted the recording."), this);
    rejectedLabel = new QLabel(tr("The receiver declined the recording."), this);
    sendingLabel = new QLabel(tr("Sending…"), this);
    failedLabel =
        new QLabel(tr("Sending failed: the receiver went away or stopped answering."), this);
    sentLabel = new QLabel(tr("Sent."), this);
    progressBar = new ProgressView(this);
    for (QWidget* notice : notices()) {
        // The notices carry names that the user or the receiver chose: shown as they are,
        // never read as markup.
        if (auto* label = qobject_cast<QLabel*>(notice)) {
            label->setWordWrap(true);
            label->setTextFormat(Qt::PlainText);
        }
        notice->setHidden(true);
        layout->addWidget(notice);
    }
    layout->addStretch();

    m_noticeHold = new QTimer(this);
    m_noticeHold->setSingleShot(true);
    m_noticeHold->setTimerType(Qt::PreciseTimer);
    connect(m_noticeHold, &QTimer::timeout, this, [this] { showWaitingCodes(); });

    cancelButton->setEnabled(false);
    updateSendButton();
    connect(receiverPicker, &PickerView::selectionChanged, this,
            &RELO_BrowserController::updateSendButton);
    connect(sendButton, &QPushButton::clicked, this, &RELO_BrowserController::pushIt);
    connect(cancelButton, &QPushButton::clicked, this, &RELO_BrowserController::cancelSend);
    connect(doneButton, &QPushButton::clicked, this, &RELO_BrowserController::doneRequested);
}

// ---- Screen life cycle and buttons (main thread) ----

void RELO_BrowserController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    if (!browser) {
        browser = new NetServiceBrowser;
        browser->setDelegate(this);
        browser->searchForServicesOfType(QString::fromLatin1(kServiceType),
                                         QString::fromLatin1(kServiceDomain));
    }
    curRecording = m_env.currentRecording ? m_env.currentRecording() : nullptr;
    showMemoName();
    settleFinishedPush();
    // Cancel stays usable for a push that has not ended yet; otherwise the screen is idle.
    cancelButton->setEnabled(isPushRunning());
    hideNotices();
    updateSendButton();
}

void RELO_BrowserController::showMemoName()
{
    if (curRecording)
        memoLabel->setText(tr("Memo: %1").arg(curRecording->name()));
    else
        memoLabel->setText(tr("No memo is chosen."));
}

void RELO_BrowserController::settleFinishedPush()
{
    if (m_pushThread && m_pushThread->isFinished())
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    showWaitingCodes(true);
}

bool RELO_BrowserController::interceptBack()
{
    if (!m_busy && !isPushRunning())
        return false;
    cancelSend();
    return true;
}

std::array<QWidget*, 8> RELO_BrowserController::notices() const
{
    return {connectingLabel, connectedLabel, acceptedLabel, rejectedLabel,
            sendingLabel,    failedLabel,    sentLabel,     progressBar};
}

void RELO_BrowserController::hideNotices()
{
    for (QWidget* notice : notices())
        notice->setHidden(true);
    progressBar->setProgress(0.0f);
}

void RELO_BrowserController::viewWillDisappear(bool animated)
{
    ViewController::viewWillDisappear(animated);
    // A push does not go on out of sight: leaving cancels it, as Cancel does, and the screen
    // takes the codes it ends with, so that it is idle when it comes back.
    if (isPushRunning()) {
        cancelSend();
        m_pushThread->wait(QDeadlineTimer(kLeaveWaitMs));
    }
    settleFinishedPush();
    // The search ends and the list goes with it at once, so a quick return always starts a new
    // search on an empty list.
    if (browser) {
        browser->stop();
        browser->deleteLater();
        browser = nullptr;
    }
    for (auto& service : m_services) {
        service->setDelegate(nullptr);
        service->stop();
        service.release()->deleteLater();
    }
    m_services.clear();
    m_sightings.clear();
    receiverPicker->reloadAllComponents();
}

bool RELO_BrowserController::isPushRunning() const
{
    return m_pushThread && !m_pushThread->isFinished();
}

void RELO_BrowserController::pushIt()
{
    // One push at a time: a second Send before the first has shown itself is ignored.
    if (isPushRunning())
        return;
    if (m_pushThread) {
        m_pushThread->wait();
        m_pushThread.reset();
    }
    cancelCurrentOperation = false;
    // A new attempt starts on a clean screen: what the last one left (its failed or sent notice,
    // or anything still waiting to be shown) goes now, even if this one ends at once.
    showWaitingCodes(true);
    hideNotices();
    showMemoName();
    PushJob job;
    if (curRecording) {
        job.recordingName = curRecording->name();
        job.recordingFile = curRecording->filename();
    }
    const int row = receiverPicker->selectedRowInComponent(0);
    if (row >= 0 && row < static_cast<int>(m_services.size())) {
        const NetService& service = *m_services[row];
        connectingLabel->setText(tr("Connecting to %1…").arg(service.name()));
        connectedLabel->setText(tr("Connected to %1.").arg(service.name()));
        sendingLabel->setText(tr("Sending “%1”…").arg(job.recordingName));
        sentLabel->setText(tr("Sent “%1” to %2.").arg(job.recordingName, service.name()));
        job.receiverSelected = true;
        job.endpoint = selectedEndpoint();
    }
    m_pushThread.reset(QThread::create([this, job] { pushItThread(job); }));
    m_pushThread->start();
}

void RELO_BrowserController::cancelSend()
{
    cancelCurrentOperation = true;
    wakePushThread();
    // A notice kept up past its push (the rejected notice, a finished transfer) goes at once.
    showWaitingCodes(true);
}

void RELO_BrowserController::wakePushThread()
{
    if (!m_pushThread)
        return;
    if (QAbstractEventDispatcher* dispatcher =
            QAbstractEventDispatcher::instance(m_pushThread.get()))
        dispatcher->wakeUp();
}

void RELO_BrowserController::updateMyUI(int code)
{
    // The notices and the bar in `shown` are shown, every other one is hidden.
    auto controls = [&](bool busy, std::initializer_list<QWidget*> shown) {
        m_busy = busy;
        doneButton->setEnabled(!busy);
        cancelButton->setEnabled(busy);
        updateSendButton();
        for (QWidget* notice : notices())
            notice->setHidden(std::find(shown.begin(), shown.end(), notice) == shown.end());
    };
    switch (code) {
    case kIdle:
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(false);
        controls(false, {});
        progressBar->setProgress(0.0f);
        break;
    case kFailed:
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(false);
        controls(false, {failedLabel});
        progressBar->setProgress(0.0f);
        break;
    case kSent:
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(false);
        controls(false, {sentLabel});
        progressBar->setProgress(0.0f);
        break;
    case kConnecting:
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(true);
        controls(true, {connectingLabel});
        progressBar->setProgress(0.0f);
        break;
    case kConnected:
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(true);
        controls(true, {connectedLabel});
        progressBar->setProgress(0.0f);
        break;
    case kRejected:
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(false);
        controls(true, {rejectedLabel});
        progressBar->setProgress(0.0f);
        break;
    case kSending:
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(true);
        controls(true, {connectedLabel, acceptedLabel, sendingLabel, progressBar});
        progressBar->setProgress(static_cast<float>(m_progressPercent.load()));
        break;
    case kProgress:
        progressBar->setProgress(static_cast<float>(m_progressPercent.load()));
        break;
    default:
        return;
    }
    emit screenCodeShown(code);
}

void RELO_BrowserController::requestScreen(int code)
{
    QMetaObject::invokeMethod(
        this,
        [this, code] {
            m_waitingCodes.push_back(code);
            showWaitingCodes();
        },
        Qt::QueuedConnection);
}

void RELO_BrowserController::showWaitingCodes(bool all)
{
    if (all)
        m_noticeHold->stop();
    while (!m_waitingCodes.empty()) {
        const int code = m_waitingCodes.front();
        // A progress update takes no notice down: it goes through while the transfer is held.
        if (m_noticeHold->isActive() && code != kProgress)
            return;
        m_waitingCodes.pop_front();
        updateMyUI(code);
        const int hold = code == kRejected  ? kRejectedShownMs
                         : code == kSending ? kTransferShownMs
                                            : 0;
        if (hold > 0 && !all)
            m_noticeHold->start(hold);
    }
}

StreamPair::Endpoint RELO_BrowserController::selectedEndpoint() const
{
    StreamPair::Endpoint endpoint;
    const int row = receiverPicker->selectedRowInComponent(0);
    if (row < 0 || row >= static_cast<int>(m_services.size()))
        return endpoint;
    const NetService& service = *m_services[row];
    endpoint.hostName = service.hostName();
    endpoint.port = service.hostName().isEmpty() ? -1 : service.port();
    endpoint.addresses = service.addresses();
    return endpoint;
}

void RELO_BrowserController::updateSendButton()
{
    sendButton->setEnabled(!m_busy && !selectedEndpoint().isEmpty());
}

// ---- Receiver list (main thread) ----

int RELO_BrowserController::pickerViewNumberOfRowsInComponent(PickerView*, int)
{
    return static_cast<int>(m_services.size());
}

QString RELO_BrowserController::pickerViewTitleForRow(PickerView*, int row, int)
{
    if (row < 0 || row >= static_cast<int>(m_services.size()))
        return {};
    return m_services[row]->name();
}

void RELO_BrowserController::netServiceBrowserDidFindService(NetServiceBrowser* sender,
                                                             std::unique_ptr<NetService> service,
                                                             bool)
{
    if (sender != browser)
        return;
    // A receiver is reported once per interface and protocol it is seen on; it is listed once.
    if (m_sightings[service->name()]++ > 0)
        return;
    service->setDelegate(this);
    service->resolveWithTimeout(kResolveTimeout);
    m_services.push_back(std::move(service));
}

void RELO_BrowserController::netServiceBrowserDidRemoveService(NetServiceBrowser* sender,
                                                               const QString& name, bool)
{
    if (sender != browser)
        return;
    const auto seen = m_sightings.find(name);
    if (seen == m_sightings.end() || --seen->second > 0)
        return;
    m_sightings.erase(seen);
    const auto it = std::find_if(m_services.begin(), m_services.end(),
                                 [&](const auto& service) { return service->name() == name; });
    if (it == m_services.end())
        return;
    // The selection stays on the receiver the user chose, not on its row number.
    const int selected = receiverPicker->selectedRowInComponent(0);
    const QString chosen = selected >= 0 && selected < static_cast<int>(m_services.size())
                               ? m_services[selected]->name()
                               : QString();
    (*it)->setDelegate(nullptr);
    (*it)->stop();
    it->release()->deleteLater();
    m_services.erase(it);
    receiverPicker->reloadAllComponents();
    for (size_t row = 0; row < m_services.size(); ++row)
        if (m_services[row]->name() == chosen)
            receiverPicker->selectRow(static_cast<int>(row), 0, false);
}

void RELO_BrowserController::netServiceDidResolveAddress(NetService*)
{
    receiverPicker->reloadAllComponents();
}

// ---- Push thread ----

QByteArray RELO_BrowserController::reloHeader(const QString& name, qint64 length)
{
    QString line = name;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("RELO/1.0\nContent-Type: audio/wav\nContent-Name: %1\nContent-Length: "
                          "%2\n")
        .arg(line, QString::number(length))
        .toUtf8();
}

void RELO_BrowserController::pushItThread(const PushJob& job)
{
    QThread::currentThread()->setObjectName(QStringLiteral("RELO"));
    m_pushFailed = false;
    m_receiverClosed = false;
    m_bytesRead = 0;
    m_pending.clear();
    m_progressPercent = 0.0;
    progressPercentLastShown = 0.0;

    // The file of the recording that the header names, opened afresh for every push.
    curFile.reset();
    curFilePath = job.recordingFile.isEmpty()
                      ? QString()
                      : DocumentPath::resolve(myDocumentsPath, job.recordingFile);
    if (!curFilePath.isEmpty() && DocumentPath::kind(curFilePath) == DocumentPath::Kind::Regular) {
        auto file = std::make_unique<QFile>(curFilePath);
        if (file->open(QIODevice::ReadOnly))
            curFile = std::move(file);
    }
    if (!curFile) {
        qCWarning(lcSharing, "Push: the recording's file cannot be read: %s",
                  qUtf8Printable(job.recordingFile));
        return;
    }
    curFileLen = curFile->size();
    m_headerName = job.recordingName;
    if (!job.receiverSelected || job.endpoint.isEmpty()) {
        curFile.reset();
        return;
    }

    std::unique_ptr<StreamPair> streams = m_env.makeStreams(job.endpoint);
    if (!streams) {
        curFile.reset();
        return;
    }
    m_streams = streams.release();
    m_streams->setDelegate(this);
    m_streams->open();
    pushState = 0;
    m_lastProgress.start();
    requestScreen(kConnecting);

    // The loop runs in slices of at most a second (shorter when the stall or close time is
    // short); Cancel wakes it at once. The push is over when the streams are dropped.
    QEventLoop loop;
    QTimer slice;
    const qint64 stall = m_env.stallTimeout.count();
    const qint64 closeWait = m_env.closeTimeout.count();
    slice.setInterval(
        static_cast<int>(std::clamp<qint64>(std::min(stall, closeWait) / 4, 10, 1000)));
    slice.start();
    while (!cancelCurrentOperation && m_streams) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
        if (!m_streams || cancelCurrentOperation)
            break;
        // After the last byte, the time runs from the half-close: the receiver may need a
        // while to store a long recording before it closes.
        if (pushState == 4 && m_lastProgress.elapsed() >= closeWait) {
            qCWarning(lcSharing, "Push: the receiver did not confirm the recording in time.");
            m_pushFailed = true;
            break;
        }
        if (pushState != 4 && m_lastProgress.elapsed() >= stall) {
            qCWarning(lcSharing, "Push: the receiver stopped answering.");
            m_pushFailed = true;
            break;
        }
    }
    const bool failed = m_pushFailed;
    const bool sent = !failed && m_receiverClosed;
    shutDownConnection();
    requestScreen(failed ? kFailed : sent ? kSent : kIdle);
    // Streams dropped from their own callbacks are freed before the thread ends.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void RELO_BrowserController::shutDownConnection()
{
    if (m_streams) {
        m_streams->setDelegate(nullptr);
        m_streams->close();
        m_streams->deleteLater();
        m_streams = nullptr;
    }
    curFile.reset();
    pushState = 0;
}

void RELO_BrowserController::streamHandleEvent(StreamPair* stream, StreamPair::Side side,
                                               StreamPair::Event event)
{
    if (stream != m_streams)
        return;
    using Side = StreamPair::Side;
    if (event == StreamPair::kEndEncountered && pushState == 4) {
        // The receiver closed its side after the whole file: it has the recording.
        m_receiverClosed = true;
        shutDownConnection();
        return;
    }
    if (event == StreamPair::kErrorOccurred || event == StreamPair::kEndEncountered) {
        // A reset at any time, or an end before the whole file is out, fails the push.
        m_pushFailed = true;
        shutDownConnection();
        return;
    }
    if (event == StreamPair::kOpenCompleted && side == Side::Output) {
        m_lastProgress.restart();
        requestScreen(kConnected);
        pushState = 1;
    } else if (event == StreamPair::kHasSpaceAvailable && side == Side::Output) {
        if (pushState == 1) {
            m_pending = reloHeader(m_headerName, curFileLen);
            pushState = 2;
            writePending();
        } else if (pushState == 2) {
            writePending(); // the rest of a header the stream took only in part
        } else if (pushState == 3) {
            sendFromFile();
        }
    } else if (event == StreamPair::kHasBytesAvailable && side == Side::Input && pushState == 2) {
        QByteArray reply(kReplyReadSize, '\0');
        const qint64 n = m_streams->read(reply.data(), reply.size());
        if (n < kReplyCompared)
            return; // no complete answer in this read
        m_lastProgress.restart();
        reply.truncate(kReplyCompared);
        if (reply == kReject) {
            shutDownConnection();
            requestScreen(kRejected);
        } else if (reply == kAccept) {
            if (!m_pending.isEmpty())
                return; // the header is not fully out yet: not a genuine answer
            // The first chunk goes at once; its share is shown with the accepted notice.
            m_progressPercent = 0.0;
            sendFromFile();
            if (!m_streams)
                return; // the file could not be read
            progressPercentLastShown = m_progressPercent;
            pushState = 3;
            requestScreen(kSending);
            // A file of one chunk (or none) is out already.
            if (m_pending.isEmpty() && m_bytesRead == curFileLen)
                finishSending();
        }
    } else if (event == StreamPair::kHasBytesAvailable && side == Side::Input && pushState >= 3) {
        discardInput();
    }
}

void RELO_BrowserController::discardInput()
{
    // Nothing the receiver says after its answer matters, but left unread it would hide the
    // receiver's end (and make the final close a reset).
    char scratch[kChunkSize];
    m_streams->read(scratch, sizeof scratch);
}

void RELO_BrowserController::sendFromFile()
{
    if (!m_pending.isEmpty()) {
        // The bytes the stream did not take last time go before the next chunk.
        writePending();
        return;
    }
    // Exactly the announced length goes, even if the file has grown since it was measured.
    const qint64 left = curFileLen - m_bytesRead;
    const QByteArray chunk =
        curFile && left > 0 ? curFile->read(std::min(kChunkSize, left)) : QByteArray();
    if (chunk.isEmpty()) {
        if (left > 0) {
            qCWarning(lcSharing, "Push: the recording's file ended before its announced length.");
            m_pushFailed = true;
            shutDownConnection();
            return;
        }
        finishSending();
        return;
    }
    m_bytesRead += chunk.size();
    m_pending = chunk;
    const qint64 offered = m_pending.size();
    const qint64 taken = m_streams->write(m_pending.constData(), offered);
    if (taken < 0)
        return; // the error event follows
    if (taken < offered)
        qCWarning(lcSharing, "Experiencing network transfer problems.");
    m_pending.remove(0, taken);
    addProgress(taken);
    if (m_pending.isEmpty() && m_bytesRead == curFileLen)
        finishSending();
}

void RELO_BrowserController::writePending()
{
    if (m_pending.isEmpty() || !m_streams)
        return;
    const qint64 taken = m_streams->write(m_pending.constData(), m_pending.size());
    if (taken <= 0)
        return;
    m_pending.remove(0, taken);
    if (pushState == 3) {
        addProgress(taken);
        if (m_pending.isEmpty() && m_bytesRead == curFileLen)
            finishSending();
    } else {
        m_lastProgress.restart();
    }
}

void RELO_BrowserController::finishSending()
{
    if (pushState != 3 || !m_streams)
        return;
    // The receiver reads the end of the data and, once the recording is stored, closes its
    // side; that close is the only sign that the push arrived.
    pushState = 4;
    m_lastProgress.restart();
    if (!m_streams->shutdownOutput()) {
        m_pushFailed = true;
        shutDownConnection();
    }
}

void RELO_BrowserController::addProgress(qint64 bytes)
{
    if (bytes <= 0)
        return;
    m_lastProgress.restart();
    const double fraction = curFileLen > 0 ? double(bytes) / double(curFileLen) : 1.0;
    m_progressPercent = m_progressPercent.load() + fraction;
    if (pushState == 3 && m_progressPercent.load() - progressPercentLastShown >= 0.01) {
        requestScreen(kProgress);
        progressPercentLastShown = m_progressPercent;
    }
}
