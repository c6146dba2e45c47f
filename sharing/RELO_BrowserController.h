// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/net/NetService.h"
#include "platform/net/NetServiceBrowser.h"
#include "platform/net/StreamPair.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ViewController.h"
#include "sharing/PushSender.h"

#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class AppDelegate;
class FitLabel;
class NetworkActivityIndicator;
class ProgressView;
class QLabel;
class QPushButton;
class QThread;
class QTimer;
class Recording;

// The push screen: sends the current recording's WAV file straight to another device on the
// local network. It lists the receivers that announce "_relo._tcp." over Bonjour and, on Send,
// connects to the chosen one, announces the recording with a RELO/1.0 header, waits for the
// receiver's Accept or Reject and then streams the file in 512-byte chunks.
//
// The transfer is a PushSender's, on a push thread of its own (one per Send) whose event loop
// delivers the stream events; the screen hears of it only through the sender's signals and
// drives it only through its start and cancel. It is updated on the main thread through screen
// codes (updateMyUI):
// 0 idle, 1 connecting, 2 connected, 3 rejected, 4 accepted and sending, 5 progress, 6 idle
// after a failed push and 7 idle after a push that the receiver confirmed (the failed and the
// sent notice stay until the next push or appearance).
//
// The push thread's codes can follow each other faster than the screen is drawn (a short memo
// is out, or a rejection in, within milliseconds), so the main thread shows them in order but
// keeps the rejected notice up for kRejectedShownMs, and the transfer (its notices and the bar)
// for kTransferShownMs, before a later code takes them down. Cancel, Send and a new appearance
// show what is still waiting at once.
//
// Send is enabled only while no push is under way and the picker's selected row is a receiver
// whose address is known. A label above the buttons names the memo that Send pushes.
//
// A push ends when the receiver has confirmed it (PushSender says how), when the receiver
// rejects, when the user cancels, or as a failure.
//
// A push is never left running out of sight: Escape (and Alt+Left) during a push is Cancel and
// the screen stays; a screen dismissed in another way cancels its push and settles into the idle
// state, so it comes back usable.
class RELO_BrowserController : public ViewController,
                               public NetServiceBrowser::Delegate,
                               public NetService::Delegate,
                               public PickerView::DataSource
{
    Q_OBJECT
public:
    // What the screen is given by its surroundings; tests supply their own. Every push gets the
    // sender's part of it.
    struct Environment : PushSender::Options
    {
        // The recording current when the screen appears (null when there is none).
        std::function<std::shared_ptr<Recording>()> currentRecording;
    };

    // The application's push screen: the current recording comes from the application object.
    explicit RELO_BrowserController(AppDelegate* appDelegate, QWidget* parent = nullptr);
    explicit RELO_BrowserController(Environment environment, QWidget* parent = nullptr);
    // Cancels a running push and waits for its thread.
    ~RELO_BrowserController() override;

    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    // Escape or Alt+Left: while a push is under way (Cancel can be pressed), cancels it as
    // Cancel does and keeps the screen; otherwise the screen may go.
    bool interceptBack() override;

    // Send: starts a push of the current recording to the selected receiver. Main thread.
    void pushIt();
    // Cancel: asks the running push to end.
    void cancelSend();
    // Sets the controls for a screen code; main thread.
    void updateMyUI(int code);
    // True while a push thread exists that has not ended.
    bool isPushRunning() const;

    // Picker data source: one column listing the receivers by name.
    int numberOfComponentsInPickerView() const { return 1; }
    int pickerViewNumberOfRowsInComponent(PickerView* picker, int component) override;
    QString pickerViewTitleForRow(PickerView* picker, int row, int component) override;

    // Bonjour callbacks (main thread).
    void netServiceBrowserDidFindService(NetServiceBrowser* sender,
                                         std::unique_ptr<NetService> service,
                                         bool moreComing) override;
    void netServiceBrowserDidRemoveService(NetServiceBrowser* sender, const QString& name,
                                           bool moreComing) override;
    void netServiceDidResolveAddress(NetService* sender) override;

    enum ScreenCode : int
    {
        kIdle = 0,
        kConnecting = 1,
        kConnected = 2,
        kRejected = 3,
        kSending = 4,
        kProgress = 5,
        kFailed = 6,
        kSent = 7,
    };

    static constexpr const char* kServiceType = "_relo._tcp.";
    static constexpr const char* kServiceDomain = "local";
    static constexpr double kResolveTimeout = 5.0;
    // How long the rejected notice, and a transfer's notices and bar, stay up at least.
    static constexpr int kRejectedShownMs = 2000;
    static constexpr int kTransferShownMs = 750;
    // How long leaving the screen waits for a cancelled push thread to end.
    static constexpr int kLeaveWaitMs = 2000;

    // Controls, in the order of the screen's fields.
    PickerView* receiverPicker = nullptr;
    // Names the memo that Send pushes (the current recording).
    FitLabel* memoLabel = nullptr;
    QPushButton* sendButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* doneButton = nullptr;
    QLabel* connectingLabel = nullptr;
    QLabel* connectedLabel = nullptr;
    QLabel* acceptedLabel = nullptr;
    QLabel* rejectedLabel = nullptr;
    QLabel* sendingLabel = nullptr;
    QLabel* failedLabel = nullptr;
    QLabel* sentLabel = nullptr;
    ProgressView* progressBar = nullptr;
    NetworkActivityIndicator* activityIndicator = nullptr;

    // The receivers found, in the order found (main thread).
    const std::vector<std::unique_ptr<NetService>>& services() const { return m_services; }
    bool isBrowsing() const { return browser != nullptr; }
    std::shared_ptr<Recording> curRecording;
    // The share of the file the last push has sent, as its sender last told it.
    double progressPercent() const { return m_progressPercent; }

signals:
    // Done was pressed: the presenting screen dismisses this one.
    void doneRequested();
    // Emitted on the main thread after updateMyUI has applied a code.
    void screenCodeShown(int code);

private:
    void awakeFromNib();
    void buildScreen();
    // Hears the sender of a push, on the main thread.
    void listenTo(PushSender* sender);
    // Queues a screen code from the push and shows it when its turn comes.
    void requestScreen(int code);
    // Shows the codes that wait, in order, as far as the notice on screen allows; with
    // `all`, every one of them at once. Main thread.
    void showWaitingCodes(bool all = false);
    // Hides every notice and the bar and sets the bar to 0 (the controls stay as they are).
    void hideNotices();
    // The notices and the bar, each shown only by the screen codes that name it.
    std::array<QWidget*, 8> notices() const;
    // The endpoint of the receiver selected in the picker; empty when there is none or its
    // address is not known yet.
    StreamPair::Endpoint selectedEndpoint() const;
    void updateSendButton();
    // Puts the current recording's name on the memo label.
    void showMemoName();
    // Takes the codes that a push thread which has ended queued for this screen and shows
    // every waiting code at once. Main thread.
    void settleFinishedPush();

    Environment m_env;

    // Main thread.
    NetServiceBrowser* browser = nullptr;
    std::vector<std::unique_ptr<NetService>> m_services;
    // How many times each listed name has been found (once per interface and protocol).
    std::map<QString, int> m_sightings;
    std::unique_ptr<QThread> m_pushThread;
    // The push on that thread; deleted here once the thread has ended.
    std::unique_ptr<PushSender> m_sender;
    double m_progressPercent = 0.0;
    // Codes from the push thread not shown yet, and the time the notice on screen still stays.
    std::deque<int> m_waitingCodes;
    QTimer* m_noticeHold = nullptr;
    // A push is under way on the screen (codes 1 to 4 shown last).
    bool m_busy = false;
};
