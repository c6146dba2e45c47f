// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QListWidget;

// A one-column picker: a list of rows from which one is selected. The rows come from a data
// source and are read again on reloadAllComponents(); while there are rows, one of them is always
// selected (the first at the start; a reload keeps the selected position where it can).
class PickerView : public QWidget
{
    Q_OBJECT
public:
    class DataSource
    {
    public:
        virtual ~DataSource() = default;
        virtual int pickerViewNumberOfRowsInComponent(PickerView* picker, int component) = 0;
        virtual QString pickerViewTitleForRow(PickerView* picker, int row, int component) = 0;
    };

    explicit PickerView(QWidget* parent = nullptr);

    void setDataSource(DataSource* dataSource) { m_dataSource = dataSource; }
    void reloadAllComponents();
    int numberOfRowsInComponent(int component) const;
    // The selected row of the column, or -1 when the column has no rows.
    int selectedRowInComponent(int component) const;
    // Selects a row from code; didSelectRow is not sent (selectionChanged is).
    void selectRow(int row, int component, bool animated);
    QString titleForRow(int row, int component) const;
    // Where a row is drawn, in the coordinates of rowsViewport() (the widget that takes taps).
    QWidget* rowsViewport() const;
    QRect rectForRow(int row) const;

signals:
    // The user chose a row: moved the selection to it, or tapped the row already selected.
    void didSelectRow(int row, int component);
    // The selection may have moved, whoever moved it: the user, selectRow or a reload (which can
    // also leave the column without rows). selectedRowInComponent gives the row now selected.
    void selectionChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_rowBeforePress = -1;
    DataSource* m_dataSource = nullptr;
    QListWidget* m_list = nullptr;
};
