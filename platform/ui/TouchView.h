// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/Touch.h"

#include <QWidget>

#include <optional>

class QMouseEvent;
class QTouchEvent;

// A view that receives its touches through four handlers, whether they come from a touch
// screen (Qt touch events) or from the mouse (press, move and release of the left button).
// One touch at a time: further fingers on the view are ignored while one is down.
//
// The handlers' defaults pass the touch on to the parent view when that is a touch view too,
// so a view that does not handle touches itself leaves them to the view it lies on; the
// touch's `view` stays the view the touch began on.
//
// The tap count follows the platform's double-click timing: the second tap within the
// double-click interval and distance counts 2. A finger that moves farther than the drag
// distance from where it came down is no longer a tap (count 0). A touch is cancelled when the
// platform cancels it, or when the view is hidden or disabled under the finger.
class TouchView : public QWidget
{
    Q_OBJECT
public:
    explicit TouchView(QWidget* parent = nullptr);

    // The touch that is down on this view, if any.
    const std::optional<Touch>& currentTouch() const { return m_touch; }

    virtual void touchesBegan(const Touch& touch);
    virtual void touchesMoved(const Touch& touch);
    virtual void touchesEnded(const Touch& touch);
    virtual void touchesCancelled(const Touch& touch);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TouchView* nextTouchView() const;
    void begin(QPointF globalPosition, double timestamp, int tapCount);
    void move(QPointF globalPosition, double timestamp);
    void end(QPointF globalPosition, double timestamp);
    void cancel();
    bool handleTouchEvent(QTouchEvent* event);
    // The tap count of a touch coming down now, from the previous touch's start.
    int tapCountFor(QPointF globalPosition, double timestamp) const;

    std::optional<Touch> m_touch;
    QPointF m_downPosition;
    // The touch screen's finger that this view follows.
    int m_touchPointId = -1;
    // The previous touch's start, for counting taps from a touch screen.
    QPointF m_lastTapPosition;
    double m_lastTapTime = -1.0;
    int m_lastTapCount = 0;
};
