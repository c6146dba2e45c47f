// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/LocatorViewAccessible.h"

#include "dashboard/DashboardView.h"
#include "dashboard/LocatorView.h"
#include "dashboard/TransportView.h"

#include <QCoreApplication>

#include <cmath>

namespace {
constexpr float kNotchSeconds = 0.5f;
} // namespace

LocatorViewAccessible::LocatorViewAccessible(LocatorView* wheel)
    : AccessibleValueWidget(wheel, QAccessible::Slider)
{
}

LocatorView* LocatorViewAccessible::wheel() const
{
    return static_cast<LocatorView*>(widget());
}

DashboardView* LocatorViewAccessible::dashboard() const
{
    return qobject_cast<DashboardView*>(wheel()->parentWidget());
}

QString LocatorViewAccessible::durationInWords(double seconds)
{
    const long long whole =
        std::isfinite(seconds) ? std::max(0LL, (long long)std::floor(seconds)) : 0;
    const int hours = int(whole / 3600);
    const int minutes = int(whole / 60 % 60);
    const int rest = int(whole % 60);
    QStringList parts;
    if (hours > 0)
        parts << numerus(QCoreApplication::translate("LocatorView", "%n hour(s)", nullptr, hours),
                         hours);
    if (minutes > 0)
        parts << numerus(
            QCoreApplication::translate("LocatorView", "%n minute(s)", nullptr, minutes), minutes);
    if (rest > 0 || parts.isEmpty())
        parts << numerus(QCoreApplication::translate("LocatorView", "%n second(s)", nullptr, rest),
                         rest);
    return parts.join(QLatin1Char(' '));
}

QString LocatorViewAccessible::positionInWords(double position, double length)
{
    return QCoreApplication::translate("LocatorView", "%1 of %2")
        .arg(durationInWords(position), durationInWords(length));
}

QString LocatorViewAccessible::toStartAction()
{
    return QCoreApplication::translate("LocatorView", "Go to start");
}

bool LocatorViewAccessible::operable() const
{
    const DashboardView* db = dashboard();
    return db && db->playerMode() && !db->transportView()->recording() && wheel()->isEnabled();
}

QString LocatorViewAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        return wheel()->accessibleName().isEmpty()
                   ? QCoreApplication::translate("LocatorView", "Play position")
                   : wheel()->accessibleName();
    case QAccessible::Value:
    case QAccessible::Description: {
        DashboardView* db = dashboard();
        if (!db)
            return {};
        LocatorControl* locator = db->locatorControl();
        return positionInWords(locator->value(), locator->max());
    }
    default:
        return AccessibleWidget::text(t);
    }
}

QVariant LocatorViewAccessible::currentValue() const
{
    DashboardView* db = dashboard();
    return db ? double(db->locatorControl()->value()) : 0.0;
}

void LocatorViewAccessible::setValueFromUser(double seconds)
{
    dashboard()->locateFromKeyboard(float(seconds));
}

QVariant LocatorViewAccessible::maximumValue() const
{
    DashboardView* db = dashboard();
    return db ? double(std::max(db->locatorControl()->min(), db->locatorControl()->max())) : 0.0;
}

QVariant LocatorViewAccessible::minimumValue() const
{
    DashboardView* db = dashboard();
    return db ? double(db->locatorControl()->min()) : 0.0;
}

QVariant LocatorViewAccessible::minimumStepSize() const
{
    return double(kNotchSeconds);
}

QStringList LocatorViewAccessible::actionNames() const
{
    QStringList names = AccessibleValueWidget::actionNames();
    if (!names.isEmpty())
        names << toStartAction();
    return names;
}

void LocatorViewAccessible::doAction(const QString& actionName)
{
    if (actionName == toStartAction())
        setCurrentValue(minimumValue());
    else
        AccessibleValueWidget::doAction(actionName);
}

QStringList LocatorViewAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == increaseAction())
        return {QStringLiteral("Right")};
    if (actionName == decreaseAction())
        return {QStringLiteral("Left")};
    if (actionName == toStartAction())
        return {QStringLiteral("Home")};
    return {};
}
