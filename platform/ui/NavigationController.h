// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class FitLabel;
class NavigationBarButton;
class QStackedWidget;
class QHBoxLayout;
class ViewController;

// A stack of screens under a navigation bar (back button or the screen's left button, title,
// optional right button).
// Pushing and popping send the appearance callbacks in the platform's order:
// old top viewWillDisappear, new top viewWillAppear, old top viewDidDisappear, new top
// viewDidAppear. The stack does not own the screens' lifetimes beyond Qt parenting: screens
// live for the whole run and may be pushed again after they were popped.
class NavigationController : public QWidget
{
    Q_OBJECT
public:
    explicit NavigationController(QWidget* parent = nullptr);

    void pushViewController(ViewController* controller, bool animated);
    ViewController* popViewControllerAnimated(bool animated);
    void popToViewController(ViewController* controller, bool animated);

    ViewController* topViewController() const;
    // The back button (the previous screen's title beside an arrow) and the title shown.
    NavigationBarButton* backButton() const { return m_backButton; }
    QString barTitle() const;
    const std::vector<ViewController*>& viewControllers() const { return m_stack; }

    // Called before and after a screen becomes the top of the stack.
    std::function<void(ViewController*, bool)> willShowViewController;
    std::function<void(ViewController*, bool)> didShowViewController;

    static constexpr int kNavigationBarHeight = 44;

signals:
    // The title shown in the bar changed (a push, a pop, or the top screen's new title).
    void barTitleChanged(const QString& title);

private:
    void transition(ViewController* from, ViewController* to, bool animated,
                    const std::function<void()>& changeStack);
    void updateBar();

    std::vector<ViewController*> m_stack;
    QStackedWidget* m_pages = nullptr;
    NavigationBarButton* m_backButton = nullptr;
    FitLabel* m_titleLabel = nullptr;
    QHBoxLayout* m_barLayout = nullptr;
    QWidget* m_leftSlot = nullptr;
    QWidget* m_rightSlot = nullptr;
};
