// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/LayerPresentation.h"

#include <QEvent>
#include <QLayout>
#include <QWidget>

LayerPresentation::LayerPresentation(const QString& title, QObject* parent)
    : QObject(parent)
    , m_title(title)
{
}

bool LayerPresentation::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && m_panel && watched == m_panel->parentWidget())
        fitPanel(m_panel->parentWidget());
    return QObject::eventFilter(watched, event);
}

int LayerPresentation::heightAt(QLayout* layout, int width)
{
    return layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                       : layout->totalSizeHint().height();
}
