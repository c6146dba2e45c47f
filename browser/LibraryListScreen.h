// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

#include <QPointer>

class AlertView;
class AppDelegate;
class NavigationBarButton;
class QAbstractButton;
class QLabel;
class QLineEdit;

// What both list screens are: a table of the library's items that the screen serves as data
// source and delegate, under an optional header (the search bar); the footer with its count and
// storage lines and the button to the recorder; the Edit button the screen puts into the
// navigation bar when it appears; edit mode, which adds an insertion row after the items; and
// the rename prompt, opened by choosing an item in edit mode.
class LibraryListScreen : public ViewController,
                          public TableViewDataSource,
                          public TableViewDelegate
{
    Q_OBJECT
public:
    TableView* myTableView() const { return m_tableView; }
    bool editing() const { return m_editing; }
    // The text field of the open rename prompt, or null when none is open.
    QLineEdit* editText() const;
    QLabel* countLabel() const { return m_countLabel; }
    QLabel* freeLabel() const { return m_freeLabel; }
    NavigationBarButton* editButton() const { return m_editButton; }
    QAbstractButton* recordButton() const { return m_recordButton; }

    static bool shouldAutorotateToInterfaceOrientation(Qt::ScreenOrientation orientation)
    {
        return orientation == Qt::PortraitOrientation ||
               orientation == Qt::InvertedPortraitOrientation;
    }

    // ---- Table ----
    // The items, and the insertion row after them in edit mode. Every item but the fixed ones
    // at the top can be deleted and moved, among the items only.
    int tableViewNumberOfRowsInSection(TableView* table, int section) override;
    TableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(TableView* table,
                                                                     int row) override;
    bool tableViewCanMoveRowAtIndexPath(TableView* table, int row) override;
    int tableViewTargetIndexPathForMoveFromRowAtIndexPath(TableView* table, int from,
                                                          int proposed) override;

    // ---- Actions ----
    // Edit and Done: edit mode on and off, the insertion row coming and going with it.
    void editAction();
    // The recorder button: leaves edit mode and opens the recorder screen.
    void gotoRecord();
    void addAction() {}

protected:
    LibraryListScreen(AppDelegate* appDelegate, const QString& tableName, QWidget* parent);
    // Puts `header` above the table.
    void setHeader(QWidget* header);

    // The number of items listed, without the insertion row.
    virtual int itemCount() = 0;
    // The rows at the top that stay where they are and cannot be deleted.
    virtual int fixedRows() const { return 0; }
    // Shows the items afresh.
    virtual void reloadList();
    // Edit mode has ended, by Done or by the recorder button.
    virtual void editingEnded() {}

    AppDelegate* m_appDelegate;
    TableView* m_tableView = nullptr;
    bool m_editing = false;
    QPointer<AlertView> m_renamePrompt;
    QLabel* m_countLabel = nullptr;
    QLabel* m_freeLabel = nullptr;
    NavigationBarButton* m_editButton = nullptr;
    QAbstractButton* m_recordButton = nullptr;
};
