// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/CountDownPicker.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
// A press that moves less than this is a tap.
constexpr qreal kTapSlop = 6.0;
} // namespace

CountDownPicker::CountDownPicker(QWidget* parent)
    : QWidget(parent)
{
    // The keyboard reaches it with Tab; a touch does not take the focus.
    setFocusPolicy(Qt::TabFocus);
}

double CountDownPicker::countDownDuration() const
{
    return m_selected[0] * 3600.0 + m_selected[1] * 60.0;
}

void CountDownPicker::setCountDownDuration(double seconds)
{
    if (std::isnan(seconds))
        seconds = kMinimumDuration;
    seconds = std::clamp(seconds, kMinimumDuration, kMaximumDuration);
    const int minutes = static_cast<int>(seconds / 60.0);
    m_selected = {minutes / 60, minutes % 60};
    update();
}

void CountDownPicker::setCountDownDurationFromUser(double seconds)
{
    const double before = countDownDuration();
    setCountDownDuration(seconds);
    if (countDownDuration() != before)
        emit valueChanged(this);
}

void CountDownPicker::select(int column, int row)
{
    const double before = countDownDuration();
    m_selected[column] = std::clamp(row, 0, rowCount(column) - 1);
    if (m_selected[0] == 0 && m_selected[1] == 0)
        m_selected[1] = 1;
    update();
    if (countDownDuration() != before)
        emit valueChanged(this);
}

void CountDownPicker::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragColumn = columnAt(event->position().x());
    m_dragStartY = event->position().y();
    m_dragOffset = 0.0;
    m_dragMoved = false;
}

void CountDownPicker::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragColumn < 0)
        return;
    m_dragOffset = event->position().y() - m_dragStartY;
    m_dragMoved = m_dragMoved || std::abs(m_dragOffset) >= kTapSlop;
    update();
}

void CountDownPicker::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_dragColumn < 0)
        return;
    const int column = m_dragColumn;
    const qreal offset = event->position().y() - m_dragStartY;
    const bool moved = m_dragMoved || std::abs(offset) >= kTapSlop;
    m_dragColumn = -1;
    m_dragOffset = 0.0;
    if (moved) {
        // Dragging down brings earlier rows to the middle.
        select(column, m_selected[column] - static_cast<int>(std::lround(offset / kRowHeight)));
    } else {
        const qreal fromCentre = event->position().y() - height() / 2.0;
        select(column, m_selected[column] + static_cast<int>(std::lround(fromCentre / kRowHeight)));
    }
}

void CountDownPicker::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        select(columnAt(event->position().x()),
               m_selected[columnAt(event->position().x())] - steps);
    event->accept();
}

void CountDownPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF all = rect();
    QLinearGradient drum(0, 0, 0, height());
    drum.setColorAt(0.0, QColor(0x9a, 0x9c, 0xa2));
    drum.setColorAt(0.5, QColor(0xfa, 0xfa, 0xfb));
    drum.setColorAt(1.0, QColor(0x9a, 0x9c, 0xa2));
    painter.fillRect(all, QColor(0x2b, 0x2d, 0x33));
    const QRectF face = all.adjusted(8, 6, -8, -6);
    painter.fillRect(face, drum);

    const qreal centreY = height() / 2.0;
    QFont number = font();
    number.setPixelSize(22);
    number.setBold(true);
    QFont unit = font();
    unit.setPixelSize(15);
    unit.setBold(true);
    const QString units[2] = {tr("hours"), tr("min")};
    painter.setClipRect(face);
    for (int column = 0; column < 2; ++column) {
        const qreal left = column == 0 ? face.left() : minutesColumnLeft();
        const qreal right = column == 0 ? minutesColumnLeft() : face.right();
        const qreal offset = column == m_dragColumn ? m_dragOffset : 0.0;
        const int span = static_cast<int>(height() / kRowHeight) / 2 + 2;
        painter.setFont(number);
        for (int d = -span; d <= span; ++d) {
            const int row = m_selected[column] + d;
            if (row < 0 || row >= rowCount(column))
                continue;
            const qreal y = centreY + d * kRowHeight + offset;
            const QRectF cell(left, y - kRowHeight / 2.0, (right - left) * 0.45, kRowHeight);
            const qreal fade = std::clamp(1.0 - std::abs(y - centreY) / (height() * 0.6), 0.2, 1.0);
            painter.setPen(QColor(0x10, 0x10, 0x12, static_cast<int>(255 * fade)));
            painter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, QString::number(row));
        }
        painter.setFont(unit);
        painter.setPen(QColor(0x10, 0x10, 0x12));
        painter.drawText(QRectF(left + (right - left) * 0.5, centreY - kRowHeight / 2.0,
                                (right - left) * 0.5, kRowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, units[column]);
    }
    painter.setClipping(false);

    // The selection band across both drums, and the divider between them.
    const QRectF band(face.left(), centreY - kRowHeight / 2.0, face.width(), kRowHeight);
    painter.setPen(QPen(QColor(0x6c, 0x74, 0x86), 1));
    painter.setBrush(QColor(0x9a, 0xb4, 0xe8, 70));
    painter.drawRect(band);
    painter.setPen(QPen(QColor(0x2b, 0x2d, 0x33), 3));
    painter.drawLine(QPointF(minutesColumnLeft(), face.top()),
                     QPointF(minutesColumnLeft(), face.bottom()));
}
