// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;

// One item of a toolbar: a button showing an image or a title, or a fixed or flexible space.
// Items are values: a toolbar's items() is a copy, edited and handed back with setItems().
class BarButtonItem
{
public:
    enum class Kind
    {
        Button,
        FixedSpace,
        FlexibleSpace
    };
    enum class Style
    {
        Plain,
        Bordered
    };
    using Action = std::function<void()>;

    BarButtonItem() = default;
    static BarButtonItem withImage(const QPixmap& image, Action action, Style style = Style::Plain);
    static BarButtonItem withTitle(const QString& title, Action action,
                                   Style style = Style::Bordered);
    static BarButtonItem fixedSpace(int width);
    static BarButtonItem flexibleSpace();

    Kind kind() const { return m_kind; }
    Style style() const { return m_style; }
    QPixmap image() const { return m_image; }
    void setImage(const QPixmap& image) { m_image = image; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    // What assistive technology calls an item that shows an image (its title otherwise).
    QString accessibleName() const { return m_accessibleName; }
    void setAccessibleName(const QString& name) { m_accessibleName = name; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    const Action& action() const { return m_action; }
    void setAction(Action action) { m_action = std::move(action); }
    int width() const { return m_width; }
    // A free number for the owner's use.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

private:
    Kind m_kind = Kind::Button;
    Style m_style = Style::Plain;
    QPixmap m_image;
    QString m_title;
    QString m_accessibleName;
    bool m_enabled = true;
    Action m_action;
    int m_width = 0;
    int m_tag = 0;
};

// A dark bar of items counted from 0, laid out left to right; flexible spaces share the room
// that is left. A tap on an enabled button item (touch up inside) calls its action. An action
// may change the toolbar's items, its own included.
class Toolbar : public QWidget
{
    Q_OBJECT
public:
    explicit Toolbar(QWidget* parent = nullptr);

    QList<BarButtonItem> items() const { return m_items; }
    void setItems(const QList<BarButtonItem>& items);
    int count() const { return static_cast<int>(m_items.size()); }
    BarButtonItem item(int index) const;
    // Each of these does nothing for an index outside the items.
    void replaceItem(int index, const BarButtonItem& item);
    void setItemImage(int index, const QPixmap& image);
    void setItemAction(int index, BarButtonItem::Action action);
    void setItemEnabled(int index, bool enabled);

    // The widget that shows a button item, or none for spaces and indexes outside the items.
    QAbstractButton* buttonForItem(int index) const;

    QSize sizeHint() const override { return {320, 44}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void layoutButtons();
    void trigger(int index);

    QList<BarButtonItem> m_items;
    QList<QPointer<QAbstractButton>> m_buttons;
};
