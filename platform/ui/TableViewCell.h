// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

class QLabel;

// One row of a table view. A cell is made by the table's data source, carries a reuse
// identifier, and is handed back to the data source for another row once it scrolls away.
// Plain cells show one line of text; richer cells put their own views in contentView() and
// find them again by tag.
class TableViewCell : public QWidget
{
    Q_OBJECT
public:
    enum class AccessoryType
    {
        None = 0,
        DisclosureIndicator = 1,
        DetailDisclosureButton = 2,
    };
    enum class SelectionStyle
    {
        None,
        Blue,
    };

    explicit TableViewCell(const QString& reuseIdentifier, QWidget* parent = nullptr);

    QString reuseIdentifier() const { return m_reuseIdentifier; }

    // The one line of a plain cell.
    QString text() const;
    void setText(const QString& text);
    QLabel* textLabel() const { return m_textLabel; }

    // Where a cell's own views go: the area left of the accessory (and right of the edit control
    // while editing).
    QWidget* contentView() const { return m_contentView; }
    void addTaggedView(int tag, QWidget* view);
    QWidget* viewWithTag(int tag) const { return m_tagged.value(tag); }

    AccessoryType accessoryType() const { return m_accessoryType; }
    void setAccessoryType(AccessoryType type);
    SelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setSelectionStyle(SelectionStyle style) { m_selectionStyle = style; }

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // The width the accessory takes at the right edge.
    static constexpr int kAccessoryWidth = 30;
    // The room the edit control takes at the left while editing.
    static constexpr int kEditInset = 38;
    // The accessory's area in the cell's coordinates (empty when there is none).
    QRect accessoryRect() const;

protected:
    // Places the cell's own views after the content area changed size; nothing by default.
    virtual void layoutSubviews() {}
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TableView;
    // Set by the table while editing: the control at the left (0 none, 1 delete, 2 insert),
    // which insets the content when editing, and whether a reorder grip shows at the right.
    void setEditControl(bool editing, int control);
    void setShowsReorderControl(bool shows);
    void layoutContent();

    QString m_reuseIdentifier;
    QWidget* m_contentView = nullptr;
    QLabel* m_textLabel = nullptr;
    QHash<int, QWidget*> m_tagged;
    AccessoryType m_accessoryType = AccessoryType::None;
    SelectionStyle m_selectionStyle = SelectionStyle::Blue;
    bool m_selected = false;
    int m_editInset = 0;
    int m_editControl = 0;
    bool m_showsReorderControl = false;
};
