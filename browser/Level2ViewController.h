// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/LibraryListScreen.h"
#include "core/AppDelegate.h"
#include "platform/ui/SearchBar.h"

class AlertView;

// The recording list of the current category, filtered by the search field: one row per
// recording with its photo, name, date, place and duration. Choosing a row opens the recording
// on the recorder screen; its detail button opens the details screen. In edit mode recordings
// are renamed (by choosing them), added (the last row), deleted and reordered.
//
// The rows are always the current view list (the current category's recordings that pass the
// search text, in library order); row numbers are positions in it, and recordingIndex is set
// from them. The list is built once per table reload and whenever the library, the category or
// the search text changes, not once per row, so a long library stays quick to show and scroll.
class Level2ViewController : public LibraryListScreen, public SearchBarDelegate
{
    Q_OBJECT
public:
    static constexpr const char* kCell2Identifier = "MyOtherIdentifier";
    // The views of a recording row, found again by these tags when a cell is reused.
    enum Tag
    {
        kPhotoTag = 1,
        kNameTag = 2,
        kDateTag = 3,
        kPlaceTag = 4,
        kDurationTag = 5,
    };

    explicit Level2ViewController(AppDelegate* appDelegate, QWidget* parent = nullptr);

    SearchBar* searchBar() const { return m_searchBar; }

    // The details screen, pushed by a row's detail button; none until one is connected.
    ViewController* itemDetailsController() const { return m_itemDetailsController; }
    void setItemDetailsController(ViewController* screen) { m_itemDetailsController = screen; }

    // The current view list as the table shows it now.
    const AppDelegate::RecordingList& currentList();

    // ---- Table ----
    TableViewCell* tableViewCellForRowAtIndexPath(TableView* table, int row) override;
    void tableViewMoveRowAtIndexPath(TableView* table, int from, int to) override;
    void tableViewCommitEditingStyle(TableView* table, TableViewCellEditingStyle style,
                                     int row) override;
    void tableViewDidSelectRowAtIndexPath(TableView* table, int row) override;
    void tableViewAccessoryButtonTappedForRowWithIndexPath(TableView* table, int row) override;

    // ---- Search field ----
    void searchBarTextDidBeginEditing(SearchBar* searchBar) override;
    void searchBarTextDidEndEditing(SearchBar* searchBar) override;
    void searchBarTextDidChange(SearchBar* searchBar, const QString& text) override;
    void searchBarCancelButtonClicked(SearchBar* searchBar) override;
    void searchBarSearchButtonClicked(SearchBar* searchBar) override;

    // ---- Actions ----
    void alertViewClickedButtonAtIndex(AlertView* alert, int buttonIndex);
    void updateLabels();

    // ---- Life cycle ----
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    // The count line: "n of m files", or "n Result(s) found for "text"" while searching.
    static QString countText(int listed, int all, const QString& searchText);

private:
    // Forgets the list, so the next table query builds it afresh.
    void listChanged() { m_listValid = false; }
    // The list built afresh and shown.
    void reloadList() override;
    int itemCount() override;
    // Leaving edit mode writes the library again.
    void editingEnded() override;
    TableViewCell* makeCell();
    void openRenamePrompt(int row);

    ViewController* m_itemDetailsController = nullptr;
    // The recording the open rename prompt renames, whatever the list shows meanwhile.
    std::shared_ptr<Recording> m_renameTarget;
    SearchBar* m_searchBar = nullptr;

    AppDelegate::RecordingList m_list;
    bool m_listValid = false;
};
