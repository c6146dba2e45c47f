// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/PickerView.h"

#include <QEvent>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

PickerView::PickerView(QWidget* parent)
    : QWidget(parent)
{
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        emit selectionChanged();
        if (row >= 0)
            emit didSelectRow(row, 0);
    });
    // A tap on the row that is already selected chooses it too (it changes no selection).
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = m_list->row(item);
        if (row >= 0 && row == m_rowBeforePress)
            emit didSelectRow(row, 0);
    });
}

bool PickerView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress)
        m_rowBeforePress = m_list->currentRow();
    return QWidget::eventFilter(watched, event);
}

void PickerView::reloadAllComponents()
{
    const QSignalBlocker blocker(m_list);
    // Screen readers call the list what the picker is called.
    m_list->setAccessibleName(accessibleName());
    const int previous = m_list->currentRow();
    m_list->clear();
    const int rows = m_dataSource ? m_dataSource->pickerViewNumberOfRowsInComponent(this, 0) : 0;
    for (int row = 0; row < rows; ++row)
        m_list->addItem(m_dataSource->pickerViewTitleForRow(this, row, 0));
    if (rows > 0)
        m_list->setCurrentRow(std::clamp(previous, 0, rows - 1));
    emit selectionChanged();
}

int PickerView::numberOfRowsInComponent(int component) const
{
    return component == 0 ? m_list->count() : 0;
}

int PickerView::selectedRowInComponent(int component) const
{
    if (component != 0 || m_list->count() == 0)
        return -1;
    return m_list->currentRow();
}

void PickerView::selectRow(int row, int component, bool)
{
    if (component != 0 || row < 0 || row >= m_list->count())
        return;
    {
        const QSignalBlocker blocker(m_list);
        m_list->setCurrentRow(row);
    }
    emit selectionChanged();
}

QString PickerView::titleForRow(int row, int component) const
{
    if (component != 0 || row < 0 || row >= m_list->count())
        return {};
    return m_list->item(row)->text();
}

QWidget* PickerView::rowsViewport() const
{
    return m_list->viewport();
}

QRect PickerView::rectForRow(int row) const
{
    if (row < 0 || row >= m_list->count())
        return {};
    return m_list->visualItemRect(m_list->item(row));
}
