// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/DashboardAccessibility.h"

#include "dashboard/LocatorView.h"
#include "dashboard/LocatorViewAccessible.h"
#include "dashboard/MeterView.h"
#include "dashboard/MeterViewAccessible.h"
#include "platform/ui/UiAccessibility.h"

#include <QAccessible>

void DashboardAccessibility::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    UiAccessibility::install();
    QAccessible::installFactory(&DashboardAccessibility::factory);
}

QAccessibleInterface* DashboardAccessibility::factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("LocatorView"))
        return new LocatorViewAccessible(static_cast<LocatorView*>(object));
    if (className == QLatin1String("MeterView"))
        return new MeterViewAccessible(static_cast<MeterView*>(object));
    return nullptr;
}
