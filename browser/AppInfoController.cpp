// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/AppInfoController.h"

#include "browser/WWWViewController.h"
#include "platform/system/Bundle.h"
#include "platform/system/SettingsKeys.h"
#include "platform/ui/NavigationController.h"

#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

namespace {
struct Entry
{
    const char* title;
    const char* path;
};
constexpr Entry kEntries[AppInfoController::kEntryCount] = {
    {QT_TRANSLATE_NOOP("AppInfoController", "Sonavell Manual"), "/support/"},
    {QT_TRANSLATE_NOOP("AppInfoController", "Edit your Memos"), "/editMemos/"},
    {QT_TRANSLATE_NOOP("AppInfoController", "Report a Bug"), "/support/report/"},
    {QT_TRANSLATE_NOOP("AppInfoController", "Request a Feature"), "/support/requestFeature/"},
    {QT_TRANSLATE_NOOP("AppInfoController", "Sonavell Website"), "/"},
};
} // namespace

AppInfoController::AppInfoController(QSettings& userDefaults, WWWViewController* webViewController,
                                     QWidget* parent)
    : ViewController(parent)
    , m_userDefaults(userDefaults)
    , m_table(new TableView(this))
    , m_webViewController(webViewController)
{
    setTitle(tr("Help"));
    m_table->setObjectName(QStringLiteral("infoTable"));
    m_table->setDataSource(this);
    m_table->setDelegate(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
}

QString AppInfoController::entryTitle(int row)
{
    return row >= 0 && row < kEntryCount ? tr(kEntries[row].title) : QString();
}

QString AppInfoController::entryPath(int row)
{
    return row >= 0 && row < kEntryCount ? QString::fromLatin1(kEntries[row].path) : QString();
}

QString AppInfoController::helpBase() const
{
    QString base = m_userDefaults.value(QLatin1String(kHelpUrlKey)).toString().trimmed();
    if (base.isEmpty()) {
        const QString folder = Bundle::resourceDirectory(QStringLiteral("help"));
        base = folder.isEmpty() ? QString() : QUrl::fromLocalFile(folder).toString();
    } else if (!base.contains(QLatin1String("://"))) {
        base = QUrl::fromLocalFile(base).toString(); // a plain folder path
    }
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString AppInfoController::pageAddress(int row) const
{
    const QString path = entryPath(row);
    return path.isEmpty() ? QString() : helpBase() + path;
}

int AppInfoController::tableViewNumberOfRowsInSection(TableView*, int)
{
    return kEntryCount;
}

TableViewCell* AppInfoController::tableViewCellForRowAtIndexPath(TableView* table, int row)
{
    const QString identifier = QLatin1String(kInfoCellIdentifier);
    TableViewCell* cell = table->dequeueReusableCellWithIdentifier(identifier);
    if (!cell)
        cell = new TableViewCell(identifier);
    cell->setText(entryTitle(row));
    return cell;
}

std::optional<TableViewCell::AccessoryType>
AppInfoController::tableViewAccessoryTypeForRowWithIndexPath(TableView*, int)
{
    return TableViewCell::AccessoryType::DisclosureIndicator;
}

TableViewCellEditingStyle AppInfoController::tableViewEditingStyleForRowAtIndexPath(TableView*, int)
{
    return TableViewCellEditingStyle::None; // the entries are fixed
}

void AppInfoController::tableViewDidSelectRowAtIndexPath(TableView* table, int row)
{
    table->deselectRowAtIndexPath(row, false);
    if (!m_webViewController)
        return;
    if (navigationController())
        navigationController()->pushViewController(m_webViewController, true);
    if (row >= 0 && row < kEntryCount) {
        m_webViewController->setTitle(entryTitle(row));
        m_webViewController->loadPage(pageAddress(row));
    }
}

void AppInfoController::viewWillAppear(bool)
{
    m_table->reloadData();
}
