// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TouchView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTouchEvent>

namespace {

double seconds(const QInputEvent* event)
{
    return double(event->timestamp()) / 1000.0;
}

double distance(QPointF a, QPointF b)
{
    return QLineF(a, b).length();
}

} // namespace

TouchView::TouchView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
}

TouchView* TouchView::nextTouchView() const
{
    return qobject_cast<TouchView*>(parentWidget());
}

void TouchView::touchesBegan(const Touch& touch)
{
    if (TouchView* next = nextTouchView())
        next->touchesBegan(touch);
}

void TouchView::touchesMoved(const Touch& touch)
{
    if (TouchView* next = nextTouchView())
        next->touchesMoved(touch);
}

void TouchView::touchesEnded(const Touch& touch)
{
    if (TouchView* next = nextTouchView())
        next->touchesEnded(touch);
}

void TouchView::touchesCancelled(const Touch& touch)
{
    if (TouchView* next = nextTouchView())
        next->touchesCancelled(touch);
}

int TouchView::tapCountFor(QPointF globalPosition, double timestamp) const
{
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool soon = m_lastTapTime >= 0.0 &&
                      (timestamp - m_lastTapTime) * 1000.0 < hints->mouseDoubleClickInterval();
    const bool near =
        distance(globalPosition, m_lastTapPosition) <= hints->mouseDoubleClickDistance();
    return soon && near && m_lastTapCount > 0 ? m_lastTapCount + 1 : 1;
}

void TouchView::begin(QPointF globalPosition, double timestamp, int tapCount)
{
    Touch touch;
    touch.view = this;
    touch.globalPosition = globalPosition;
    touch.tapCount = tapCount;
    touch.timestamp = timestamp;
    m_touch = touch;
    m_downPosition = globalPosition;
    m_lastTapPosition = globalPosition;
    m_lastTapTime = timestamp;
    m_lastTapCount = tapCount;
    touchesBegan(touch);
}

void TouchView::move(QPointF globalPosition, double timestamp)
{
    m_touch->globalPosition = globalPosition;
    m_touch->timestamp = timestamp;
    if (m_touch->tapCount > 0 && distance(globalPosition, m_downPosition) >
                                     QGuiApplication::styleHints()->startDragDistance())
        m_touch->tapCount = 0;
    // A copy: the handler may end the touch (by hiding the view, say).
    const Touch touch = *m_touch;
    touchesMoved(touch);
}

void TouchView::end(QPointF globalPosition, double timestamp)
{
    Touch touch = *m_touch;
    touch.globalPosition = globalPosition;
    touch.timestamp = timestamp;
    m_touch.reset();
    m_touchPointId = -1;
    // A drag is no tap: the next touch starts counting afresh.
    m_lastTapCount = touch.tapCount;
    touchesEnded(touch);
}

void TouchView::cancel()
{
    if (!m_touch)
        return;
    const Touch touch = *m_touch;
    m_touch.reset();
    m_touchPointId = -1;
    m_lastTapCount = 0;
    touchesCancelled(touch);
}

bool TouchView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return handleTouchEvent(static_cast<QTouchEvent*>(event));
    default:
        return QWidget::event(event);
    }
}

bool TouchView::handleTouchEvent(QTouchEvent* event)
{
    event->accept();
    const double time = seconds(event);
    if (event->type() == QEvent::TouchCancel) {
        cancel();
        return true;
    }
    if (!m_touch) {
        // A new touch: the first finger that came down.
        for (const QEventPoint& point : event->points()) {
            if (point.state() == QEventPoint::Pressed) {
                m_touchPointId = point.id();
                begin(point.globalPosition(), time, tapCountFor(point.globalPosition(), time));
                break;
            }
        }
        return true;
    }
    for (const QEventPoint& point : event->points()) {
        if (point.id() != m_touchPointId)
            continue;
        if (point.state() == QEventPoint::Released)
            end(point.globalPosition(), time);
        else if (point.state() == QEventPoint::Updated)
            move(point.globalPosition(), time);
        return true;
    }
    if (event->type() == QEvent::TouchEnd && m_touch)
        end(m_touch->globalPosition, time);
    return true;
}

void TouchView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->setAccepted(bool(m_touch));
        return;
    }
    if (!m_touch)
        begin(event->globalPosition(), seconds(event),
              tapCountFor(event->globalPosition(), seconds(event)));
    event->accept();
}

void TouchView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The press of this second click has begun the touch already, with its tap count; only a
    // double click that comes without a press of its own begins one here.
    mousePressEvent(event);
}

void TouchView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_touch || m_touchPointId >= 0 || !(event->buttons() & Qt::LeftButton)) {
        event->setAccepted(bool(m_touch));
        return;
    }
    move(event->globalPosition(), seconds(event));
    event->accept();
}

void TouchView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_touch || m_touchPointId >= 0 || event->button() != Qt::LeftButton) {
        event->setAccepted(bool(m_touch));
        return;
    }
    end(event->globalPosition(), seconds(event));
    event->accept();
}

void TouchView::hideEvent(QHideEvent* event)
{
    cancel();
    QWidget::hideEvent(event);
}

void TouchView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        cancel();
    QWidget::changeEvent(event);
}
