// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class NavigationBarButton;
class QAbstractButton;
class QLabel;
class QWidget;
class TableView;
class TableViewDataSource;
class TableViewDelegate;

// What both list screens are made of: an optional header (the search bar), the table, the footer
// with its count and storage lines and the button to the recorder, and the Edit button the
// screen puts into the navigation bar when it appears.
struct LibraryListParts
{
    // Builds the parts into `screen`, which serves the table as its data source and delegate.
    template <typename Screen>
    static LibraryListParts build(Screen* screen, const QString& tableName, QWidget* header,
                                  std::function<void()> record, std::function<void()> edit)
    {
        return build(screen, screen, screen, tableName, header, std::move(record), std::move(edit));
    }
    static LibraryListParts build(QWidget* screen, TableViewDataSource* dataSource,
                                  TableViewDelegate* delegate, const QString& tableName,
                                  QWidget* header, std::function<void()> record,
                                  std::function<void()> edit);

    TableView* table = nullptr;
    QLabel* countLabel = nullptr;
    QLabel* freeLabel = nullptr;
    QAbstractButton* recordButton = nullptr;
    NavigationBarButton* editButton = nullptr;
};
