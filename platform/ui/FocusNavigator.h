// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

class FocusRing;
class QKeyEvent;
class QWidget;

// The keyboard's way through the application view. Tab and Shift+Tab move the focus through
// the controls of the screen on top (the alert or action sheet while one is up) in reading
// order, top to bottom and left to right, wrapping round at either end; the rows of a list are
// stepped one by one, scrolling it, before the focus leaves the list. While the focus was moved
// from the keyboard a ring shows it (FocusRing), and Space or Return works the focused control
// (its Press or Toggle action), Up and Down move a slider, the wheel or the picker (Page Up and
// Page Down by ten steps) and step between the rows of a list, and Delete offers a row's Delete
// button as a swipe does. A touch or a click puts the
// ring away, and the keys then do what the window's shortcuts say (Space plays and pauses).
//
// When the focused control goes (the record button becomes the stop button, the screen changes,
// an alert comes or goes), the focus goes to the control now in its place, the first control
// of the new screen or the alert, or back to where it was before the alert; this only while
// the keyboard is in use or a screen reader listens, so touches never move the focus.
class FocusNavigator : public QObject
{
    Q_OBJECT
public:
    // Works in `root` (the application view) and the window that shows it.
    explicit FocusNavigator(QWidget* root);
    ~FocusNavigator() override;

    QWidget* root() const { return m_root; }
    FocusRing* ring() const { return m_ring; }

    // The controls of the screen on top, in reading order.
    QList<QWidget*> focusChain() const;
    // Tab (forward) and Shift+Tab; false when there is no control to go to.
    bool moveFocus(bool forward);
    // The control that has the focus now, when it is in the root.
    QWidget* focusedControl() const;
    // The focus was last moved from the keyboard (the ring shows).
    bool keyboardMode() const { return m_keyboardMode; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool belongs(const QObject* receiver) const;
    QWidget* scope() const;
    bool isCandidate(QWidget* widget, QWidget* scope) const;
    bool occluded(QWidget* widget, const QRect& inRoot) const;
    QRect rectInRoot(const QWidget* widget) const;
    QWidget* screenOf(const QWidget* widget) const;

    bool handleKeyPress(QKeyEvent* event);
    bool takesActivation(QWidget* control) const;
    void activate(QWidget* control);
    bool adjust(QWidget* control, int steps);
    bool offerDelete(QWidget* control);
    bool stepRow(QWidget* control, bool forward);
    void focusControl(QWidget* control, bool forward);
    void setKeyboardMode(bool on);
    bool mayMoveFocusItself() const;

    void focusChanged(QWidget* old, QWidget* now);
    void remember(QWidget* control);
    void queueRecover();
    void recover();
    void enterPresentation();

    QWidget* m_root;
    FocusRing* m_ring;
    bool m_keyboardMode = false;
    bool m_recoverQueued = false;
    // The control that had the focus last, where it was and on which screen.
    QPointer<QWidget> m_last;
    QRect m_lastRect;
    QPointer<QWidget> m_lastScreen;
    // The widget that last took the focus, and why.
    QPointer<QWidget> m_focusInWidget;
    Qt::FocusReason m_focusInReason = Qt::OtherFocusReason;
    // Where the control was whose going the focus recovers from.
    QRect m_lostRect;
    QPointer<QWidget> m_lostScreen;
    // The control that had the focus when an alert or a sheet came up.
    QPointer<QWidget> m_beforePresentation;
};
