// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class NavigationController;
class QAbstractButton;

// One screen of the application: a widget with a title and the appearance callbacks that the
// navigation controller sends in the platform's order when screens are pushed and popped.
class ViewController : public QWidget
{
    Q_OBJECT
public:
    explicit ViewController(QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

    // A button shown at the right of the navigation bar while this screen is on top (not owned
    // by the navigation bar; the screen keeps it).
    QAbstractButton* rightBarButton() const { return m_rightBarButton; }
    void setRightBarButton(QAbstractButton* button);
    // A button shown at the left of the navigation bar while this screen is on top, in place of
    // the back button (not owned by the navigation bar either).
    QAbstractButton* leftBarButton() const { return m_leftBarButton; }
    void setLeftBarButton(QAbstractButton* button);

    NavigationController* navigationController() const { return m_navigationController; }

    // Shows `modal` over this screen (over its navigation controller, bar included, when it is in
    // one) until it is dismissed. This screen hears viewWillDisappear and viewDidDisappear, the
    // modal screen viewWillAppear and viewDidAppear; dismissing sends the reverse. One modal
    // screen at a time.
    void presentModalViewController(ViewController* modal, bool animated);
    // Dismisses the screen this one presents; sent to a modal screen, dismisses that screen.
    // The screen is hidden and the callbacks sent at once; when animated, a picture of the
    // screen then slides down out of view (kModalAnimationMs) without taking touches.
    void dismissModalViewControllerAnimated(bool animated);
    static constexpr int kModalAnimationMs = 300;
    ViewController* modalViewController() const { return m_modalViewController; }
    // The screen that presents this one modally, if any.
    ViewController* presentingViewController() const { return m_presentingViewController; }

    // The user asked from the keyboard to leave this screen (Escape, Alt+Left). A screen with
    // work under way that leaving would hide can take the request itself, dealing with that
    // work as its own controls would, and return true: it is then neither dismissed nor popped.
    // The default takes nothing.
    virtual bool interceptBack() { return false; }

    virtual void viewWillAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewWillDisappear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidDisappear(bool animated) { Q_UNUSED(animated); }

signals:
    void titleChanged(const QString& title);
    void rightBarButtonChanged();
    void leftBarButtonChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class NavigationController;
    static void slideAway(ViewController* modal);
    ViewController* m_modalViewController = nullptr;
    ViewController* m_presentingViewController = nullptr;
    QString m_title;
    QAbstractButton* m_rightBarButton = nullptr;
    QAbstractButton* m_leftBarButton = nullptr;
    NavigationController* m_navigationController = nullptr;
};
