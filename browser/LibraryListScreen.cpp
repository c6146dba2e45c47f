// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/LibraryListScreen.h"

#include "browser/LibraryFooter.h"
#include "core/AppDelegate.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"

#include <QVBoxLayout>

#include <algorithm>

LibraryListScreen::LibraryListScreen(AppDelegate* appDelegate, const QString& tableName,
                                     QWidget* parent)
    : ViewController(parent)
    , m_appDelegate(appDelegate)
{
    m_tableView = new TableView(this);
    m_tableView->setObjectName(tableName);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    auto* footer = new LibraryFooter(this);
    m_countLabel = footer->countLabel();
    m_freeLabel = footer->freeLabel();
    m_recordButton = footer->recordButton();
    connect(m_recordButton, &QAbstractButton::clicked, this, [this] { gotoRecord(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tableView, 1);
    layout->addWidget(footer);

    m_editButton = new NavigationBarButton(NavigationBarButton::SystemItem::Edit, this);
    m_editButton->setObjectName(QStringLiteral("editButton"));
    m_editButton->hide();
    connect(m_editButton, &QAbstractButton::clicked, this, [this] { editAction(); });
}

void LibraryListScreen::setHeader(QWidget* header)
{
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, header);
}

QLineEdit* LibraryListScreen::editText() const
{
    return m_renamePrompt ? m_renamePrompt->textField() : nullptr;
}

int LibraryListScreen::tableViewNumberOfRowsInSection(TableView*, int)
{
    return itemCount() + (m_editing ? 1 : 0);
}

TableViewCellEditingStyle LibraryListScreen::tableViewEditingStyleForRowAtIndexPath(TableView*,
                                                                                    int row)
{
    if (row == itemCount())
        return TableViewCellEditingStyle::Insert;
    return row < fixedRows() ? TableViewCellEditingStyle::None : TableViewCellEditingStyle::Delete;
}

bool LibraryListScreen::tableViewCanMoveRowAtIndexPath(TableView*, int row)
{
    return row >= fixedRows() && row < itemCount();
}

int LibraryListScreen::tableViewTargetIndexPathForMoveFromRowAtIndexPath(TableView*, int,
                                                                         int proposed)
{
    return std::max(fixedRows(), std::min(proposed, itemCount() - 1));
}

void LibraryListScreen::reloadList()
{
    m_tableView->reloadData();
}

void LibraryListScreen::editAction()
{
    m_editing = !m_tableView->isEditing();
    m_tableView->setEditing(m_editing, true);
    const int insertionRow = itemCount();
    if (m_editing) {
        m_editButton->setSystemItem(NavigationBarButton::SystemItem::Done);
        m_tableView->setAllowsSelectionDuringEditing(true);
        m_tableView->insertRowsAtIndexPaths({insertionRow}, TableViewRowAnimation::Right);
    } else {
        m_editButton->setSystemItem(NavigationBarButton::SystemItem::Edit);
        m_tableView->deleteRowsAtIndexPaths({insertionRow}, TableViewRowAnimation::Right);
        editingEnded();
    }
}

void LibraryListScreen::gotoRecord()
{
    m_tableView->setEditing(false, true);
    if (m_editing) {
        m_editing = false;
        m_editButton->setSystemItem(NavigationBarButton::SystemItem::Edit);
        reloadList();
        editingEnded();
    }
    if (navigationController() && m_appDelegate->audioViewScreen)
        navigationController()->pushViewController(m_appDelegate->audioViewScreen, true);
}
