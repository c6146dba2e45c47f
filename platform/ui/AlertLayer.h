// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>

// The layer inside the application window where alerts and action sheets are drawn: over a
// dimmed copy of the screen, one at a time. A presentation asked for while another shows waits
// its turn and comes up, in the order asked, when the one before it goes. The dimming covers the
// whole application view, so touches stay off the screen below while something is presented.
class AlertLayer : public QObject
{
    Q_OBJECT
public:
    // Builds a presentation's panel inside the dimmed overlay (its parent) and places it.
    using Builder = std::function<void(QWidget* overlay)>;

    // The view presentations are drawn over: the application view. Without one, the window of
    // the view the presentation names, else the active window. A presentation asked for while
    // there is no window at all waits, and is drawn once a host is set.
    static void setHost(QWidget* host);
    static QWidget* host();

    // Queues `owner`'s presentation; `build` runs when its turn comes. `near` names a view of
    // the window it belongs to (may be null). `escape` is what the Escape key does while it
    // shows (answering with the cancel button); empty when Escape does nothing.
    static void present(QObject* owner, QWidget* near, Builder build,
                        std::function<void()> escape = {});
    // Takes `owner`'s presentation away (showing or waiting); the next one, if any, shows.
    static void withdraw(QObject* owner);

    // The presentation on screen now (null when none) and its dimmed overlay.
    static QObject* current();
    static QWidget* currentOverlay();
    // Presentations waiting behind the current one, in order.
    static int waitingCount();
    // Escape pressed: the current presentation's escape action. False when nothing is shown.
    static bool escapeCurrent();

    static AlertLayer& instance();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry
    {
        QPointer<QObject> owner;
        QPointer<QWidget> near;
        Builder build;
        std::function<void()> escape;
    };
    void showNext();
    QWidget* hostFor(QWidget* near) const;

    QPointer<QWidget> m_host;
    std::deque<Entry> m_queue; // the front is the one on screen
    QPointer<QWidget> m_overlay;
    bool m_frontShown = false;
};
