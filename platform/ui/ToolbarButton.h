// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/Toolbar.h"

#include <QAbstractButton>
#include <QPixmap>

// The button that shows one item of a Toolbar. It draws the item's image or title, dimmed when
// disabled, with a glow while pressed; it carries the item's accessible name.
class ToolbarButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ToolbarButton(QWidget* parent);

    void display(const BarButtonItem& item);
    int preferredWidth() const;

protected:
    QFont titleFont() const;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_image;
    BarButtonItem::Style m_style = BarButtonItem::Style::Plain;
};
