// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/PanelScrollArea.h"

#include <QScroller>

PanelScrollArea::PanelScrollArea(const QString& objectName, QWidget* parent)
    : QScrollArea(parent)
{
    setObjectName(objectName);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    QScroller::grabGesture(viewport(), QScroller::TouchGesture);
}
