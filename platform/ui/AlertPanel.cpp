// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AlertPanel.h"

AlertPanel::AlertPanel(Kind kind, const QString& title, const QString& message, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
    , m_title(title)
    , m_message(message)
{
}
