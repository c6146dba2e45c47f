// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/UiAccessibility.h"

#include "platform/ui/AccessibleWidget.h"
#include "platform/ui/AlertPanel.h"
#include "platform/ui/AlertPanelAccessible.h"
#include "platform/ui/ApplicationAccessible.h"
#include "platform/ui/ButtonAccessible.h"
#include "platform/ui/CountDownPicker.h"
#include "platform/ui/CountDownPickerAccessible.h"
#include "platform/ui/ImageSlider.h"
#include "platform/ui/ImageSliderAccessible.h"
#include "platform/ui/ScaledWindow.h"
#include "platform/ui/ScaledWindowAccessible.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewAccessible.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewCellAccessible.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>

void UiAccessibility::install()
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(&UiAccessibility::factory);
    }
    ApplicationAccessible::attach();
}

QAccessibleInterface* UiAccessibility::factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QApplication") && object == QCoreApplication::instance())
        return new ApplicationAccessible;
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("ScaledWindow"))
        return new ScaledWindowAccessible(static_cast<ScaledWindow*>(widget));
    if (className == QLatin1String("ImageButton") ||
        className == QLatin1String("NavigationBarButton") ||
        className == QLatin1String("ToolbarButton") || className == QLatin1String("SwitchControl"))
        return new ButtonAccessible(static_cast<QAbstractButton*>(widget));
    if (className == QLatin1String("ImageSlider"))
        return new ImageSliderAccessible(static_cast<ImageSlider*>(widget));
    if (className == QLatin1String("TableView"))
        return new TableViewAccessible(static_cast<TableView*>(widget));
    if (className == QLatin1String("TableViewCell"))
        return new TableViewCellAccessible(static_cast<TableViewCell*>(widget));
    if (className == QLatin1String("AlertPanel"))
        return new AlertPanelAccessible(static_cast<AlertPanel*>(widget));
    if (className == QLatin1String("CountDownPicker"))
        return new CountDownPickerAccessible(static_cast<CountDownPicker*>(widget));
    if (className == QLatin1String("Toolbar"))
        return new AccessibleWidget(widget, QAccessible::ToolBar);
    return nullptr;
}
