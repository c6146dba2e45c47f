#pragma once

class AppDelegate;
class Level1ViewController;
class QWidget;

// Builds the application's window and screens and connects them to the application object's
// fields, the way an interface description would. Screens live for the whole run.
class MainInterface
{
public:
    explicit MainInterface(AppDelegate& appDelegate);
    ~MainInterface();

    QWidget* window() const { return m_window; }
    // Shows the settings screen over the category list, as its gear does.
    void showSettings();

    // The window's size in points.
    static constexpr int kWindowWidth = 320;
    static constexpr int kWindowHeight = 480;

private:
    QWidget* m_window;
    Level1ViewController* m_categoryList = nullptr;
};
