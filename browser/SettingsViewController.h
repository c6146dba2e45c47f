// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioDevice.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

#include <array>

class AppDelegate;
class FitLabel;
class SettingsCell;
class SettingsTextField;
class SwitchControl;

// The settings screen: the user's settings that the other screens read, each on a row of its
// own — location stamping and pitch keeping as switches; the microphone takes record from,
// picked from the sound server's inputs on a sheet; the e-mail subject and text, the
// upload server, the help site, the pictures folder and the contacts file or folder as text
// fields. A switch is written as it is flipped, a text when its editing ends (and, for the
// field being edited, when the screen is left). An address or a path that cannot work is
// refused with an alert that says why, and the stored value stays as it was; an emptied field
// removes the setting, so its default applies again.
class SettingsViewController : public ViewController,
                               public TableViewDataSource,
                               public TableViewDelegate
{
    Q_OBJECT
public:
    enum Row
    {
        LocationStampRow,
        PreservePitchRow,
        InputDeviceRow,
        EmailSubjectRow,
        EmailBodyRow,
        EmailFormatRow,
        UploadUrlRow,
        HelpUrlRow,
        PicturesPathRow,
        ContactsPathRow,
        RowCount
    };

    explicit SettingsViewController(AppDelegate* appDelegate, QWidget* parent = nullptr);

    TableView* tableView() const { return m_tableView; }
    // The settings key a row writes.
    static const char* keyForRow(int row);
    // The row's control: a switch for the first two rows, a text field for those after the
    // microphone row (null for the other kind).
    SwitchControl* switchForRow(int row) const;
    SettingsTextField* textFieldForRow(int row) const;
    // What the microphone row shows: the chosen input's description, "Default input", or the
    // chosen input's name with "(not connected)" while it is unplugged.
    QString inputDeviceText() const;
    // Offers the inputs there are now on a sheet; the one picked is stored for the next takes.
    void chooseInputDevice();
    // What the e-mail format row shows: "WAV", "Opus" or "FLAC".
    QString emailFormatText() const;
    // Offers the formats a memo is e-mailed in on a sheet; the one picked is stored.
    void chooseEmailFormat();

    // Checks a text for a row and brings it into the form that is stored (an address without a
    // scheme gets "http://", "~" becomes the home folder). Returns why the text cannot be
    // stored, or an empty string when `value` may be stored.
    static QString checkText(int row, QString& value);

    // ---- Table ----
    int tableViewNumberOfRowsInSection(TableView* table, int section) override;
    TableViewCell* tableViewCellForRowAtIndexPath(TableView* table, int row) override;
    TableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(TableView* table,
                                                                     int row) override;
    void tableViewDidSelectRowAtIndexPath(TableView* table, int row) override;

    // ---- Life cycle ----
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

private:
    void loadValues();
    QList<AudioInputSource> inputSources() const;
    void showInputDevice();
    void showEmailFormat();
    void switchChanged(int row, bool on);
    void textCommitted(int row, SettingsTextField* field, const QString& text);

    AppDelegate* m_appDelegate;
    TableView* m_tableView = nullptr;
    FitLabel* m_inputDeviceLabel = nullptr;
    FitLabel* m_emailFormatLabel = nullptr;
    std::array<SettingsCell*, RowCount> m_cells{};
};
