// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/SettingsViewController.h"

#include "browser/BrowserLog.h"
#include "browser/SettingsCell.h"
#include "core/AppDelegate.h"
#include "platform/audio/AudioDevice.h"
#include "platform/system/LocationManager.h"
#include "platform/system/SettingsKeys.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/FitLabel.h"
#include "platform/ui/SettingsTextField.h"
#include "platform/ui/SwitchControl.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

namespace {

enum class RowKind
{
    Switch,
    Text,
    Choice, // a value picked from a sheet
};

struct RowInfo
{
    const char* key;
    const char* title;
    RowKind kind;
};

constexpr RowInfo kRows[SettingsViewController::RowCount] = {
    {kAutoLocationStampKey, QT_TRANSLATE_NOOP("SettingsViewController", "Location stamping"),
     RowKind::Switch},
    {kPreservePitchKey, QT_TRANSLATE_NOOP("SettingsViewController", "Keep pitch at other speeds"),
     RowKind::Switch},
    {kInputDeviceKey, QT_TRANSLATE_NOOP("SettingsViewController", "Microphone"), RowKind::Choice},
    {kEmailSubjectKey, QT_TRANSLATE_NOOP("SettingsViewController", "E-mail subject"),
     RowKind::Text},
    {kEmailBodyKey, QT_TRANSLATE_NOOP("SettingsViewController", "E-mail text"), RowKind::Text},
    {kEmailFormatKey, QT_TRANSLATE_NOOP("SettingsViewController", "E-mail memos as"),
     RowKind::Choice},
    {kUploadUrlKey, QT_TRANSLATE_NOOP("SettingsViewController", "Upload server"), RowKind::Text},
    {kHelpUrlKey, QT_TRANSLATE_NOOP("SettingsViewController", "Help site"), RowKind::Text},
    {kPicturesPathKey, QT_TRANSLATE_NOOP("SettingsViewController", "Pictures"), RowKind::Text},
    {kContactsPathKey, QT_TRANSLATE_NOOP("SettingsViewController", "Contacts"), RowKind::Text},
};

QString homeShortened(const QString& path)
{
    const QString home = QDir::homePath();
    if (path == home || path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

// A typed path as a full one: "~" is the home folder, and a relative path starts there too,
// since the folder the program was started from means nothing on a phone.
QString expandPath(const QString& typed)
{
    QString path = typed;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    else if (QDir::isRelativePath(path))
        path = QDir::homePath() + QLatin1Char('/') + path;
    return QDir::cleanPath(path);
}

// A stored text as one string; a hand-edited value with a comma reads back as a list.
QString storedText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// The formats a memo can be e-mailed in: the stored value and what the screen calls it.
struct EmailFormatChoice
{
    const char* value;
    const char* title;
};
constexpr EmailFormatChoice kEmailFormats[] = {
    {"wav", QT_TRANSLATE_NOOP("SettingsViewController", "WAV (as recorded)")},
    {"opus", QT_TRANSLATE_NOOP("SettingsViewController", "Opus (smallest)")},
    {"flac", QT_TRANSLATE_NOOP("SettingsViewController", "FLAC (lossless)")},
};

bool isWebAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

} // namespace

SettingsViewController::SettingsViewController(AppDelegate* appDelegate, QWidget* parent)
    : ViewController(parent)
    , m_appDelegate(appDelegate)
{
    setTitle(tr("Settings"));
    m_tableView = new TableView(this);
    m_tableView->setObjectName(QStringLiteral("settingsTable"));
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tableView);

    const QString pictures =
        homeShortened(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    const QString placeholders[RowCount] = {
        QString(),
        QString(),
        QString(),
        QString(),
        QString(),
        QString(),
        tr("http://host:8025"),
        tr("Pages that come with it"),
        pictures,
        tr("A vCard file or folder"),
    };
    for (int row = 0; row < RowCount; ++row) {
        QWidget* control = nullptr;
        if (kRows[row].kind == RowKind::Switch) {
            auto* toggle = new SwitchControl;
            connect(toggle, &SwitchControl::valueChanged, this,
                    [this, row](SwitchControl* sender) { switchChanged(row, sender->isOn()); });
            control = toggle;
        } else if (kRows[row].kind == RowKind::Choice) {
            // The chosen value, in the colour of a text field's value; a tap on the row
            // offers the choice.
            auto* value = new FitLabel;
            value->setMinimumFontSize(11);
            QFont f = value->font();
            f.setPixelSize(15);
            value->setFont(f);
            value->setForegroundRole(QPalette::WindowText);
            QPalette palette = value->palette();
            palette.setColor(QPalette::WindowText, QColor(0x38, 0x54, 0x87));
            value->setPalette(palette);
            value->setAttribute(Qt::WA_TransparentForMouseEvents);
            value->setAccessibleName(tr(kRows[row].title));
            (row == InputDeviceRow ? m_inputDeviceLabel : m_emailFormatLabel) = value;
            control = value;
        } else {
            auto* field = new SettingsTextField;
            field->setPlaceholderText(placeholders[row]);
            connect(field, &SettingsTextField::textCommitted, this,
                    [this, row](SettingsTextField* sender, const QString& text) {
                        textCommitted(row, sender, text);
                    });
            control = field;
        }
        control->setObjectName(QString::fromLatin1(kRows[row].key));
        m_cells[row] = new SettingsCell(QStringLiteral("SettingsRow%1").arg(row),
                                        tr(kRows[row].title), control, this);
        m_cells[row]->hide();
    }
    loadValues();
}

const char* SettingsViewController::keyForRow(int row)
{
    return row >= 0 && row < RowCount ? kRows[row].key : nullptr;
}

SwitchControl* SettingsViewController::switchForRow(int row) const
{
    return row >= 0 && row < RowCount ? qobject_cast<SwitchControl*>(m_cells[row]->control())
                                      : nullptr;
}

QString SettingsViewController::inputDeviceText() const
{
    return m_inputDeviceLabel->text();
}

SettingsTextField* SettingsViewController::textFieldForRow(int row) const
{
    return row >= 0 && row < RowCount ? qobject_cast<SettingsTextField*>(m_cells[row]->control())
                                      : nullptr;
}

QString SettingsViewController::checkText(int row, QString& value)
{
    if (row == EmailSubjectRow || row == EmailBodyRow)
        return {}; // any text, kept as typed
    value = value.trimmed();
    if (value.isEmpty())
        return {};
    switch (row) {
    case UploadUrlRow: {
        if (!value.contains(QLatin1String("://")))
            value.prepend(QLatin1String("http://"));
        if (isWebAddress(QUrl(value, QUrl::StrictMode)))
            return {};
        return tr("\"%1\" is not the address of an upload server. Enter it as http://HOST:PORT, "
                  "for example http://192.168.1.10:8025.")
            .arg(value);
    }
    case HelpUrlRow: {
        if (value.contains(QLatin1String("://"))) {
            const QUrl url(value, QUrl::StrictMode);
            if (isWebAddress(url) || (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir()))
                return {};
            return tr("\"%1\" is neither a web address (http:// or https://) nor a folder "
                      "that exists.")
                .arg(value);
        }
        const QString path = expandPath(value);
        if (QFileInfo(path).isDir()) {
            value = path;
            return {};
        }
        return tr("There is no folder \"%1\".").arg(path);
    }
    case PicturesPathRow: {
        const QString path = expandPath(value);
        if (QFileInfo(path).isDir()) {
            value = path;
            return {};
        }
        return tr("There is no folder \"%1\".").arg(path);
    }
    case ContactsPathRow: {
        const QString path = expandPath(value);
        if (QFileInfo::exists(path)) {
            value = path;
            return {};
        }
        return tr("There is no vCard file or folder \"%1\".").arg(path);
    }
    default:
        return {};
    }
}

void SettingsViewController::loadValues()
{
    QSettings& settings = m_appDelegate->userDefaults();
    for (int row = 0; row < RowCount; ++row) {
        const QVariant value = settings.value(QLatin1String(kRows[row].key));
        if (SwitchControl* toggle = switchForRow(row))
            toggle->setOn(value.toBool());
        else if (SettingsTextField* field = textFieldForRow(row))
            field->setStoredText(storedText(value));
    }
    showInputDevice();
    showEmailFormat();
}

QString SettingsViewController::emailFormatText() const
{
    return m_emailFormatLabel->text();
}

void SettingsViewController::showEmailFormat()
{
    const QString stored =
        m_appDelegate->userDefaults().value(QLatin1String(kEmailFormatKey)).toString();
    for (const EmailFormatChoice& choice : kEmailFormats) {
        if (stored == QLatin1String(choice.value)) {
            m_emailFormatLabel->setText(tr(choice.title));
            return;
        }
    }
    // Unset, or a hand-edited value the composition screen does not know: memos go as WAV.
    m_emailFormatLabel->setText(tr(kEmailFormats[0].title));
}

void SettingsViewController::chooseEmailFormat()
{
    QStringList titles;
    for (const EmailFormatChoice& choice : kEmailFormats)
        titles << tr(choice.title);
    auto* sheet =
        new ActionSheet(tr("E-mail memos as"), nullptr, tr("Cancel"), QString(), titles, this);
    sheet->setDidDismissWithButtonIndex([this](ActionSheet* shown, int index) {
        shown->deleteLater();
        if (index < 0 || index >= int(std::size(kEmailFormats)))
            return; // Cancel
        QSettings& settings = m_appDelegate->userDefaults();
        settings.setValue(QLatin1String(kEmailFormatKey),
                          QString::fromLatin1(kEmailFormats[index].value));
        settings.sync();
        showEmailFormat();
    });
    sheet->showInView(this);
}

QList<AudioInputSource> SettingsViewController::inputSources() const
{
    const std::shared_ptr<AudioDevice> device = AudioDevice::defaultDevice();
    return device ? device->inputSources() : QList<AudioInputSource>();
}

void SettingsViewController::showInputDevice()
{
    const QString chosen =
        m_appDelegate->userDefaults().value(QLatin1String(kInputDeviceKey)).toString();
    if (chosen.isEmpty()) {
        m_inputDeviceLabel->setText(tr("Default input"));
        return;
    }
    for (const AudioInputSource& source : inputSources()) {
        if (source.name == chosen) {
            m_inputDeviceLabel->setText(source.description);
            return;
        }
    }
    // Unplugged: takes record from the default input until it is back.
    m_inputDeviceLabel->setText(tr("%1 (not connected)").arg(chosen));
}

void SettingsViewController::chooseInputDevice()
{
    // The sheet offers the sources there are now; each button stands for its source by name,
    // so a device plugged in or out while the sheet shows cannot shift what a button means.
    const QList<AudioInputSource> sources = inputSources();
    QStringList titles{tr("Default input")};
    QStringList names{QString()};
    for (const AudioInputSource& source : sources) {
        titles << source.description;
        names << source.name;
    }
    auto* sheet =
        new ActionSheet(tr("Record from"), nullptr, tr("Cancel"), QString(), titles, this);
    sheet->setDidDismissWithButtonIndex([this, names](ActionSheet* shown, int index) {
        shown->deleteLater();
        if (index < 0 || index >= names.size())
            return; // Cancel
        QSettings& settings = m_appDelegate->userDefaults();
        if (names[index].isEmpty())
            settings.remove(QLatin1String(kInputDeviceKey));
        else
            settings.setValue(QLatin1String(kInputDeviceKey), names[index]);
        settings.sync();
        showInputDevice();
    });
    sheet->showInView(this);
}

void SettingsViewController::switchChanged(int row, bool on)
{
    QSettings& settings = m_appDelegate->userDefaults();
    settings.setValue(QLatin1String(kRows[row].key), on);
    settings.sync();
    if (row != LocationStampRow || !on)
        return;
    // Switched on in this run: the fix is looked for now rather than at the next start, so
    // the next take is stamped.
    LocationManager* location = m_appDelegate->locationManager();
    if (!m_appDelegate->foundLocation() && location && !location->isUpdating() &&
        !m_appDelegate->findLocation())
        qCInfo(lcBrowser) << "Location stamping is on, but there is no location service and no "
                             "position in the settings";
}

void SettingsViewController::textCommitted(int row, SettingsTextField* field, const QString& text)
{
    QString value = text;
    const QString problem = checkText(row, value);
    if (!problem.isEmpty()) {
        auto* alert = new AlertView(tr("Not Saved"),
                                    problem + QLatin1Char(' ') + tr("The setting stays as it was."),
                                    nullptr, tr("OK"));
        alert->show();
        return;
    }
    QSettings& settings = m_appDelegate->userDefaults();
    const QLatin1String key(kRows[row].key);
    if (value.isEmpty())
        settings.remove(key);
    else
        settings.setValue(key, value);
    settings.sync();
    field->setStoredText(value);
}

// ---- Table ----

int SettingsViewController::tableViewNumberOfRowsInSection(TableView*, int)
{
    return RowCount;
}

TableViewCell* SettingsViewController::tableViewCellForRowAtIndexPath(TableView* table, int row)
{
    if (row < 0 || row >= RowCount)
        return nullptr;
    // Every row has a cell of its own, which keeps its control (and a text being typed) while
    // it is scrolled away.
    if (TableViewCell* cell =
            table->dequeueReusableCellWithIdentifier(m_cells[row]->reuseIdentifier()))
        return cell;
    return m_cells[row];
}

TableViewCellEditingStyle SettingsViewController::tableViewEditingStyleForRowAtIndexPath(TableView*,
                                                                                         int)
{
    return TableViewCellEditingStyle::None;
}

void SettingsViewController::tableViewDidSelectRowAtIndexPath(TableView* table, int row)
{
    table->deselectRowAtIndexPath(row, false);
    if (row == InputDeviceRow) {
        chooseInputDevice();
        return;
    }
    if (row == EmailFormatRow) {
        chooseEmailFormat();
        return;
    }
    // A tap beside a text field still means the field.
    if (SettingsTextField* field = textFieldForRow(row))
        field->setFocus(Qt::MouseFocusReason);
}

// ---- Life cycle ----

void SettingsViewController::viewWillAppear(bool)
{
    loadValues();
    m_tableView->reloadData();
}

void SettingsViewController::viewWillDisappear(bool)
{
    for (int row = 0; row < RowCount; ++row)
        if (SettingsTextField* field = textFieldForRow(row))
            field->commit();
}
