// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/SwitchControl.h"

#include <QPainter>

SwitchControl::SwitchControl(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    // The keyboard reaches it with Tab; a touch does not take the focus.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // clicked is sent for user taps (and click()), never for setChecked from code.
    connect(this, &QAbstractButton::clicked, this, [this] { emit valueChanged(this); });
}

void SwitchControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    painter.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 1));
    painter.setBrush(isOn() ? QColor(0x1f, 0x6f, 0xd0) : QColor(0xf0, 0xf0, 0xf0));
    painter.drawRoundedRect(track, radius, radius);
    painter.setPen(isOn() ? Qt::white : QColor(0x60, 0x60, 0x60));
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const QRectF knob(isOn() ? track.right() - track.height() : track.left(), track.top(),
                      track.height(), track.height());
    const QRectF label =
        isOn() ? QRectF(track.left(), track.top(), track.width() - knob.width(), track.height())
               : QRectF(knob.right(), track.top(), track.width() - knob.width(), track.height());
    painter.drawText(label, Qt::AlignCenter, isOn() ? tr("ON") : tr("OFF"));
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
}
