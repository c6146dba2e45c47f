// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QWidget;

// Runs work once a window has shown its first frame, for what that frame does not need (screens
// nobody sees at start), so that building it does not hold the frame up. The work runs on the
// event loop's next turn after the window's first paint, or after fallbackMs when the window is
// not painted by then (hidden, minimised, no display; a negative fallbackMs waits for the paint
// alone). It runs once, and not at all when the window goes away first.
class AfterFirstPaint
{
public:
    // When, after the paint and the flush that follows it, the work runs: on the next turn after
    // what is already queued (other first-paint work among it), or ahead of all work queued at
    // normal priority, for what must see the moment the frame was done.
    enum class Turn
    {
        Next,
        Ahead
    };

    static void run(QWidget* window, std::function<void()> work, int fallbackMs = 1000,
                    Turn turn = Turn::Next);
};
