#include "platform/ui/ActionSheet.h"

#include "platform/ui/AlertLayer.h"
#include "platform/ui/PlatformUiLog.h"
#include "platform/ui/PresentationRegistry.h"
#include "platform/ui/Toolbar.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
PresentationRegistry<ActionSheet>& registry()
{
    static PresentationRegistry<ActionSheet> sheets;
    return sheets;
}

const char* kButtonStyle =
    "QPushButton { border: 1px solid #0b0c0e; border-radius: 9px; padding: 9px;"
    " font-weight: bold; font-size: 15px; color: %1;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %2, stop:1 %3); }"
    "QPushButton:pressed { background: %3; }";
} // namespace

ActionSheet::ActionSheet(const QString& title, Handler clickedButtonAtIndex,
                         const QString& cancelButtonTitle, const QString& destructiveButtonTitle,
                         const QStringList& otherButtonTitles, QObject* parent)
    : QObject(parent)
    , m_title(title)
    , m_clicked(std::move(clickedButtonAtIndex))
{
    if (!destructiveButtonTitle.isEmpty()) {
        m_destructiveIndex = 0;
        m_buttons << destructiveButtonTitle;
    }
    m_buttons << otherButtonTitles;
    if (!cancelButtonTitle.isEmpty()) {
        m_cancelIndex = static_cast<int>(m_buttons.size());
        m_buttons << cancelButtonTitle;
    }
}

ActionSheet::~ActionSheet()
{
    registry().gone(this);
    AlertLayer::withdraw(this);
}

int ActionSheet::addButtonWithTitle(const QString& title)
{
    m_buttons << title;
    return static_cast<int>(m_buttons.size()) - 1;
}

void ActionSheet::showFromToolbar(Toolbar* toolbar)
{
    showInView(toolbar);
}

void ActionSheet::showInView(QWidget* view)
{
    if (m_visible)
        return;
    m_visible = true;
    registry().shown(this, m_title + QStringLiteral(" [") + m_buttons.join(QLatin1Char('|')) +
                               QLatin1Char(']'));
    qCInfo(lcPlatformUi).noquote()
        << "Action sheet:" << m_title << "-" << m_buttons.join(QStringLiteral(", "));

    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        AlertLayer::present(
            this, view, [this](QWidget* overlay) { buildPanel(overlay); },
            [this] {
                if (m_cancelIndex >= 0)
                    dismissWithClickedButtonIndex(m_cancelIndex);
            });
}

void ActionSheet::buildPanel(QWidget* overlay)
{
    // The sheet sits at the bottom of the dimmed application view.
    auto* outer = new QVBoxLayout(overlay);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addStretch(1);
    auto* panel = new QWidget(overlay);
    m_panel = panel;
    panel->setObjectName(QStringLiteral("ActionSheetPanel"));
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setStyleSheet(
        QStringLiteral("#ActionSheetPanel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                       " stop:0 rgba(60,63,70,240), stop:1 rgba(20,21,24,245));"
                       " border-top: 1px solid #6a707b; }"));
    outer->addWidget(panel);

    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(18, 12, 18, 16);
    column->setSpacing(8);
    if (!m_title.isEmpty()) {
        auto* label = new QLabel(m_title, panel);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(
            QStringLiteral("color: #e2e6ed; background: transparent; font-size: 13px;"));
        column->addWidget(label);
    }
    for (int i = 0; i < m_buttons.size(); ++i) {
        auto* button = new QPushButton(m_buttons[i], panel);
        button->setObjectName(QStringLiteral("actionSheetButton"));
        button->setFocusPolicy(Qt::NoFocus);
        QString style = QString::fromLatin1(kButtonStyle);
        if (i == m_destructiveIndex)
            style = style.arg(QStringLiteral("white"), QStringLiteral("#ef5a50"),
                              QStringLiteral("#b3231b"));
        else if (i == m_cancelIndex)
            style = style.arg(QStringLiteral("white"), QStringLiteral("#4a4e57"),
                              QStringLiteral("#202226"));
        else
            style = style.arg(QStringLiteral("#15171a"), QStringLiteral("#fbfbfc"),
                              QStringLiteral("#c9ccd2"));
        button->setStyleSheet(style);
        if (i == m_cancelIndex)
            column->addSpacing(6);
        column->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, i] { dismissWithClickedButtonIndex(i); });
    }
}

void ActionSheet::dismissWithClickedButtonIndex(int index)
{
    if (!m_visible)
        return;
    m_visible = false;
    registry().gone(this);
    AlertLayer::withdraw(this);
    m_panel = nullptr;

    const QPointer<ActionSheet> self(this);
    // Copies: a handler may delete the sheet, and with it the handlers.
    const Handler clicked = m_clicked;
    const Handler dismissed = m_didDismiss;
    if (clicked)
        clicked(this, index);
    if (self && dismissed)
        dismissed(this, index);
}

std::vector<ActionSheet*> ActionSheet::visibleSheets()
{
    return registry().visible();
}

QStringList ActionSheet::history()
{
    return registry().history();
}

void ActionSheet::clearHistory()
{
    registry().clearHistory();
}
