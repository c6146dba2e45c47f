// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/RELO_BrowserController.h"

#include "core/AppDelegate.h"
#include "core/Recording.h"
#include "platform/ui/FitLabel.h"
#include "platform/ui/NetworkActivityIndicator.h"
#include "platform/ui/ProgressView.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

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
    if (m_pushThread) {
        QMetaObject::invokeMethod(m_sender.get(), &PushSender::cancel, Qt::QueuedConnection);
        m_pushThread->wait();
    }
    m_sender.reset();
    delete browser;
    if (NetworkActivityIndicator::isNetworkActivityIndicatorVisible())
        NetworkActivityIndicator::setNetworkActivityIndicatorVisible(false);
}

void RELO_BrowserController::awakeFromNib()
{
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
    receiverPicker->setAccessibleName(tr("Receivers on this network"));
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
        m_sender.reset();
        m_pushThread.reset();
    }
    m_progressPercent = 0.0;
    // A new attempt starts on a clean screen: what the last one left (its failed or sent notice,
    // or anything still waiting to be shown) goes now, even if this one ends at once.
    showWaitingCodes(true);
    hideNotices();
    showMemoName();
    PushSender::Job job;
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
        job.endpoint = selectedEndpoint();
    }
    m_pushThread = std::make_unique<QThread>();
    m_sender = std::make_unique<PushSender>(m_env);
    m_sender->moveToThread(m_pushThread.get());
    listenTo(m_sender.get());
    // The thread ends with the push.
    connect(m_sender.get(), &PushSender::finished, m_pushThread.get(), &QThread::quit,
            Qt::DirectConnection);
    m_pushThread->start();
    QMetaObject::invokeMethod(
        m_sender.get(), [sender = m_sender.get(), job] { sender->start(job); },
        Qt::QueuedConnection);
}

void RELO_BrowserController::listenTo(PushSender* sender)
{
    // Queued to this screen (not to a context of their own), so that settleFinishedPush finds
    // what an ended push has left.
    const auto code = [this](int screenCode) {
        return [this, screenCode] { requestScreen(screenCode); };
    };
    const auto share = [this](int screenCode) {
        return [this, screenCode](double progress) {
            m_progressPercent = progress;
            requestScreen(screenCode);
        };
    };
    connect(sender, &PushSender::connecting, this, code(kConnecting), Qt::QueuedConnection);
    connect(sender, &PushSender::connected, this, code(kConnected), Qt::QueuedConnection);
    connect(sender, &PushSender::rejected, this, code(kRejected), Qt::QueuedConnection);
    connect(sender, &PushSender::accepted, this, share(kSending), Qt::QueuedConnection);
    connect(sender, &PushSender::progress, this, share(kProgress), Qt::QueuedConnection);
    connect(sender, &PushSender::failed, this, share(kFailed), Qt::QueuedConnection);
    connect(
        sender, &PushSender::done, this,
        [this](bool sent, double progress) {
            m_progressPercent = progress;
            requestScreen(sent ? kSent : kIdle);
        },
        Qt::QueuedConnection);
}

void RELO_BrowserController::cancelSend()
{
    if (isPushRunning())
        QMetaObject::invokeMethod(m_sender.get(), &PushSender::cancel, Qt::QueuedConnection);
    // A notice kept up past its push (the rejected notice, a finished transfer) goes at once.
    showWaitingCodes(true);
}

void RELO_BrowserController::updateMyUI(int code)
{
    if (code == kProgress) {
        progressBar->setProgress(static_cast<float>(m_progressPercent));
        emit screenCodeShown(code);
        return;
    }
    // Each state: whether the network activity indicator shows, whether a push is under way
    // (Cancel is enabled instead of Done), and the notices (and the bar) that show; every other
    // one is hidden.
    struct Look
    {
        bool activity;
        bool busy;
        std::vector<QWidget*> shown;
    };
    Look look;
    switch (code) {
    case kIdle:
        look = {false, false, {}};
        break;
    case kFailed:
        look = {false, false, {failedLabel}};
        break;
    case kSent:
        look = {false, false, {sentLabel}};
        break;
    case kConnecting:
        look = {true, true, {connectingLabel}};
        break;
    case kConnected:
        look = {true, true, {connectedLabel}};
        break;
    case kRejected:
        look = {false, true, {rejectedLabel}};
        break;
    case kSending:
        look = {true, true, {connectedLabel, acceptedLabel, sendingLabel, progressBar}};
        break;
    default:
        return;
    }
    NetworkActivityIndicator::setNetworkActivityIndicatorVisible(look.activity);
    m_busy = look.busy;
    doneButton->setEnabled(!look.busy);
    cancelButton->setEnabled(look.busy);
    updateSendButton();
    for (QWidget* notice : notices())
        notice->setHidden(std::find(look.shown.begin(), look.shown.end(), notice) ==
                          look.shown.end());
    // The bar shows the sent share while sending and starts from nothing in every other state.
    progressBar->setProgress(code == kSending ? static_cast<float>(m_progressPercent) : 0.0f);
    emit screenCodeShown(code);
}

void RELO_BrowserController::requestScreen(int code)
{
    m_waitingCodes.push_back(code);
    showWaitingCodes();
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
