// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/ViewController.h"

#include <QRect>
#include <QSize>

class CountDownPicker;
class QLabel;
class SwitchControl;

// The timer recording settings, pushed from the recorder screen's record toolbar: a switch for
// the count-in before a take, a switch for the automatic stop, and the length after which a
// timed take stops. The recorder screen reads useRecordCountDown when a take is asked for, and
// recordTime with the timer switch's live state on every display tick of a take. The settings
// live in memory for the run only.
class RecTimerController : public ViewController
{
    Q_OBJECT
public:
    explicit RecTimerController(QWidget* parent = nullptr);
    ~RecTimerController() override;

    // The duration picker; made when the screen first appears, null before.
    CountDownPicker* picker() const { return m_picker; }
    // Automatic stop on or off. The recorder screen reads this switch's isOn().
    SwitchControl* timerSwitchCtl() const { return m_timerSwitchCtl; }
    // Count-in on or off.
    SwitchControl* countDownSwitchCtl() const { return m_countDownSwitchCtl; }

    // Mirror of the timer switch. Setting it from code also sets the switch (sending no action),
    // so the recorder screen, which reads the switch, acts on the value set.
    bool useRecordTimer() const { return m_useRecordTimer; }
    void setUseRecordTimer(bool on);
    // Count-in before a take. Setting it from code also sets its switch.
    bool useRecordCountDown() const { return m_useRecordCountDown; }
    void setUseRecordCountDown(bool on);
    // Length of a timed take, in seconds. Kept as given: the picker offers whole minutes, but
    // a shorter time set from code stays in force until the user turns the picker.
    double recordTime() const { return m_recordTime; }
    void setRecordTime(double seconds) { m_recordTime = seconds; }

    void viewWillAppear(bool animated) override;

    // The picker's action: recordTime follows the user's choice.
    void pickerValueChanged(CountDownPicker* sender);
    // The switches' actions; the sender is ignored, the switches are read.
    void toggleTimerSwitch(SwitchControl* sender);
    void toggleCountDownSwitch(SwitchControl* sender);

    // The screen is laid out for portrait only.
    static bool shouldAutorotateToInterfaceOrientation(Qt::ScreenOrientation orientation)
    {
        return orientation == Qt::PortraitOrientation ||
               orientation == Qt::InvertedPortraitOrientation;
    }

    static constexpr double kDefaultRecordTime = 60.0;
    // The screen's size as laid out (the window below the navigation bar).
    static constexpr QSize kLayoutSize{320, 436};
    // Where the picker is placed at the laid-out size; its width follows the screen's width,
    // keeping the right margin.
    static constexpr QRect kPickerFrame{0, 28, 265, 200};

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutControls();

    CountDownPicker* m_picker = nullptr;
    SwitchControl* m_timerSwitchCtl = nullptr;
    SwitchControl* m_countDownSwitchCtl = nullptr;
    bool m_useRecordTimer = false;
    bool m_useRecordCountDown = false;
    double m_recordTime = kDefaultRecordTime;

    QLabel* m_recordTimeCaption = nullptr;
    QLabel* m_countDownCaption = nullptr;
    QLabel* m_timerCaption = nullptr;
};
