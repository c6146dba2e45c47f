// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// The accessible interfaces of the platform's drawn controls, for Qt's accessibility tree (and so
// AT-SPI and screen readers): buttons, switches, sliders, tables and their rows, alerts and
// action sheets, the count-down picker, toolbars, the window and the application.
class UiAccessibility
{
public:
    // Registers the interfaces with Qt (once; later calls do nothing). ScaledWindow calls it;
    // code that shows the controls without one (tests) calls it itself.
    static void install();

    // Qt's factory function: the interface for an object of class `className`, or null.
    static QAccessibleInterface* factory(const QString& className, QObject* object);
};
