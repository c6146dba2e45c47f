// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/LibraryListScreen.h"

#include <memory>

#include <cstdint>

class AlertView;
class AppDelegate;
class Category;
class NavigationBarButton;
class Level2ViewController;

// The category list, the root screen: one row per category with the number of its
// recordings, the number of all recordings and the storage line below. Choosing a category
// opens its recording list. In edit mode categories are renamed (by choosing them), added (the
// last row), deleted and reordered; row 0, the all-recordings category, stays where it is.
class Level1ViewController : public LibraryListScreen
{
    Q_OBJECT
public:
    static constexpr const char* kCellIdentifier = "MyIdentifier";

    Level1ViewController(AppDelegate* appDelegate, Level2ViewController* level2ViewController,
                         QWidget* parent = nullptr);

    Level2ViewController* level2ViewController() const { return m_level2ViewController; }
    // The gear at the left of the navigation bar, shown when there is a settings screen.
    NavigationBarButton* settingsButton() const { return m_settingsButton; }
    void setSettingsViewController(ViewController* settings);

    // ---- Table ----
    TableViewCell* tableViewCellForRowAtIndexPath(TableView* table, int row) override;
    void tableViewMoveRowAtIndexPath(TableView* table, int from, int to) override;
    void tableViewCommitEditingStyle(TableView* table, TableViewCellEditingStyle style,
                                     int row) override;
    void tableViewDidSelectRowAtIndexPath(TableView* table, int row) override;

    // ---- Actions ----
    // Opens the settings screen on top of this one, as the gear does.
    void openSettings(bool animated);
    void alertViewClickedButtonAtIndex(AlertView* alert, int buttonIndex);

    // ---- Life cycle ----
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    // The row's text: "All (n)", "Name (n)" or, for the insertion row, "New Category".
    QString rowText(int row) const;
    // The footer's count: "n files" (in English, whatever n is).
    static QString filesText(int count);

private:
    int itemCount() override;
    // The all-recordings category stays first.
    int fixedRows() const override { return 1; }
    void openRenamePrompt(int row);

    Level2ViewController* m_level2ViewController = nullptr;
    // The category the open rename prompt renames, whatever moves in the list meanwhile.
    std::shared_ptr<Category> m_renameTarget;
    NavigationBarButton* m_settingsButton = nullptr;
    ViewController* m_settingsViewController = nullptr;
};
