// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/TableViewCell.h"

// A row of the settings screen: its title at the left and the one control that changes the
// setting (a switch at the right edge, or a text field taking the rest of the row). The control
// is the cell's own child, outside the content view, so it takes its taps itself.
class SettingsCell : public TableViewCell
{
    Q_OBJECT
public:
    SettingsCell(const QString& reuseIdentifier, const QString& title, QWidget* control,
                 QWidget* parent = nullptr);

    QWidget* control() const { return m_control; }

    // The width of a text row's title column.
    static constexpr int kTitleWidth = 126;

protected:
    void layoutSubviews() override;

private:
    void fitTitle();

    QWidget* m_control;
};
