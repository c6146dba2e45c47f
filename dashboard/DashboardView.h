// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dashboard/LocatorControl.h"
#include "platform/ui/TouchView.h"

#include <QPointF>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <cstdint>

class LocatorView;
class MeterView;
class QLabel;
class QObject;
class ShadowView;
class Toolbar;
class TransportView;

// The recorder screen as the dashboard sees it: the two values that choose the toolbars'
// pictures and the toolbar buttons' actions. The defaults do nothing; a rate or speed of 0 is
// "unknown" and leaves the picture as it is.
class DashboardViewDelegate
{
public:
    virtual ~DashboardViewDelegate() = default;
    // The sample rate of the next take, in Hz: 11025, 22050 or 44100.
    virtual double recordQuality() const { return 0.0; }
    // The play speed: 0.75, 1.0 or 1.5.
    virtual double playSpeed() const { return 0.0; }

    // The toolbar buttons; the sender is the toolbar the tapped item is on.
    virtual void doSendOptions(QObject* sender) { (void)sender; }
    virtual void deleteRecordingPrompt(QObject* sender) { (void)sender; }
    virtual void changeRecordQuality(QObject* sender) { (void)sender; }
    virtual void changePlaySpeed(QObject* sender) { (void)sender; }
    virtual void setRecordTime(QObject* sender) { (void)sender; }
    // Moves the play position to `seconds` as letting go of the wheel after a turn does
    // (playback goes on from there); the keyboard and assistive technology move it so.
    virtual void moveLocatorTo(float seconds) { (void)seconds; }

    // The units of the time read-out (0 or 1), which a single tap on the wheel toggles.
    virtual int32_t timeUnits() const { return 0; }
    virtual void setTimeUnits(int32_t units) { (void)units; }
};

// The main view of the recorder screen. It stacks the background picture, the level meter, the
// time meter, the transport view, the jog wheel and the wheel's shadow, owns the locator value,
// turns touches on the wheel into locator steps, and shows one of two toolbars along its top
// edge:
//
//  - the record toolbar while nothing is loaded or a take runs:
//    timer settings (1), record quality (3), send (5), all disabled while recording;
//  - the play toolbar while a recording is loaded:
//    delete (1), play speed (3), send (5, disabled while playing).
//
// Item 3 of each is rebuilt by setupToolbar to show the current quality or speed. The recorder
// screen pushes its transport state in through changeTransport.
//
// The wheel: each notch passed (100 per turn) steps the locator by its increment, at most one
// step per movement; in the spring mode (the wheel's `jog` flag) the angle turned since the
// touch began also sets a step applied every 0.1 s while the finger stays down, and the wheel
// springs back when it is let go. In the notched mode a quick horizontal flick spins the wheel
// and moves the locator 20 steps. A double tap sets the locator to 0; a single tap toggles the
// units of the time read-out. Nothing on the wheel works while a take runs.
class DashboardView : public TouchView
{
    Q_OBJECT
public:
    // 320 × 436 points: the window below the navigation bar.
    explicit DashboardView(QWidget* parent = nullptr);

    // The pictures a new dashboard draws, in the order it loads them: the recorder screen is the
    // first screen shown, so these are worth decoding while the rest of the window is built.
    static QStringList startupImageNames();
    ~DashboardView() override;

    TransportView* transportView() const { return m_transportView; }
    MeterView* meterView() const { return m_meterView; }
    MeterView* timeMeterView() const { return m_timeMeterView; }
    QLabel* background() const { return m_background; }
    Toolbar* playToolbar() const { return m_playToolbar; }
    Toolbar* recordToolbar() const { return m_recordToolbar; }
    LocatorControl* locatorControl() { return &m_locatorControl; }
    LocatorView* locatorView() const { return m_locatorView; }
    ShadowView* shadowView() const { return m_shadowView; }

    DashboardViewDelegate* delegate() const { return m_delegate; }
    // Not owned; the delegate must outlive the view or be cleared first.
    void setDelegate(DashboardViewDelegate* delegate) { m_delegate = delegate; }

    bool playerMode() const { return m_playerMode; }
    // A recording is loaded (the play layout and toolbar apply): rebuilds the transport buttons
    // and the toolbars.
    void setPlayerMode(bool playerMode);
    // The recorder screen's state: a recording loaded, playback running, a take running.
    void changeTransport(bool loaded, bool isPlaying, bool isRecording);
    // Refreshes item 3 and the enabled items of the toolbar that applies, and shows only it.
    // A toolbar without items is left as it is.
    void setupToolbar();

    // Moves the position to `seconds` (kept within the memo) from the keyboard or assistive
    // technology, through the delegate; like the wheel, nothing happens during a take or
    // without a memo.
    void locateFromKeyboard(float seconds);
    // What assistive technology calls the toolbar's quality and speed items.
    static QString qualityName(double sampleRate);
    static QString speedName(double playSpeed);

    // The toolbar actions, forwarded to the delegate.
    void doSend();
    void doDelete();
    void doChangeQuality();
    void doChangePlaySpeed();
    void doRecordOptions();

    // ---- The wheel's gestures ----
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;
    // One tick of the spring mode's 0.1 s timer: a step by the current increment.
    void jogTimerTick();
    // The spins of a flick to the right or left.
    void myProcessRightSwipe();
    void myProcessLeftSwipe();
    // The end of a spin's animation: chains the second spin and steps the locator.
    void animationDidStop(bool finished);

    // The spring mode's timer; null outside a spring-mode touch.
    QTimer* jogTimer() const { return m_jogTimer; }
    // The wheel's rotation at rest, in radians.
    float lastTransformRotation() const { return m_lastTransformRotation; }
    void setLastTransformRotation(float radians) { m_lastTransformRotation = radians; }
    // 1 while a right flick's spin runs, -1 for a left one, 0 otherwise.
    int swiping() const { return m_swiping; }
    QPointF startTouchPosition() const { return m_startTouchPosition; }
    double startTimestamp() const { return m_startTimestamp; }
    bool startTrigger() const { return m_startTrigger; }

    static constexpr int kJogTimerIntervalMs = 100;

private:
    bool isWheelTouch(const Touch& touch) const;
    // The end of a wheel touch that is neither a flick nor a tap: a touch that was cancelled
    // or that ended during a take. Scrubbing ends only if this touch started it.
    void windUpTouch();
    // The steps that end every wheel touch. The wheel rests where it was turned to ...
    void restAfterTurn();
    // ... or, in the spring mode, springs back to its rest position ...
    void springBack();
    // ... then scrubbing ends, the spring timer stops and the step is 0.5 again.
    void finishTouch(bool alwaysEndTouch);
    void stopJogTimer();
    // The first spin of a flick: 1 to the right, -1 to the left.
    void startSpin(int direction);
    void setupDashboardViews();
    void setupToolbars();
    void setUpLocatorControl();

    TransportView* m_transportView = nullptr;
    MeterView* m_meterView = nullptr;
    MeterView* m_timeMeterView = nullptr;
    QLabel* m_background = nullptr;
    Toolbar* m_playToolbar = nullptr;
    Toolbar* m_recordToolbar = nullptr;
    LocatorView* m_locatorView = nullptr;
    ShadowView* m_shadowView = nullptr;
    LocatorControl m_locatorControl;
    DashboardViewDelegate* m_delegate = nullptr;
    bool m_playerMode = false;

    QPointF m_startTouchPosition;
    double m_startTimestamp = 0.0;
    bool m_startTrigger = false;
    // A touch on the wheel began outside a take and has not been wound up yet.
    bool m_touchLive = false;
    // The current touch has started scrubbing (its first movement came).
    bool m_startSent = false;
    // The current touch has turned the wheel (a movement after the first came).
    bool m_turned = false;
    QPointer<QTimer> m_jogTimer;
    int m_swiping = 0;
    float m_lastTransformRotation = 0.0f;
};
