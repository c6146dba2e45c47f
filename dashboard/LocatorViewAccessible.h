// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/AccessibleValueWidget.h"

class DashboardView;
class LocatorView;

// The jog/shuttle wheel as assistive technology sees it: a slider over the loaded memo, from 0
// to its length in seconds, whose value is the play position and, in words, "1 minute 5 seconds
// of 3 minutes". Increase and Decrease move it one notch (half a second) on or back, "Go to
// start" to the beginning, as the arrow and Home keys do; playback goes on from there. Like the
// wheel, it does nothing while a take runs or when no memo is loaded (it is then unavailable).
class LocatorViewAccessible : public AccessibleValueWidget
{
public:
    explicit LocatorViewAccessible(LocatorView* wheel);

    LocatorView* wheel() const;
    // The dashboard the wheel lies on, which owns the position.
    DashboardView* dashboard() const;

    // "1 hour 2 minutes 5 seconds", "5 seconds", "0 seconds": whole seconds, plural forms
    // through tr().
    static QString durationInWords(double seconds);
    // "1 minute 5 seconds of 3 minutes".
    static QString positionInWords(double position, double length);
    static QString toStartAction();

    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

protected:
    // The wheel moves only in player mode, with no take running.
    bool operable() const override;
    void setValueFromUser(double seconds) override;
};
