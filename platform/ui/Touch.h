// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

// One finger on the screen (or the mouse with its button held) as a view's touch handlers see
// it: the view it began on, where it is now, how many times it tapped and when it last moved.
struct Touch
{
    // The view the touch began on; it stays the touch's view until the touch ends.
    QPointer<QWidget> view;
    // Where the finger is now, in global coordinates.
    QPointF globalPosition;
    // Taps in quick succession at one spot, counting this one (2 for the second of a double
    // tap); 0 once the finger has moved away from where it came down, as a drag is no tap.
    int tapCount = 1;
    // The time of the event that reported the touch's current state, in seconds.
    double timestamp = 0.0;

    // Where the finger is in the coordinates of the given view.
    QPointF locationInView(const QWidget* other) const
    {
        return other ? other->mapFromGlobal(globalPosition) : globalPosition;
    }
};
