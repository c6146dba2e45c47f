// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class AppDelegate;
class AudioViewController;
class QWidget;

// The keyboard of a desktop (or a phone with a keyboard): the recorder screen's transport keys
// do what its buttons and wheel do, and a few keys move between screens.
//
//   Space        play / pause                Home          back to the start
//   R            record / stop               Delete        delete the memo (asks first)
//   A            append to the memo          Ctrl+N        a new memo
//   Left, Right  one notch back / on (0.5 s) Escape, Alt+Left  back one screen
//   Ctrl+Q       quit
//
// While an alert or action sheet is up only Escape (its cancel button) and Ctrl+Q work. A screen
// may take Escape and Alt+Left itself instead of going (the push screen cancels a push under
// way). Keys typed into a text field stay in the field.
class KeyboardShortcuts : public QObject
{
    Q_OBJECT
public:
    // `window` is the top-level window the keys are taken in.
    KeyboardShortcuts(AppDelegate& appDelegate, QWidget* window);

    // One notch of the wheel, in seconds.
    static constexpr float kNotchSeconds = 0.5f;

    void playPause();
    void recordStop();
    void append();
    void step(int notches);
    void toStart();
    void deleteMemo();
    void newMemo();
    void back();
    void quit();

private:
    // The recorder screen when it is the screen on top and nothing is presented over it.
    AudioViewController* recorderOnTop() const;
    // Moves the locator to `seconds`; running playback goes on from there.
    void locate(float seconds);

    AppDelegate& m_appDelegate;
    QWidget* m_window;
};
