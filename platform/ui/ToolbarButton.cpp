// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ToolbarButton.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {
constexpr int kMinimumButtonWidth = 32;
} // namespace

ToolbarButton::ToolbarButton(QWidget* parent)
    : QAbstractButton(parent)
{
    // The keyboard reaches it with Tab; a touch does not take the focus.
    setFocusPolicy(Qt::TabFocus);
}

void ToolbarButton::display(const BarButtonItem& item)
{
    m_image = item.image();
    m_style = item.style();
    setText(item.title());
    setAccessibleName(item.accessibleName());
    setEnabled(item.isEnabled());
    update();
}

int ToolbarButton::preferredWidth() const
{
    if (!m_image.isNull())
        return std::max(kMinimumButtonWidth,
                        static_cast<int>(m_image.deviceIndependentSize().width()) +
                            (m_style == BarButtonItem::Style::Bordered ? 16 : 0));
    return std::max(kMinimumButtonWidth, QFontMetrics(titleFont()).horizontalAdvance(text()) + 20);
}

QFont ToolbarButton::titleFont() const
{
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(12);
    return f;
}

void ToolbarButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.35);
    const QRectF area = QRectF(rect()).adjusted(0.5, 7.5, -0.5, -7.5);
    if (m_style == BarButtonItem::Style::Bordered) {
        QLinearGradient fill(area.topLeft(), area.bottomLeft());
        fill.setColorAt(0, isDown() ? QColor(0x20, 0x20, 0x24) : QColor(0x4a, 0x4c, 0x52));
        fill.setColorAt(1, isDown() ? QColor(0x30, 0x30, 0x36) : QColor(0x1c, 0x1d, 0x21));
        painter.setPen(QPen(QColor(0, 0, 0, 200), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(area, 5, 5);
    }
    if (!m_image.isNull()) {
        const QSizeF size = m_image.deviceIndependentSize();
        const QPointF at((width() - size.width()) / 2.0, (height() - size.height()) / 2.0);
        painter.drawPixmap(at, m_image);
    } else {
        painter.setFont(titleFont());
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
    if (isDown() && m_style == BarButtonItem::Style::Plain) {
        const QPointF centre = QRectF(rect()).center();
        QRadialGradient glow(centre, 18);
        glow.setColorAt(0, QColor(255, 255, 255, 200));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, 18, 18);
    }
}
