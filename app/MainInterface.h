// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recorder/AudioViewController.h"

class AppDelegate;
class ExportController;
class Level1ViewController;
class Level2ViewController;
class QWidget;
class ScaledWindow;
class SettingsViewController;

// Builds the application's window and screens and connects them to the application object's
// fields, the way an interface description would. Screens live for the whole run; those far
// from the first screen are built once the window has shown its first frame.
class MainInterface
{
public:
    // `recorderEnvironment` is the recorder screen's clock and idle inhibitor (the system's when
    // empty); tests pass the clock that drives their audio device.
    explicit MainInterface(AppDelegate& appDelegate,
                           AudioViewController::Environment recorderEnvironment = {});
    ~MainInterface();

    // The top-level window, which scales the application view to its size.
    ScaledWindow* scaledWindow() const { return m_scaledWindow; }
    // The application view that holds the screens, in points.
    QWidget* window() const { return m_window; }
    // Shows the settings screen over the category list, as its gear does (building it when the
    // first frame has not yet been shown).
    void showSettings();
    // The root screen, and the recording list it opens.
    Level1ViewController* categoryList() const { return m_categoryList; }
    Level2ViewController* recordingList() const { return m_recordingList; }

    // The application view's size in points (its height grows in tall windows).
    static constexpr int kWindowWidth = 320;
    static constexpr int kWindowHeight = 480;

private:
    void buildLaterScreens(ExportController* exportScreen, Level2ViewController* recordingList);
    void buildSettings();

    AppDelegate& m_appDelegate;
    ScaledWindow* m_scaledWindow;
    QWidget* m_window;
    Level1ViewController* m_categoryList = nullptr;
    Level2ViewController* m_recordingList = nullptr;
    SettingsViewController* m_settings = nullptr;
};
