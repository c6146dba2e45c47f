// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ProgressView.h"

#include <QPainter>

#include <algorithm>

ProgressView::ProgressView(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ProgressView::setProgress(float progress)
{
    const float pinned = std::clamp(progress, 0.0f, 1.0f);
    if (pinned == m_progress)
        return;
    m_progress = pinned;
    update();
}

void ProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = track.height() / 2;
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.setBrush(QColor(0xf4, 0xf4, 0xf4));
    painter.drawRoundedRect(track, radius, radius);
    if (m_progress > 0.0f) {
        QRectF filled = track;
        filled.setWidth(track.width() * m_progress);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1f, 0x6f, 0xd0));
        painter.drawRoundedRect(filled, radius, radius);
    }
}
