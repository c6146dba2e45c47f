// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleApplication>

// The application as assistive technology sees it: Qt's, less the windows that are shown inside
// a graphics view (the application view inside the ScaledWindow), which are children of that
// window and no windows of the application's own.
class ApplicationAccessible : public QAccessibleApplication
{
public:
    ApplicationAccessible() = default;

    // Puts this interface in the place of Qt's for the application.
    static void attach();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QObjectList topLevelObjects() const;
};
