#include "platform/ui/AlertView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {
std::vector<AlertView*>& visible()
{
    static std::vector<AlertView*> alerts;
    return alerts;
}
QStringList& shown()
{
    static QStringList list;
    return list;
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
    auto& list = visible();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    delete m_box.data();
}

void AlertView::show()
{
    if (m_visible)
        return;
    m_visible = true;
    visible().push_back(this);
    shown() << m_title + QStringLiteral(": ") + m_message;
    qInfo().noquote() << "Alert:" << m_title << "-" << m_message;

    // A real window only where there is a screen; headless runs keep the record alone.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    m_box = new QMessageBox(QMessageBox::NoIcon, m_title, m_message);
    m_box->setWindowModality(Qt::NonModal);
    for (int i = 0; i < m_buttons.size(); ++i) {
        QAbstractButton* button = m_box->addButton(m_buttons[i], QMessageBox::AcceptRole);
        connect(button, &QAbstractButton::clicked, this,
                [this, i] { dismissWithClickedButtonIndex(i); });
    }
    m_box->show();
}

void AlertView::dismissWithClickedButtonIndex(int index)
{
    if (!m_visible)
        return;
    m_visible = false;
    auto& list = visible();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (m_box)
        m_box->hide();
    if (m_delegate)
        m_delegate(this, index);
    deleteLater();
}

std::vector<AlertView*> AlertView::visibleAlerts()
{
    return visible();
}

QStringList AlertView::history()
{
    return shown();
}

void AlertView::clearHistory()
{
    shown().clear();
}
