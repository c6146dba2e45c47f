// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/Toolbar.h"

#include "platform/ui/ToolbarButton.h"

#include <QAbstractButton>
#include <QLinearGradient>
#include <QPainter>

namespace {

constexpr int kEdgeMargin = 6;
constexpr int kItemGap = 8;

} // namespace

BarButtonItem BarButtonItem::withImage(const QPixmap& image, Action action, Style style)
{
    BarButtonItem item;
    item.m_image = image;
    item.m_action = std::move(action);
    item.m_style = style;
    return item;
}

BarButtonItem BarButtonItem::withTitle(const QString& title, Action action, Style style)
{
    BarButtonItem item;
    item.m_title = title;
    item.m_action = std::move(action);
    item.m_style = style;
    return item;
}

BarButtonItem BarButtonItem::fixedSpace(int width)
{
    BarButtonItem item;
    item.m_kind = Kind::FixedSpace;
    item.m_width = std::max(0, width);
    return item;
}

BarButtonItem BarButtonItem::flexibleSpace()
{
    BarButtonItem item;
    item.m_kind = Kind::FlexibleSpace;
    return item;
}

Toolbar::Toolbar(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Toolbar::setItems(const QList<BarButtonItem>& items)
{
    m_items = items;
    rebuild();
}

BarButtonItem Toolbar::item(int index) const
{
    return index >= 0 && index < count() ? m_items[index] : BarButtonItem();
}

void Toolbar::replaceItem(int index, const BarButtonItem& item)
{
    if (index < 0 || index >= count())
        return;
    m_items[index] = item;
    rebuild();
}

void Toolbar::setItemImage(int index, const QPixmap& image)
{
    if (index < 0 || index >= count())
        return;
    m_items[index].setImage(image);
    rebuild();
}

void Toolbar::setItemAction(int index, BarButtonItem::Action action)
{
    if (index < 0 || index >= count())
        return;
    m_items[index].setAction(std::move(action));
}

void Toolbar::setItemEnabled(int index, bool enabled)
{
    if (index < 0 || index >= count())
        return;
    m_items[index].setEnabled(enabled);
    rebuild();
}

QAbstractButton* Toolbar::buttonForItem(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons[index].data() : nullptr;
}

void Toolbar::rebuild()
{
    // Buttons are kept and reused where an item stays a button: the item being tapped may be
    // the one its own action replaces, and its button must outlive the tap.
    QList<QPointer<QAbstractButton>> buttons;
    for (int i = 0; i < count(); ++i) {
        QPointer<QAbstractButton> existing = i < m_buttons.size() ? m_buttons[i] : nullptr;
        if (m_items[i].kind() != BarButtonItem::Kind::Button) {
            if (existing) {
                existing->hide();
                existing->deleteLater();
            }
            buttons << nullptr;
            continue;
        }
        auto* button = static_cast<ToolbarButton*>(existing.data());
        if (!button) {
            button = new ToolbarButton(this);
            connect(button, &QAbstractButton::clicked, this,
                    [this, button] { trigger(static_cast<int>(m_buttons.indexOf(button))); });
        }
        button->display(m_items[i]);
        button->show();
        buttons << button;
    }
    for (qsizetype i = count(); i < m_buttons.size(); ++i) {
        if (m_buttons[i]) {
            m_buttons[i]->hide();
            m_buttons[i]->deleteLater();
        }
    }
    m_buttons = buttons;
    layoutButtons();
    update();
}

void Toolbar::layoutButtons()
{
    int fixed = 2 * kEdgeMargin;
    int flexible = 0;
    for (int i = 0; i < count(); ++i) {
        switch (m_items[i].kind()) {
        case BarButtonItem::Kind::Button:
            fixed += static_cast<ToolbarButton*>(m_buttons[i].data())->preferredWidth();
            break;
        case BarButtonItem::Kind::FixedSpace:
            fixed += m_items[i].width();
            break;
        case BarButtonItem::Kind::FlexibleSpace:
            ++flexible;
            break;
        }
        if (i > 0)
            fixed += kItemGap;
    }
    const int spare = std::max(0, width() - fixed);
    int x = kEdgeMargin;
    int flexibleSeen = 0;
    for (int i = 0; i < count(); ++i) {
        if (i > 0)
            x += kItemGap;
        switch (m_items[i].kind()) {
        case BarButtonItem::Kind::Button: {
            auto* button = static_cast<ToolbarButton*>(m_buttons[i].data());
            const int w = button->preferredWidth();
            button->setGeometry(x, 0, w, height());
            x += w;
            break;
        }
        case BarButtonItem::Kind::FixedSpace:
            x += m_items[i].width();
            break;
        case BarButtonItem::Kind::FlexibleSpace:
            // Spread the spare room evenly; the last flexible space takes the remainder.
            x += spare * (flexibleSeen + 1) / flexible - spare * flexibleSeen / flexible;
            ++flexibleSeen;
            break;
        }
    }
}

void Toolbar::trigger(int index)
{
    if (index < 0 || index >= count() || !m_items[index].isEnabled())
        return;
    // A copy: the action may replace its own item, which would destroy it while it runs.
    const BarButtonItem::Action action = m_items[index].action();
    if (action)
        action();
}

void Toolbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0.0, QColor(0x3c, 0x3e, 0x44));
    fill.setColorAt(0.5, QColor(0x1e, 0x1f, 0x23));
    fill.setColorAt(1.0, QColor(0x0c, 0x0c, 0x0e));
    painter.fillRect(rect(), fill);
    painter.setPen(QColor(0x5c, 0x5f, 0x66));
    painter.drawLine(0, 0, width(), 0);
}

void Toolbar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}
