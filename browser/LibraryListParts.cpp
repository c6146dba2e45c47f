// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/LibraryListParts.h"

#include "browser/LibraryFooter.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/TableView.h"

#include <QVBoxLayout>

LibraryListParts LibraryListParts::build(QWidget* screen, TableViewDataSource* dataSource,
                                         TableViewDelegate* delegate, const QString& tableName,
                                         QWidget* header, std::function<void()> record,
                                         std::function<void()> edit)
{
    LibraryListParts parts;
    parts.table = new TableView(screen);
    parts.table->setObjectName(tableName);
    parts.table->setDataSource(dataSource);
    parts.table->setDelegate(delegate);
    auto* footer = new LibraryFooter(screen);
    parts.countLabel = footer->countLabel();
    parts.freeLabel = footer->freeLabel();
    parts.recordButton = footer->recordButton();
    QObject::connect(parts.recordButton, &QAbstractButton::clicked, screen, std::move(record));
    auto* layout = new QVBoxLayout(screen);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (header)
        layout->addWidget(header);
    layout->addWidget(parts.table, 1);
    layout->addWidget(footer);

    parts.editButton = new NavigationBarButton(NavigationBarButton::SystemItem::Edit, screen);
    parts.editButton->setObjectName(QStringLiteral("editButton"));
    parts.editButton->hide();
    QObject::connect(parts.editButton, &QAbstractButton::clicked, screen, std::move(edit));
    return parts;
}
