// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

class ScaledWindow;

// The application's window as assistive technology sees it: a window named by its title whose
// one child is the application view. Qt's tree does not pass through the graphics view that
// scales the view (it would show the view as a window of its own, beside this one), so the
// window names the view as its child and the view names the window as its parent
// (ApplicationViewAccessible).
class ScaledWindowAccessible : public QAccessibleWidget
{
public:
    explicit ScaledWindowAccessible(ScaledWindow* window);

    // Makes a window's screens accessible: installs the interfaces of the controls
    // (UiAccessibility) and ties the application view to the window. Called by the window.
    static void attach(ScaledWindow* window);

    ScaledWindow* scaledWindow() const;

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
};
