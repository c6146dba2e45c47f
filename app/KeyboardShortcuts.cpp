// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KeyboardShortcuts.h"

#include "core/AppDelegate.h"
#include "dashboard/DashboardView.h"
#include "dashboard/LocatorControl.h"
#include "dashboard/TransportView.h"
#include "platform/ui/AlertLayer.h"
#include "platform/ui/NavigationController.h"
#include "recorder/AudioViewController.h"

#include <QShortcut>
#include <QWidget>

#include <functional>

KeyboardShortcuts::KeyboardShortcuts(AppDelegate& appDelegate, QWidget* window)
    : QObject(window)
    , m_appDelegate(appDelegate)
    , m_window(window)
{
    const auto bind = [this](const QKeySequence& keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(keys, m_window);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    // Everything but leaving waits while an alert or a sheet is up.
    const auto unlessPresenting = [](std::function<void()> action) {
        return [action = std::move(action)] {
            if (!AlertLayer::current())
                action();
        };
    };
    bind(Qt::Key_Space, unlessPresenting([this] { playPause(); }));
    bind(Qt::Key_R, unlessPresenting([this] { recordStop(); }));
    bind(Qt::Key_A, unlessPresenting([this] { append(); }));
    bind(Qt::Key_Left, unlessPresenting([this] { step(-1); }));
    bind(Qt::Key_Right, unlessPresenting([this] { step(1); }));
    bind(Qt::Key_Home, unlessPresenting([this] { toStart(); }));
    bind(Qt::Key_Delete, unlessPresenting([this] { deleteMemo(); }));
    bind(QKeySequence(Qt::CTRL | Qt::Key_N), unlessPresenting([this] { newMemo(); }));
    bind(QKeySequence(Qt::ALT | Qt::Key_Left), unlessPresenting([this] { back(); }));
    bind(Qt::Key_Escape, [this] {
        if (!AlertLayer::escapeCurrent())
            back();
    });
    bind(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { quit(); });
}

AudioViewController* KeyboardShortcuts::recorderOnTop() const
{
    AudioViewController* recorder = m_appDelegate.audioViewController;
    NavigationController* navigation = m_appDelegate.navigationController;
    if (!recorder || !navigation || navigation->topViewController() != recorder ||
        recorder->modalViewController())
        return nullptr;
    return recorder;
}

void KeyboardShortcuts::playPause()
{
    AudioViewController* recorder = recorderOnTop();
    if (!recorder)
        return;
    TransportView* transport = recorder->dbView()->transportView();
    if (transport->hasPlayMode() && !transport->recording())
        transport->doPlay();
}

void KeyboardShortcuts::recordStop()
{
    AudioViewController* recorder = recorderOnTop();
    if (!recorder)
        return;
    // The record/stop button exists while a take runs and when no memo is loaded; with a memo
    // loaded, A appends to it and Ctrl+N starts a new one.
    TransportView* transport = recorder->dbView()->transportView();
    if (transport->recording() || !transport->hasPlayMode())
        transport->doRecord();
}

void KeyboardShortcuts::append()
{
    AudioViewController* recorder = recorderOnTop();
    if (!recorder)
        return;
    TransportView* transport = recorder->dbView()->transportView();
    if (transport->hasPlayMode() && !transport->recording())
        transport->doRecord();
}

void KeyboardShortcuts::locate(float seconds)
{
    AudioViewController* recorder = recorderOnTop();
    if (!recorder)
        return;
    TransportView* transport = recorder->dbView()->transportView();
    // The wheel does nothing during a take, and there is nowhere to go without a memo.
    if (transport->recording() || !transport->hasPlayMode())
        return;
    recorder->moveLocatorTo(seconds);
}

void KeyboardShortcuts::step(int notches)
{
    AudioViewController* recorder = recorderOnTop();
    if (!recorder)
        return;
    locate(recorder->dbView()->locatorControl()->value() + float(notches) * kNotchSeconds);
}

void KeyboardShortcuts::toStart()
{
    locate(0.0f);
}

void KeyboardShortcuts::deleteMemo()
{
    AudioViewController* recorder = recorderOnTop();
    if (!recorder)
        return;
    TransportView* transport = recorder->dbView()->transportView();
    // The play toolbar's delete button, which asks before it deletes.
    if (transport->hasPlayMode() && !transport->recording())
        recorder->dbView()->doDelete();
}

void KeyboardShortcuts::newMemo()
{
    AudioViewController* recorder = recorderOnTop();
    if (!recorder || recorder->dbView()->transportView()->recording())
        return;
    recorder->newRecording();
}

void KeyboardShortcuts::back()
{
    NavigationController* navigation = m_appDelegate.navigationController;
    if (!navigation)
        return;
    ViewController* top = navigation->topViewController();
    // The screen that would go has the first say (a push under way is cancelled, not hidden).
    ViewController* leaving = top && top->modalViewController() ? top->modalViewController() : top;
    if (leaving && leaving->interceptBack())
        return;
    if (top && top->modalViewController())
        top->dismissModalViewControllerAnimated(true);
    else
        navigation->popViewControllerAnimated(true);
}

void KeyboardShortcuts::quit()
{
    // As closing the window: the program ends and the library is written.
    m_window->close();
}
