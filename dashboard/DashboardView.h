#pragma once

#include "dashboard/LocatorControl.h"

#include <QWidget>

class MeterView;
class QLabel;
class QObject;
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
};

// The main view of the recorder screen. It stacks the background picture, the level meter, the
// time meter and the transport view (the jog wheel and its shadow go above the transport view),
// owns the locator value, and shows one of two toolbars along its top edge:
//
//  - the record toolbar while nothing is loaded or a take runs:
//    timer settings (1), record quality (3), send (5), all disabled while recording;
//  - the play toolbar while a recording is loaded:
//    delete (1), play speed (3), send (5, disabled while playing).
//
// Item 3 of each is rebuilt by setupToolbar to show the current quality or speed. The recorder
// screen pushes its transport state in through changeTransport.
class DashboardView : public QWidget
{
    Q_OBJECT
public:
    // 320 × 436 points: the window below the navigation bar.
    explicit DashboardView(QWidget* parent = nullptr);
    ~DashboardView() override;

    TransportView* transportView() const { return m_transportView; }
    MeterView* meterView() const { return m_meterView; }
    MeterView* timeMeterView() const { return m_timeMeterView; }
    QLabel* background() const { return m_background; }
    Toolbar* playToolbar() const { return m_playToolbar; }
    Toolbar* recordToolbar() const { return m_recordToolbar; }
    LocatorControl* locatorControl() { return &m_locatorControl; }

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

    // The toolbar actions, forwarded to the delegate.
    void doSend();
    void doDelete();
    void doChangeQuality();
    void doChangePlaySpeed();
    void doRecordOptions();

private:
    void setupDashboardViews();
    void setupToolbars();
    void setUpLocatorControl();

    TransportView* m_transportView = nullptr;
    MeterView* m_meterView = nullptr;
    MeterView* m_timeMeterView = nullptr;
    QLabel* m_background = nullptr;
    Toolbar* m_playToolbar = nullptr;
    Toolbar* m_recordToolbar = nullptr;
    LocatorControl m_locatorControl;
    DashboardViewDelegate* m_delegate = nullptr;
    bool m_playerMode = false;
};
