// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

#include <QString>

class QSettings;
class WWWViewController;

// The help list: five entries, each opening its help page on the page screen. The pages are
// found under the base address in the setting "help_url" (a web address, or a local folder);
// without it, the help pages that ship with the program.
class AppInfoController : public ViewController,
                          public TableViewDataSource,
                          public TableViewDelegate
{
    Q_OBJECT
public:
    static constexpr const char* kInfoCellIdentifier = "MyInfoIdentifier";
    static constexpr int kEntryCount = 5;

    AppInfoController(QSettings& userDefaults, WWWViewController* webViewController,
                      QWidget* parent = nullptr);

    TableView* table() const { return m_table; }
    WWWViewController* webViewController() const { return m_webViewController; }
    void setWebViewController(WWWViewController* screen) { m_webViewController = screen; }

    // The entry's title and page path; empty outside 0 to 4.
    static QString entryTitle(int row);
    static QString entryPath(int row);
    // The base the paths are joined to: the setting, or the bundled pages' folder.
    QString helpBase() const;
    // The full address of an entry's page.
    QString pageAddress(int row) const;

    int tableViewNumberOfRowsInSection(TableView* table, int section) override;
    TableViewCell* tableViewCellForRowAtIndexPath(TableView* table, int row) override;
    std::optional<TableViewCell::AccessoryType>
    tableViewAccessoryTypeForRowWithIndexPath(TableView* table, int row) override;
    TableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(TableView* table,
                                                                     int row) override;
    void tableViewDidSelectRowAtIndexPath(TableView* table, int row) override;
    static bool shouldAutorotateToInterfaceOrientation(Qt::ScreenOrientation orientation)
    {
        return orientation == Qt::PortraitOrientation ||
               orientation == Qt::InvertedPortraitOrientation;
    }

    void viewWillAppear(bool animated) override;

private:
    QSettings& m_userDefaults;
    TableView* m_table;
    WWWViewController* m_webViewController;
};
