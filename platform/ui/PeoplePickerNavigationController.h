// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/system/AddressBook.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

// The people picker: the address book's names in order under a search field, with a Cancel
// button. It covers the window it is shown in (like a screen presented over the others) and
// leaves the screens below it as they are. Choosing a person asks the delegate whether to go
// on; the picker never edits anyone.
class PeoplePickerNavigationController : public QWidget
{
    Q_OBJECT
public:
    struct Delegate
    {
        std::function<void(PeoplePickerNavigationController*)> didCancel;
        // A person was chosen. The delegate dismisses the picker; the answer, whether to go on
        // to the person's details, is not used, as this picker shows none. Without a delegate,
        // choosing or cancelling dismisses the picker.
        std::function<bool(PeoplePickerNavigationController*, const AddressBook::Person&)>
            shouldContinueAfterSelectingPerson;
    };

    PeoplePickerNavigationController(std::vector<AddressBook::Person> people, Delegate delegate,
                                     QWidget* parent = nullptr);

    // Shows the picker over the whole of `window`.
    void presentOver(QWidget* window);
    // Hides the picker and deletes it once control is back in the event loop.
    void dismiss();

    const std::vector<AddressBook::Person>& people() const { return m_people; }
    // Names in the list as it is filtered now.
    QStringList visibleNames() const;
    QLineEdit* searchField() const { return m_search; }
    QPushButton* cancelButton() const { return m_cancel; }
    // Chooses the visible row (as a tap on it does).
    void selectRow(int row);

private:
    void filter(const QString& text);

    std::vector<AddressBook::Person> m_people;
    Delegate m_delegate;
    QLineEdit* m_search = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_cancel = nullptr;
};
