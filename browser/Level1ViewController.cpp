// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/Level1ViewController.h"

#include "browser/BrowserLog.h"
#include "browser/Level2ViewController.h"
#include "core/AppDelegate.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"

#include <QLabel>
#include <QLineEdit>

#include <utility>

Level1ViewController::Level1ViewController(AppDelegate* appDelegate,
                                           Level2ViewController* level2ViewController,
                                           QWidget* parent)
    : LibraryListScreen(appDelegate, QStringLiteral("categoryTable"), parent)
    , m_level2ViewController(level2ViewController)
{
    setTitle(tr("Categories"));

    m_settingsButton = new NavigationBarButton(NavigationBarButton::SystemItem::Settings, this);
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    m_settingsButton->hide();
    connect(m_settingsButton, &QAbstractButton::clicked, this, [this] { openSettings(true); });
}

void Level1ViewController::setSettingsViewController(ViewController* settings)
{
    m_settingsViewController = settings;
    if (navigationController() && navigationController()->topViewController() == this)
        setLeftBarButton(settings ? m_settingsButton : nullptr);
}

void Level1ViewController::openSettings(bool animated)
{
    if (!m_settingsViewController || !navigationController())
        return;
    navigationController()->pushViewController(m_settingsViewController, animated);
}

// ---- Table ----

int Level1ViewController::itemCount()
{
    return int(m_appDelegate->categories().size());
}

QString Level1ViewController::filesText(int count)
{
    return tr("%n files", nullptr, count);
}

QString Level1ViewController::rowText(int row) const
{
    const auto& categories = m_appDelegate->categories();
    if (row == categories.size())
        return tr("New Category");
    if (row < 0 || row > categories.size())
        return {};
    const QString name = categories[row]->name();
    if (name == QLatin1String(kAllRecordingsCategory))
        return tr("All (%1)").arg(m_appDelegate->recordings().size());
    // One substitution pass, so that a "%1" in the name stays as typed.
    return QStringLiteral("%1 (%2)").arg(
        name, QString::number(m_appDelegate->recordingsForCategory(name).size()));
}

TableViewCell* Level1ViewController::tableViewCellForRowAtIndexPath(TableView* table, int row)
{
    const QString identifier = QLatin1String(kCellIdentifier);
    TableViewCell* cell = table->dequeueReusableCellWithIdentifier(identifier);
    if (!cell)
        cell = new TableViewCell(identifier);
    cell->setAccessoryType(TableViewCell::AccessoryType::DisclosureIndicator);
    cell->setText(rowText(row));
    return cell;
}

void Level1ViewController::tableViewMoveRowAtIndexPath(TableView*, int from, int to)
{
    AppDelegate::CategoryList& categories = m_appDelegate->mutableCategories();
    if (from < 0 || from >= categories.size() || to < 0 || to >= categories.size() || from == to)
        return;
    categories.move(from, to);
    // The new order is kept at once, so that no ending of the program can lose it.
    m_appDelegate->libraryEdited(true);
}

void Level1ViewController::tableViewCommitEditingStyle(TableView* table,
                                                       TableViewCellEditingStyle style, int row)
{
    const int count = int(m_appDelegate->categories().size());
    if (style == TableViewCellEditingStyle::Insert) {
        m_appDelegate->addCategory();
        table->insertRowsAtIndexPaths({count}, TableViewRowAnimation::Right);
    } else if (style == TableViewCellEditingStyle::Delete && row > 0 && row < count) {
        m_appDelegate->deleteCategory(row);
        table->deleteRowsAtIndexPaths({row}, TableViewRowAnimation::Right);
        m_countLabel->setText(filesText(int(m_appDelegate->recordings().size())));
    }
    table->reloadData();
}

void Level1ViewController::tableViewDidSelectRowAtIndexPath(TableView* table, int row)
{
    const int count = int(m_appDelegate->categories().size());
    if (!m_editing) {
        if (row < 0 || row >= count)
            return;
        m_appDelegate->setCategoryIndex(row);
        if (navigationController() && m_level2ViewController)
            navigationController()->pushViewController(m_level2ViewController, true);
        return;
    }
    table->deselectRowAtIndexPath(row, false);
    if (row < 0 || row >= count)
        return; // the insertion row
    m_appDelegate->setCategoryIndex(row);
    openRenamePrompt(row);
}

void Level1ViewController::openRenamePrompt(int row)
{
    const QString name = m_appDelegate->categories()[row]->name();
    // The all-recordings row keeps its name: renamed, it would no longer list every recording,
    // and recordings of deleted categories would be out of reach.
    if (name == QLatin1String(kAllRecordingsCategory)) {
        qCInfo(lcBrowser) << "The all-recordings category keeps its name";
        return;
    }
    auto* alert =
        new AlertView(tr("Enter Category Name"), tr("this gets covered"),
                      [this](AlertView* a, int index) { alertViewClickedButtonAtIndex(a, index); },
                      tr("Cancel"), {tr("OK")});
    alert->addTextField(name == QLatin1String("New Category") ? QString() : name);
    m_renamePrompt = alert;
    m_renameTarget = m_appDelegate->categories()[row];
    alert->show();
}

// ---- Actions ----

void Level1ViewController::alertViewClickedButtonAtIndex(AlertView* alert, int buttonIndex)
{
    const std::shared_ptr<Category> target = std::exchange(m_renameTarget, nullptr);
    if (buttonIndex != 1 || !alert->textField())
        return;
    // A category deleted while the prompt was open is not brought back.
    m_appDelegate->renameCategory(target, alert->textField()->text());
    m_tableView->reloadData();
}

// ---- Life cycle ----

void Level1ViewController::viewWillAppear(bool)
{
    // Appearing always returns to browsing.
    m_editing = false;
    m_tableView->setEditing(false, false);
    m_tableView->reloadData();
    m_tableView->deselectRowAtIndexPath(m_tableView->indexPathForSelectedRow(), false);
    m_editButton->setSystemItem(NavigationBarButton::SystemItem::Edit);
    setRightBarButton(m_editButton);
    setLeftBarButton(m_settingsViewController ? m_settingsButton : nullptr);
}

void Level1ViewController::viewDidAppear(bool)
{
    m_countLabel->setText(filesText(int(m_appDelegate->recordings().size())));
    m_freeLabel->setText(m_appDelegate->getUsageString());
}
