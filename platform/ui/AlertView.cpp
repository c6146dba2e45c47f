#include "platform/ui/AlertView.h"
#include "platform/ui/PlatformUiLog.h"
#include "platform/ui/PresentationRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
PresentationRegistry<AlertView>& registry()
{
    static PresentationRegistry<AlertView> alerts;
    return alerts;
}
} // namespace

AlertView::AlertView(const QString& title, const QString& message, Delegate delegate,
                     const QString& cancelButtonTitle, const QStringList& otherButtonTitles)
    : m_title(title)
    , m_message(message)
    , m_delegate(std::move(delegate))
{
    if (!cancelButtonTitle.isEmpty())
        m_buttons << cancelButtonTitle;
    m_buttons << otherButtonTitles;
}

AlertView::~AlertView()
{
    registry().gone(this);
    delete m_box.data();
    delete m_textField.data();
}

QLineEdit* AlertView::addTextField(const QString& text)
{
    if (!m_textField) {
        m_textField = new QLineEdit;
        m_textField->setObjectName(QStringLiteral("alertTextField"));
        m_textField->setStyleSheet(
            QStringLiteral("QLineEdit { background: white; color: black; border: 1px solid #7d828a;"
                           " padding: 2px 4px; }"));
        m_textField->setInputMethodHints(Qt::ImhNoPredictiveText);
    }
    m_textField->setText(text);
    return m_textField;
}

void AlertView::show()
{
    if (m_visible)
        return;
    m_visible = true;
    registry().shown(this, m_title + QStringLiteral(": ") + m_message);
    qCInfo(lcPlatformUi).noquote() << "Alert:" << m_title << "-" << m_message;

    // A real window only where there is a screen; headless runs keep the record alone.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (m_textField) {
        showWithTextField();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, m_title, m_message);
    m_box = box;
    box->setWindowModality(Qt::NonModal);
    for (int i = 0; i < m_buttons.size(); ++i) {
        QAbstractButton* button = box->addButton(m_buttons[i], QMessageBox::AcceptRole);
        connect(button, &QAbstractButton::clicked, this,
                [this, i] { dismissWithClickedButtonIndex(i); });
    }
    box->show();
}

void AlertView::showWithTextField()
{
    // The title, the field where the message would be, and the buttons in a row. The field
    // has the keyboard at once, so the user can type straight away; Return answers with the
    // last button (OK in a Cancel/OK prompt).
    auto* dialog = new QDialog(QApplication::activeWindow());
    m_box = dialog;
    dialog->setWindowTitle(m_title);
    dialog->setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(dialog);
    auto* title = new QLabel(m_title, dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    m_textField->setParent(dialog);
    m_textField->setFixedWidth(260);
    column->addWidget(m_textField, 0, Qt::AlignHCenter);
    auto* buttons = new QDialogButtonBox(dialog);
    for (int i = 0; i < m_buttons.size(); ++i) {
        QPushButton* button = buttons->addButton(m_buttons[i], QDialogButtonBox::ActionRole);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, i] { dismissWithClickedButtonIndex(i); });
    }
    column->addWidget(buttons);
    connect(m_textField, &QLineEdit::returnPressed, this,
            [this] { dismissWithClickedButtonIndex(int(m_buttons.size()) - 1); });
    connect(dialog, &QDialog::rejected, this, [this] { dismissWithClickedButtonIndex(0); });
    dialog->show();
    dialog->activateWindow();
    m_textField->setFocus(Qt::OtherFocusReason);
    m_textField->selectAll();
}

void AlertView::dismissWithClickedButtonIndex(int index)
{
    if (!m_visible)
        return;
    m_visible = false;
    registry().gone(this);
    if (m_box) {
        // The field outlives the window until the alert goes, so the delegate can read it.
        if (m_textField)
            m_textField->setParent(nullptr);
        m_box->hide();
    }
    if (m_delegate)
        m_delegate(this, index);
    deleteLater();
}

std::vector<AlertView*> AlertView::visibleAlerts()
{
    return registry().visible();
}

QStringList AlertView::history()
{
    return registry().history();
}

void AlertView::clearHistory()
{
    registry().clearHistory();
}
