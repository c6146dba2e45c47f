// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

class QPainter;

// A button of the navigation bar, drawn to sit on the bar's dark gradient: a bordered
// rounded button, the blue Done button, or the back button whose left end is an arrow point.
class NavigationBarButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum class SystemItem
    {
        Done = 0,
        Edit = 2,
        Add = 4,
        // A gear, for a screen's settings; not one of the platform's numbered items.
        Settings = 100,
    };
    enum class Style
    {
        Bordered,
        Done,
        Back,
    };

    NavigationBarButton(const QString& title, Style style, QWidget* parent = nullptr);
    // The standard buttons: "Edit", "Done" (blue), "+" and the settings gear.
    NavigationBarButton(SystemItem item, QWidget* parent = nullptr);

    Style style() const { return m_style; }
    void setStyle(Style style);
    // Switches a system button to another system item (Edit to Done and back).
    void setSystemItem(SystemItem item);
    SystemItem systemItem() const { return m_item; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawGear(QPainter& painter, const QPointF& centre) const;

    Style m_style;
    SystemItem m_item = SystemItem::Edit;
};
