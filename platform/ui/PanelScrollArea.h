// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>

// The scrolling part of an alert or action sheet: frameless, vertical only, see-through, never
// taking the keyboard focus, and moved by a finger as well as by the wheel.
class PanelScrollArea : public QScrollArea
{
    Q_OBJECT
public:
    PanelScrollArea(const QString& objectName, QWidget* parent);
};
