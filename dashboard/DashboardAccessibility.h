// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// The accessible interfaces of the recorder screen's own views (the wheel and the meters), for
// Qt's accessibility tree; the transport's buttons and sliders are the platform's controls
// (UiAccessibility) with names given by the transport view.
class DashboardAccessibility
{
public:
    // Registers the interfaces with Qt (once). A dashboard calls it when it is made.
    static void install();
    static QAccessibleInterface* factory(const QString& className, QObject* object);
};
