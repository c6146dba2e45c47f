// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/Level2ViewController.h"

#include "browser/RecordingCell.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"

#include <QLabel>
#include <QLineEdit>

#include <utility>

Level2ViewController::Level2ViewController(AppDelegate* appDelegate, QWidget* parent)
    : LibraryListScreen(appDelegate, QStringLiteral("recordingTable"), parent)
{
    m_searchBar = new SearchBar(this);
    m_searchBar->setObjectName(QStringLiteral("searchBar"));
    m_searchBar->setPlaceholder(tr("Search"));
    m_searchBar->setDelegate(this);
    m_searchBar->setAutocorrection(false);
    m_searchBar->setAutocapitalization(false);
    m_searchBar->setShowsCancelButton(false);
    setHeader(m_searchBar);
    m_tableView->setRowHeight(RecordingCell::kRowHeight);

    // Whatever changes the library (this screen, the recorder screen, a rename elsewhere)
    // makes the next table query build the list again.
    connect(m_appDelegate, &AppDelegate::libraryChanged, this, [this] { listChanged(); });
}

const AppDelegate::RecordingList& Level2ViewController::currentList()
{
    if (!m_listValid) {
        m_list = m_appDelegate->recArrayFilter(m_appDelegate->searchText());
        m_listValid = true;
    }
    return m_list;
}

void Level2ViewController::reloadList()
{
    listChanged();
    m_tableView->reloadData();
}

void Level2ViewController::editingEnded()
{
    // Keeps the order the user made.
    m_appDelegate->libraryEdited(true);
}

// ---- Table ----

int Level2ViewController::itemCount()
{
    return int(currentList().size());
}

TableViewCell* Level2ViewController::makeCell()
{
    const QString identifier = QLatin1String(kCell2Identifier);
    TableViewCell* cell = m_tableView->dequeueReusableCellWithIdentifier(identifier);
    return cell ? cell : new RecordingCell(identifier);
}

TableViewCell* Level2ViewController::tableViewCellForRowAtIndexPath(TableView*, int row)
{
    auto* cell = static_cast<RecordingCell*>(makeCell());
    const AppDelegate::RecordingList& list = currentList();
    if (row < 0 || row >= list.size()) {
        // The insertion row.
        cell->setPhoto(QImage());
        cell->setTexts(tr("New Memo"), QString(), QString(), QString());
        return cell;
    }
    const Recording& recording = *list[row];
    cell->setPhoto(recording.getPhotoImage(m_appDelegate->documentsPath()));
    cell->setTexts(recording.name(), m_appDelegate->formatDate(recording.date()),
                   recording.locationString(),
                   AppDelegate::makeTimeStringFromSamps(recording.duration(), 0, 1));
    return cell;
}

void Level2ViewController::tableViewMoveRowAtIndexPath(TableView*, int from, int to)
{
    // Both library positions are found before anything moves. The moved recording takes the
    // library place of the one it was dropped on: just before it when moving up, just after it
    // when moving down; recordings of other categories keep their places.
    const AppDelegate::RecordingList list = currentList();
    if (from < 0 || from >= list.size() || to < 0 || to >= list.size() || from == to)
        return;
    AppDelegate::RecordingList& recordings = m_appDelegate->mutableRecordings();
    const qsizetype libraryFrom = recordings.indexOf(list[from]);
    const qsizetype libraryTo = recordings.indexOf(list[to]);
    if (libraryFrom < 0 || libraryTo < 0)
        return;
    recordings.move(libraryFrom, libraryTo);
    listChanged();
    // The new order is kept at once (at the end of this turn), so that no ending of the
    // program can lose it; leaving edit mode writes the library again.
    m_appDelegate->libraryEdited(true);
}

void Level2ViewController::tableViewCommitEditingStyle(TableView* table,
                                                       TableViewCellEditingStyle style, int row)
{
    const int count = int(currentList().size());
    if (style == TableViewCellEditingStyle::Insert) {
        m_appDelegate->addRecording();
        listChanged();
        table->insertRowsAtIndexPaths({count}, TableViewRowAnimation::Right);
    } else if (style == TableViewCellEditingStyle::Delete && row >= 0 && row < count) {
        m_appDelegate->deleteRecording(row);
        listChanged();
        table->deleteRowsAtIndexPaths({row}, TableViewRowAnimation::Right);
    }
    reloadList();
    // The count line follows every change of the list, an inserted "New Memo" too.
    updateLabels();
}

void Level2ViewController::tableViewDidSelectRowAtIndexPath(TableView* table, int row)
{
    m_searchBar->resignFirstResponder();
    const AppDelegate::RecordingList& list = currentList();
    if (!m_editing) {
        if (row < 0 || row >= list.size())
            return;
        m_appDelegate->setRecordingIndex(row);
        if (ViewController* recorder = m_appDelegate->audioViewScreen) {
            recorder->setTitle(list[row]->name());
            if (navigationController())
                navigationController()->pushViewController(recorder, true);
        }
        return;
    }
    table->deselectRowAtIndexPath(row, false);
    if (row < 0 || row >= list.size())
        return; // the insertion row
    m_appDelegate->setRecordingIndex(row);
    openRenamePrompt(row);
}

void Level2ViewController::openRenamePrompt(int row)
{
    const QString name = currentList()[row]->name();
    auto* alert =
        new AlertView(tr("Enter Recording Name"), tr("this gets covered"),
                      [this](AlertView* a, int index) { alertViewClickedButtonAtIndex(a, index); },
                      tr("Cancel"), {tr("OK")});
    alert->addTextField(name.startsWith(QLatin1String("New Memo")) ? QString() : name);
    m_renamePrompt = alert;
    m_renameTarget = currentList()[row];
    alert->show();
}

void Level2ViewController::tableViewAccessoryButtonTappedForRowWithIndexPath(TableView*, int row)
{
    if (row < 0 || row >= currentList().size())
        return;
    m_appDelegate->setRecordingIndex(row);
    if (m_itemDetailsController && navigationController())
        navigationController()->pushViewController(m_itemDetailsController, true);
}

// ---- Search field ----

void Level2ViewController::searchBarTextDidBeginEditing(SearchBar* searchBar)
{
    searchBar->setShowsCancelButton(true);
}

void Level2ViewController::searchBarTextDidEndEditing(SearchBar* searchBar)
{
    searchBar->setShowsCancelButton(false);
}

void Level2ViewController::searchBarTextDidChange(SearchBar*, const QString& text)
{
    // recordingIndex is left alone: it now counts in the filtered list.
    m_appDelegate->setSearchText(text);
    reloadList();
    updateLabels();
}

void Level2ViewController::searchBarCancelButtonClicked(SearchBar* searchBar)
{
    m_appDelegate->setSearchText(QString());
    reloadList();
    searchBar->resignFirstResponder();
    searchBar->setText(QString());
    updateLabels();
}

void Level2ViewController::searchBarSearchButtonClicked(SearchBar* searchBar)
{
    searchBar->resignFirstResponder();
}

// ---- Actions ----

void Level2ViewController::alertViewClickedButtonAtIndex(AlertView* alert, int buttonIndex)
{
    const std::shared_ptr<Recording> target = std::exchange(m_renameTarget, nullptr);
    if (buttonIndex != 1 || !alert->textField() || !target)
        return;
    // Renamed by identity: a search may hide it afterwards, but it stays the current recording
    // (recordingIndex then finds it nowhere in the list, and no other recording takes its place).
    const bool inLibrary = m_appDelegate->recordings().contains(target);
    if (!inLibrary)
        return; // deleted while the prompt was open
    target->setName(alert->textField()->text());
    listChanged();
    m_appDelegate->libraryEdited(true);
    reloadList();
    updateLabels();
}

QString Level2ViewController::countText(int listed, int all, const QString& searchText)
{
    // The English texts name one result for 0 and 1; the catalogues give each count its form.
    if (!searchText.isEmpty())
        return (listed > 1 ? tr("%n Results found for \"%1\"", nullptr, listed)
                           : tr("%n Result found for \"%1\"", nullptr, listed))
            .arg(searchText);
    return tr("%1 of %n files", nullptr, all).arg(listed);
}

void Level2ViewController::updateLabels()
{
    m_countLabel->setText(countText(int(currentList().size()),
                                    int(m_appDelegate->recordings().size()),
                                    m_appDelegate->searchText()));
    m_freeLabel->setText(m_appDelegate->getUsageString());
}

// ---- Life cycle ----

void Level2ViewController::viewWillAppear(bool)
{
    reloadList();
    m_tableView->deselectRowAtIndexPath(m_tableView->indexPathForSelectedRow(), false);
    m_editButton->setSystemItem(m_editing ? NavigationBarButton::SystemItem::Done
                                          : NavigationBarButton::SystemItem::Edit);
    setRightBarButton(m_editButton);
    const auto& categories = m_appDelegate->categories();
    const int index = m_appDelegate->categoryIndex();
    const QString name =
        index >= 0 && index < categories.size() ? categories[index]->name() : QString();
    setTitle(name == QLatin1String(kAllRecordingsCategory) ? tr("All") : name);
}

void Level2ViewController::viewDidAppear(bool)
{
    m_searchBar->setText(m_appDelegate->searchText());
    updateLabels();
}
