// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/ExportController.h"

#include "core/AppDelegate.h"
#include "platform/ui/FitLabel.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/SwitchControl.h"
#include "sharing/AddressBookViewController.h"
#include "sharing/RELO_BrowserController.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ExportController::ExportController(AppDelegate* appDelegate, QWidget* parent)
    : ViewController(parent)
    , myAppDelegate(appDelegate)
{
    setTitle(tr("Export"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(8);

    auto* switchRow = new QHBoxLayout;
    auto* switchCaption = new QLabel(tr("Web Sharing"), this);
    QFont bold = switchCaption->font();
    bold.setBold(true);
    switchCaption->setFont(bold);
    m_webSharingSwitch = new SwitchControl(this);
    switchRow->addWidget(switchCaption);
    switchRow->addStretch();
    switchRow->addWidget(m_webSharingSwitch);
    layout->addLayout(switchRow);

    bonjourURLLabel = new QLabel(tr("Bonjour address:"), this);
    bonjourURL = new QLabel(this);
    numericURLLabel = new QLabel(tr("IP address:"), this);
    numericURL = new QLabel(this);
    for (QLabel* address : {bonjourURL, numericURL})
        address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(bonjourURLLabel);
    layout->addWidget(bonjourURL);
    layout->addWidget(numericURLLabel);
    layout->addWidget(numericURL);
    bonjourUnavailableNote =
        new QLabel(tr("Bonjour is unavailable here: open the IP address in a browser."), this);
    bonjourUnavailableNote->setWordWrap(true);
    layout->addWidget(bonjourUnavailableNote);
    bonjourURLLabel->setHidden(true);
    numericURLLabel->setHidden(true);
    bonjourUnavailableNote->setHidden(true);

    layout->addSpacing(16);
    pushButton = new QPushButton(tr("Send to Another Device"), this);
    pushButton->setEnabled(false);
    connect(pushButton, &QAbstractButton::clicked, this, &ExportController::postRELO_Browser);
    layout->addWidget(pushButton);

    layout->addSpacing(16);
    auto* emailButton = new QPushButton(tr("Email Recording"), this);
    connect(emailButton, &QPushButton::clicked, this, &ExportController::postEmailNotifier);
    sendEmailButton = emailButton;
    layout->addWidget(emailButton);
    progressLabel = new FitLabel(this);
    emailProgressBar = new ProgressView(this);
    layout->addWidget(progressLabel);
    layout->addWidget(emailProgressBar);
    progressLabel->setHidden(true);
    emailProgressBar->setHidden(true);
    layout->addStretch();

    progressTimer = new QTimer(this);
    progressTimer->setInterval(kProgressIntervalMs);
    connect(progressTimer, &QTimer::timeout, this, &ExportController::updateProgress);

    // The server acts first, so that at switch-off its report of empty addresses arrives
    // before this screen hides the captions.
    connect(m_webSharingSwitch, &SwitchControl::valueChanged, this, [this](SwitchControl* sender) {
        emit webSharingSwitched(sender->isOn());
        webSharingOnOff(sender);
    });
}

ExportController::~ExportController() = default;

void ExportController::setReloBrowserController(RELO_BrowserController* controller)
{
    if (reloBrowserController)
        disconnect(reloBrowserController, nullptr, this, nullptr);
    reloBrowserController = controller;
    pushButton->setEnabled(controller != nullptr);
    if (controller) {
        controller->hide();
        connect(controller, &RELO_BrowserController::doneRequested, this,
                &ExportController::puntRELO_Browser);
    }
}

void ExportController::postRELO_Browser()
{
    if (reloBrowserController)
        presentModalViewController(reloBrowserController, true);
}

void ExportController::puntRELO_Browser()
{
    if (reloBrowserController && modalViewController() == reloBrowserController)
        dismissModalViewControllerAnimated(true);
}

void ExportController::webSharingOnOff(SwitchControl* sender)
{
    if (!sender->isOn()) {
        bonjourURL->clear();
        numericURL->clear();
        bonjourURLLabel->setHidden(true);
        numericURLLabel->setHidden(true);
        bonjourUnavailableNote->setHidden(true);
    } else {
        bonjourURLLabel->setHidden(false);
        numericURLLabel->setHidden(false);
    }
}

void ExportController::urlDataIsReady(const QString& hostNameURL, const QString& rawURL)
{
    bonjourURL->setText(hostNameURL);
    numericURL->setText(rawURL);
    bonjourURLLabel->setHidden(false);
    numericURLLabel->setHidden(false);
    bonjourUnavailableNote->setHidden(!hostNameURL.isEmpty() || rawURL.isEmpty());
}

void ExportController::postEmailNotifier()
{
    if (myAppDelegate && myAppDelegate->abViewController && navigationController())
        navigationController()->pushViewController(myAppDelegate->abViewController, true);
}

void ExportController::startProgressTimer()
{
    progressTimer->start();
}

void ExportController::updateProgress()
{
    const bool idle = emailProgress == 0.0f;
    emailProgressBar->setHidden(idle);
    progressLabel->setHidden(idle);
    if (sendEmailButton)
        sendEmailButton->setEnabled(idle);
    emailProgressBar->setProgress(emailProgress);
    emailProgressBar->update();
    progressLabel->setText(
        tr("Sending Email (%1% complete):")
            .arg(QString::asprintf("%3.1f", static_cast<double>(emailProgress) * 100.0)));
    progressLabel->update();
}

void ExportController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    startProgressTimer();
}

void ExportController::viewWillDisappear(bool animated)
{
    ViewController::viewWillDisappear(animated);
    progressTimer->stop();
}
