// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QStyleHints>
#include <QWidget>

namespace sonavell::test {

// The mouse as a finger on a window, with event times the test chooses. The press goes to the
// widget under the point (widgets transparent to the mouse are passed over) and is passed on to
// its parents while unaccepted, as the platform does; moves and the release go to the widget
// that took the press. A second press inside the double-click interval is followed by a double
// click, as the platform reports one.
class MouseFinger
{
public:
    explicit MouseFinger(QWidget* window)
        : m_window(window)
    {
    }

    // Event times are in seconds from the finger's own zero.
    void press(QPointF windowPos, double time)
    {
        QWidget* target = m_window->childAt(windowPos.toPoint());
        m_grabber = target ? target : m_window.data();
        send(QEvent::MouseButtonPress, windowPos, time, Qt::LeftButton);
        const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
        if (m_lastPress >= 0.0 && (time - m_lastPress) * 1000.0 < interval) {
            send(QEvent::MouseButtonDblClick, windowPos, time, Qt::LeftButton);
            m_lastPress = -1.0;
        } else {
            m_lastPress = time;
        }
    }
    void move(QPointF windowPos, double time)
    {
        send(QEvent::MouseMove, windowPos, time, Qt::LeftButton);
    }
    void release(QPointF windowPos, double time)
    {
        send(QEvent::MouseButtonRelease, windowPos, time, Qt::NoButton);
        m_grabber = nullptr;
    }
    // A press and, `hold` seconds later, a release at the same point.
    void tap(QPointF windowPos, double time, double hold = 0.05)
    {
        press(windowPos, time);
        release(windowPos, time + hold);
    }

private:
    void send(QEvent::Type type, QPointF windowPos, double time, Qt::MouseButtons buttons)
    {
        if (!m_grabber)
            return;
        const QPointF global = m_window->mapToGlobal(windowPos);
        const QPointF local = m_grabber->mapFromGlobal(global);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
        event.setTimestamp(quint64(qRound64(time * 1000.0)));
        QApplication::sendEvent(m_grabber, &event);
    }

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_grabber;
    double m_lastPress = -1.0;
};

} // namespace sonavell::test
