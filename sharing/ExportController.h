// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/ViewController.h"

class AppDelegate;
class ProgressView;
class QAbstractButton;
class QLabel;
class QTimer;
class RELO_BrowserController;
class SwitchControl;

// The export screen: the web sharing switch with the two addresses under which the web server
// is reached, the button that opens the push screen, the button that opens the e-mail
// composition screen, and the progress of an e-mail upload while one runs. The screen knows no
// server: the application connects webSharingSwitched to the server's switch and the server's
// address changes to urlDataIsReady.
class ExportController : public ViewController
{
    Q_OBJECT
public:
    explicit ExportController(AppDelegate* appDelegate, QWidget* parent = nullptr);
    ~ExportController() override;

    // The web sharing switch was flipped (after webSharingSwitched was emitted).
    void webSharingOnOff(SwitchControl* sender);
    // The server's addresses changed: shows them with their captions. Main thread.
    void urlDataIsReady(const QString& hostNameURL, const QString& rawURL);
    // The push screen, presented by postRELO_Browser; its Done button dismisses it.
    void setReloBrowserController(RELO_BrowserController* controller);
    // Presents the push screen modally, if there is one.
    void postRELO_Browser();
    void puntRELO_Browser();

    // The uploader's progress, 0.0 to 1.0; 0.0 when no upload runs.
    void updateEmailProgress(float progress) { emailProgress = progress; }
    // Pushes the application's e-mail composition screen, when it has one.
    void postEmailNotifier();
    void startProgressTimer();
    void updateProgress();

    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    SwitchControl* webSharingSwitch() const { return m_webSharingSwitch; }
    QLabel* bonjourURL = nullptr;
    QLabel* numericURL = nullptr;
    ProgressView* emailProgressBar = nullptr;
    QLabel* progressLabel = nullptr;
    // Opens the e-mail composition screen; disabled while an upload runs.
    QAbstractButton* sendEmailButton = nullptr;
    QLabel* bonjourURLLabel = nullptr;
    QLabel* numericURLLabel = nullptr;
    // Under the IP address while Bonjour is unavailable: there is no .local name to give.
    QLabel* bonjourUnavailableNote = nullptr;
    // Opens the push screen.
    QAbstractButton* pushButton = nullptr;
    float emailProgress = 0.0f;
    QTimer* progressTimer = nullptr;

    static constexpr int kProgressIntervalMs = 500;

signals:
    // The user turned web sharing on or off. Emitted before the screen updates its captions, so
    // that at switch-off the server's report of empty addresses arrives before they are hidden.
    void webSharingSwitched(bool on);

private:
    AppDelegate* myAppDelegate = nullptr;
    RELO_BrowserController* reloBrowserController = nullptr;
    SwitchControl* m_webSharingSwitch = nullptr;
};
