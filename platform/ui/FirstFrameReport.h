// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Start-up measurement: when SONAVELL_REPORT_FIRST_FRAME is set, the moment the window's first
// frame has been painted is written to standard error as "first-frame <ns>" on the monotonic
// clock (the clock a benchmark that starts the program reads too). Costs nothing otherwise.
// Needs nothing of the library but AfterFirstPaint, so a bare comparison program can report the
// same way.
class FirstFrameReport
{
public:
    static void install(QWidget* window);
};
