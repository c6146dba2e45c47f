// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/PeoplePickerNavigationController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

PeoplePickerNavigationController::PeoplePickerNavigationController(
    std::vector<AddressBook::Person> people, Delegate delegate, QWidget* parent)
    : QWidget(parent)
    , m_people(std::move(people))
    , m_delegate(std::move(delegate))
{
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* bar = new QHBoxLayout;
    auto* title = new QLabel(tr("Contacts"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    m_cancel = new QPushButton(tr("Cancel"), this);
    bar->addWidget(title);
    bar->addStretch();
    bar->addWidget(m_cancel);
    layout->addLayout(bar);
    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(tr("Search"));
    m_search->setAccessibleName(tr("Search"));
    m_search->setClearButtonEnabled(true);
    layout->addWidget(m_search);
    m_list = new QListWidget(this);
    layout->addWidget(m_list, 1);
    if (m_people.empty()) {
        auto* empty = new QLabel(tr("No contacts. Sonavell reads vCard files from "
                                    "~/.local/share/contacts and from the contacts_path setting."),
                                 this);
        empty->setWordWrap(true);
        layout->addWidget(empty);
    }
    for (size_t i = 0; i < m_people.size(); ++i) {
        auto* item = new QListWidgetItem(m_people[i].name, m_list);
        item->setData(Qt::UserRole, int(i));
    }

    connect(m_search, &QLineEdit::textChanged, this, &PeoplePickerNavigationController::filter);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_delegate.didCancel)
            m_delegate.didCancel(this);
        else
            dismiss();
    });
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { selectRow(m_list->row(item)); });
}

void PeoplePickerNavigationController::presentOver(QWidget* window)
{
    setParent(window);
    setGeometry(window->rect());
    show();
    raise();
    m_search->setFocus();
}

void PeoplePickerNavigationController::dismiss()
{
    hide();
    deleteLater();
}

QStringList PeoplePickerNavigationController::visibleNames() const
{
    QStringList names;
    for (int i = 0; i < m_list->count(); ++i)
        if (!m_list->item(i)->isHidden())
            names << m_list->item(i)->text();
    return names;
}

void PeoplePickerNavigationController::selectRow(int row)
{
    int visible = -1;
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->isHidden() || ++visible != row)
            continue;
        const AddressBook::Person& person =
            m_people[size_t(m_list->item(i)->data(Qt::UserRole).toInt())];
        if (m_delegate.shouldContinueAfterSelectingPerson)
            m_delegate.shouldContinueAfterSelectingPerson(this, person);
        else
            dismiss();
        return;
    }
}

void PeoplePickerNavigationController::filter(const QString& text)
{
    const QString needle = text.trimmed();
    for (int i = 0; i < m_list->count(); ++i) {
        const AddressBook::Person& person =
            m_people[size_t(m_list->item(i)->data(Qt::UserRole).toInt())];
        bool match = needle.isEmpty() || person.name.contains(needle, Qt::CaseInsensitive);
        for (const QString& email : person.emails)
            match = match || email.contains(needle, Qt::CaseInsensitive);
        m_list->item(i)->setHidden(!match);
    }
}
