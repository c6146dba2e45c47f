// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleWidget.h"

// The application view inside a ScaledWindow: a pane whose parent is the window (not the
// application, as for the window of its own that Qt gives a view inside a graphics view).
class ApplicationViewAccessible : public AccessibleWidget
{
public:
    explicit ApplicationViewAccessible(QWidget* view);

    // Gives the view this interface in place of the one Qt would make for it.
    static void attach(QWidget* view);

    QAccessibleInterface* parent() const override;
};
