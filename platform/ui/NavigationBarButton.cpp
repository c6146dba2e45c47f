// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/NavigationBarButton.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kHeight = 30;
constexpr int kArrow = 10; // the back button's point

QString systemTitle(NavigationBarButton::SystemItem item)
{
    switch (item) {
    case NavigationBarButton::SystemItem::Done:
        return QObject::tr("Done");
    case NavigationBarButton::SystemItem::Edit:
        return QObject::tr("Edit");
    case NavigationBarButton::SystemItem::Add:
        return QStringLiteral("+");
    case NavigationBarButton::SystemItem::Settings:
        return QString(); // drawn, not written
    }
    return {};
}
} // namespace

NavigationBarButton::NavigationBarButton(const QString& title, Style style, QWidget* parent)
    : QAbstractButton(parent)
    , m_style(style)
{
    setText(title);
    // The keyboard reaches it with Tab; a touch does not take the focus.
    setFocusPolicy(Qt::TabFocus);
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(12);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
}

NavigationBarButton::NavigationBarButton(SystemItem item, QWidget* parent)
    : NavigationBarButton(systemTitle(item),
                          item == SystemItem::Done ? Style::Done : Style::Bordered, parent)
{
    m_item = item;
    if (item == SystemItem::Add) {
        QFont f = font();
        f.setPixelSize(20);
        setFont(f);
        setAccessibleName(tr("Add"));
    }
    if (item == SystemItem::Settings) {
        setAccessibleName(tr("Settings"));
        setToolTip(tr("Settings"));
    }
}

void NavigationBarButton::setStyle(Style style)
{
    m_style = style;
    updateGeometry();
    update();
}

void NavigationBarButton::setSystemItem(SystemItem item)
{
    m_item = item;
    setText(systemTitle(item));
    if (item == SystemItem::Add)
        setAccessibleName(tr("Add"));
    else if (item == SystemItem::Settings)
        setAccessibleName(tr("Settings"));
    else
        setAccessibleName(QString());
    setStyle(item == SystemItem::Done ? Style::Done : Style::Bordered);
}

QSize NavigationBarButton::sizeHint() const
{
    const int textWidth = QFontMetrics(font()).horizontalAdvance(text());
    const int width = std::clamp(textWidth + 20 + (m_style == Style::Back ? kArrow : 0), 44, 110);
    return QSize(width, kHeight);
}

void NavigationBarButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, (height() - kHeight) / 2.0 + 0.5, -0.5,
                                             -(height() - kHeight) / 2.0 - 0.5);
    QPainterPath shape;
    if (m_style == Style::Back) {
        const double radius = 5;
        shape.moveTo(r.left(), r.center().y());
        shape.lineTo(r.left() + kArrow, r.top());
        shape.lineTo(r.right() - radius, r.top());
        shape.quadTo(r.right(), r.top(), r.right(), r.top() + radius);
        shape.lineTo(r.right(), r.bottom() - radius);
        shape.quadTo(r.right(), r.bottom(), r.right() - radius, r.bottom());
        shape.lineTo(r.left() + kArrow, r.bottom());
        shape.closeSubpath();
    } else {
        shape.addRoundedRect(r, 5, 5);
    }
    // The dashboard's brushed dark steel, or the blue of a confirming button.
    const bool down = isDown();
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    if (m_style == Style::Done) {
        fill.setColorAt(0, down ? QColor(22, 78, 160) : QColor(84, 146, 236));
        fill.setColorAt(1, down ? QColor(14, 52, 118) : QColor(30, 94, 196));
    } else {
        fill.setColorAt(0, down ? QColor(40, 42, 47) : QColor(98, 103, 112));
        fill.setColorAt(1, down ? QColor(20, 21, 24) : QColor(44, 46, 52));
    }
    painter.setPen(QPen(QColor(12, 13, 15), 1));
    painter.setBrush(fill);
    painter.drawPath(shape);
    painter.setPen(isEnabled() ? QColor(Qt::white) : QColor(150, 150, 150));
    if (m_item == SystemItem::Settings) {
        drawGear(painter, r.center());
        return;
    }
    QRectF textRect = r;
    if (m_style == Style::Back)
        textRect.setLeft(r.left() + kArrow);
    painter.drawText(
        textRect, Qt::AlignCenter,
        QFontMetrics(font()).elidedText(text(), Qt::ElideRight, int(textRect.width()) - 8));
}

void NavigationBarButton::drawGear(QPainter& painter, const QPointF& centre) const
{
    // Eight square teeth around a ring with a hole, 18 points across.
    QPainterPath gear;
    gear.addEllipse(centre, 6.5, 6.5);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-2, -9, 4, 5), 1, 1);
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(45.0 * i);
        gear = gear.united(turn.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(centre, 2.6, 2.6);
    gear = gear.subtracted(hole);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? QColor(Qt::white) : QColor(150, 150, 150));
    painter.drawPath(gear);
}
