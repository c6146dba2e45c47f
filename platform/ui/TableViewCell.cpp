// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TableViewCell.h"

#include "platform/ui/FitLabel.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kReorderWidth = 34;
const QColor kSelectionColour(8, 116, 227);
const QColor kSeparatorColour(217, 217, 217);
const QColor kAccessoryColour(128, 128, 128);
const QColor kDetailButtonColour(36, 112, 216);
} // namespace

TableViewCell::TableViewCell(const QString& reuseIdentifier, QWidget* parent)
    : QWidget(parent)
    , m_reuseIdentifier(reuseIdentifier)
{
    setAutoFillBackground(false);
    // The keyboard reaches each row with Tab; a touch does not take the focus.
    setFocusPolicy(Qt::TabFocus);
    m_contentView = new QWidget(this);
    auto* textLabel = new FitLabel(m_contentView);
    textLabel->setMinimumFontSize(12);
    m_textLabel = textLabel;
    QFont font = m_textLabel->font();
    font.setBold(true);
    font.setPixelSize(18);
    m_textLabel->setFont(font);
    // In WindowText, which setSelected() turns white on the selection's blue (a label in a
    // table's viewport would otherwise draw in Text).
    m_textLabel->setForegroundRole(QPalette::WindowText);
    m_textLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_contentView->setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString TableViewCell::text() const
{
    return m_textLabel->text();
}

void TableViewCell::setText(const QString& text)
{
    m_textLabel->setText(text);
}

void TableViewCell::addTaggedView(int tag, QWidget* view)
{
    view->setParent(m_contentView);
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->show();
    m_tagged.insert(tag, view);
}

void TableViewCell::setAccessoryType(AccessoryType type)
{
    if (type == m_accessoryType)
        return;
    m_accessoryType = type;
    layoutContent();
    update();
}

void TableViewCell::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    QPalette palette = m_textLabel->palette();
    palette.setColor(QPalette::WindowText,
                     selected && m_selectionStyle != SelectionStyle::None ? Qt::white : Qt::black);
    m_textLabel->setPalette(palette);
    update();
}

QRect TableViewCell::accessoryRect() const
{
    if (m_accessoryType == AccessoryType::None || m_showsReorderControl)
        return {};
    return QRect(width() - kAccessoryWidth, 0, kAccessoryWidth, height());
}

void TableViewCell::setEditControl(bool editing, int control)
{
    const int inset = editing ? kEditInset : 0;
    if (inset == m_editInset && control == m_editControl)
        return;
    m_editInset = inset;
    m_editControl = editing ? control : 0;
    layoutContent();
    update();
}

void TableViewCell::setShowsReorderControl(bool shows)
{
    if (shows == m_showsReorderControl)
        return;
    m_showsReorderControl = shows;
    layoutContent();
    update();
}

void TableViewCell::resizeEvent(QResizeEvent*)
{
    layoutContent();
}

void TableViewCell::layoutContent()
{
    int right = width();
    if (m_showsReorderControl)
        right -= kReorderWidth;
    else if (m_accessoryType != AccessoryType::None)
        right -= kAccessoryWidth;
    m_contentView->setGeometry(m_editInset, 0, std::max(0, right - m_editInset), height() - 1);
    m_textLabel->setGeometry(10, 0, std::max(0, m_contentView->width() - 10),
                             m_contentView->height());
    layoutSubviews();
}

void TableViewCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool highlighted = m_selected && m_selectionStyle != SelectionStyle::None;
    painter.fillRect(rect(), highlighted ? kSelectionColour : QColor(Qt::white));
    painter.fillRect(QRect(0, height() - 1, width(), 1), kSeparatorColour);

    if (m_editControl != 0) {
        // Delete: a red disc with a white bar; insert: a green disc with a white cross.
        const QPointF c(kEditInset / 2.0, height() / 2.0);
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(m_editControl == 1 ? QColor(227, 38, 32) : QColor(52, 173, 62));
        painter.drawEllipse(c, 11, 11);
        painter.fillRect(QRectF(c.x() - 6, c.y() - 1.5, 12, 3), Qt::white);
        if (m_editControl == 2)
            painter.fillRect(QRectF(c.x() - 1.5, c.y() - 6, 3, 12), Qt::white);
    }
    if (m_showsReorderControl) {
        // The grip: three short lines at the right edge.
        const int x = width() - kReorderWidth + 8;
        const int y = height() / 2 - 5;
        for (int i = 0; i < 3; ++i)
            painter.fillRect(QRect(x, y + i * 5, 18, 2), kAccessoryColour);
        return;
    }
    const QRect accessory = accessoryRect();
    if (accessory.isEmpty())
        return;
    const QPointF centre = QRectF(accessory).center();
    if (m_accessoryType == AccessoryType::DisclosureIndicator) {
        QPen pen(highlighted ? QColor(Qt::white) : kAccessoryColour, 3);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        QPainterPath chevron;
        chevron.moveTo(centre + QPointF(-3, -6));
        chevron.lineTo(centre + QPointF(3, 0));
        chevron.lineTo(centre + QPointF(-3, 6));
        painter.drawPath(chevron);
    } else {
        // The detail disclosure button: a blue disc with a white chevron.
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(kDetailButtonColour);
        painter.drawEllipse(centre, 11, 11);
        QPen pen(Qt::white, 2.5);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        QPainterPath chevron;
        chevron.moveTo(centre + QPointF(-2, -5));
        chevron.lineTo(centre + QPointF(3, 0));
        chevron.lineTo(centre + QPointF(-2, 5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(chevron);
    }
}
