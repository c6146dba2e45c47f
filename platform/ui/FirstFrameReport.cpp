// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/FirstFrameReport.h"

#include "platform/ui/AfterFirstPaint.h"

#include <QtGlobal>

#include <cstdio>
#include <ctime>

void FirstFrameReport::install(QWidget* window)
{
    if (qEnvironmentVariableIsEmpty("SONAVELL_REPORT_FIRST_FRAME") || !window)
        return;
    // Reported once the paint and the flush to the screen that follows it are done, ahead of the
    // work that waits for the same paint (the screens built after the first frame); never when
    // the window is not painted.
    AfterFirstPaint::run(
        window,
        [] {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "first-frame %lld\n",
                         static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stderr);
        },
        -1, AfterFirstPaint::Turn::Ahead);
}
