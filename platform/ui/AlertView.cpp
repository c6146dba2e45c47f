#include "platform/ui/AlertView.h"
#include "platform/ui/PlatformUiLog.h"
#include "platform/ui/PresentationRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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
    registry().gone(this);
    if (m_box)
        m_box->hide();
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
