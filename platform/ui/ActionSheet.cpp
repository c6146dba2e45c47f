// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ActionSheet.h"

#include "platform/ui/AlertLayer.h"
#include "platform/ui/AlertPanel.h"
#include "platform/ui/PanelScrollArea.h"
#include "platform/ui/PlatformUiLog.h"
#include "platform/ui/PresentationRegistry.h"
#include "platform/ui/Toolbar.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace {
PresentationRegistry<ActionSheet>& registry()
{
    static PresentationRegistry<ActionSheet> sheets;
    return sheets;
}

// %1 is the font size in pixels, %2 the text colour, %3 and %4 the gradient's ends.
const char* kButtonStyle =
    "QPushButton { border: 1px solid #0b0c0e; border-radius: 9px; padding: 9px; outline: none;"
    " font-weight: bold; font-size: %1px; color: %2;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %3, stop:1 %4); }"
    "QPushButton:pressed { background: %4; }";
constexpr int kButtonPadding = 9;
constexpr int kButtonFontPixels = 15;
constexpr int kButtonMinimumFontPixels = 10;
constexpr QMargins kSheetMargins(18, 12, 18, 16);
constexpr int kSheetSpacing = 8;
} // namespace

ActionSheet::ActionSheet(const QString& title, Handler clickedButtonAtIndex,
                         const QString& cancelButtonTitle, const QString& destructiveButtonTitle,
                         const QStringList& otherButtonTitles, QObject* parent)
    : LayerPresentation(title, parent)
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
    // The sheet sits at the bottom of the dimmed application view, as tall as its title and
    // buttons need. When they need more than the view's height, the title and the choices
    // scroll, and the cancel button stays in view below them.
    auto* outer = new QVBoxLayout(overlay);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addStretch(1);
    auto* panel = new AlertPanel(AlertPanel::Kind::ActionSheet, m_title, QString(), overlay);
    m_panel = panel;
    panel->setObjectName(QStringLiteral("ActionSheetPanel"));
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setStyleSheet(
        QStringLiteral("#ActionSheetPanel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                       " stop:0 rgba(60,63,70,240), stop:1 rgba(20,21,24,245));"
                       " border-top: 1px solid #6a707b; }"
                       " QScrollArea { background: transparent; border: none; }"));
    outer->addWidget(panel);

    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(kSheetMargins);
    column->setSpacing(kSheetSpacing);

    auto* scroll = new PanelScrollArea(QStringLiteral("actionSheetChoices"), panel);
    m_choicesArea = scroll;
    auto* choices = new QWidget;
    choices->setAutoFillBackground(false);
    auto* choiceColumn = new QVBoxLayout(choices);
    choiceColumn->setContentsMargins(0, 0, 0, 0);
    choiceColumn->setSpacing(kSheetSpacing);
    scroll->setWidget(choices);
    column->addWidget(scroll);

    if (!m_title.isEmpty()) {
        auto* label = new QLabel(m_title, choices);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(
            QStringLiteral("color: #e2e6ed; background: transparent; font-size: 13px;"));
        choiceColumn->addWidget(label);
    }
    // The cancel button stays out of the scrolled part when it is the last button; a button
    // added after it keeps the order, and every button scrolls.
    const bool cancelBelow = m_cancelIndex >= 0 && m_cancelIndex == m_buttons.size() - 1;
    // A button title too wide for the sheet is drawn smaller, down to a size that stays readable,
    // and only then shortened in the middle (the whole title shows as the button's tool tip).
    const int textWidth = overlay->width() - kSheetMargins.left() - kSheetMargins.right() -
                          2 * kButtonPadding - 2 -
                          panel->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int i = 0; i < m_buttons.size(); ++i) {
        const bool below = cancelBelow && i == m_cancelIndex;
        auto* button = new QPushButton(panel);
        button->setObjectName(QStringLiteral("actionSheetButton"));
        // The keyboard reaches it with Tab; a touch does not take the focus.
        button->setFocusPolicy(Qt::TabFocus);
        QFont font = button->font();
        font.setBold(true);
        int pixels = kButtonFontPixels;
        for (; pixels > kButtonMinimumFontPixels; --pixels) {
            font.setPixelSize(pixels);
            if (QFontMetrics(font).horizontalAdvance(m_buttons[i]) <= textWidth)
                break;
        }
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(m_buttons[i]) <= textWidth) {
            button->setText(m_buttons[i]);
        } else {
            button->setText(metrics.elidedText(m_buttons[i], Qt::ElideMiddle, textWidth));
            button->setToolTip(m_buttons[i]);
        }
        QString style = QString::fromLatin1(kButtonStyle);
        const QString size = QString::number(pixels);
        if (i == m_destructiveIndex)
            style = style.arg(size, QStringLiteral("white"), QStringLiteral("#ef5a50"),
                              QStringLiteral("#b3231b"));
        else if (i == m_cancelIndex)
            style = style.arg(size, QStringLiteral("white"), QStringLiteral("#4a4e57"),
                              QStringLiteral("#202226"));
        else
            style = style.arg(size, QStringLiteral("#15171a"), QStringLiteral("#fbfbfc"),
                              QStringLiteral("#c9ccd2"));
        button->setStyleSheet(style);
        if (below) {
            column->addSpacing(6);
            column->addWidget(button);
        } else {
            if (i == m_cancelIndex)
                choiceColumn->addSpacing(6);
            choiceColumn->addWidget(button);
        }
        connect(button, &QPushButton::clicked, this,
                [this, i] { dismissWithClickedButtonIndex(i); });
    }
    fitPanel(overlay);
    // The view changes height with the window; the sheet follows.
    overlay->installEventFilter(this);
}

void ActionSheet::fitPanel(QWidget* overlay)
{
    QWidget* panel = m_panel;
    QScrollArea* scroll = m_choicesArea;
    if (!panel || !scroll)
        return;
    // Measured with the style sheets applied: they set the buttons' fonts and padding.
    panel->ensurePolished();
    const int width = overlay->width();
    QLayout* column = panel->layout();
    QLayout* choices = scroll->widget()->layout();
    const int whole = heightAt(choices, width - kSheetMargins.left() - kSheetMargins.right());
    // The scroll bar shows only when the choices scroll: one left over from a smaller size
    // would narrow them.
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFixedHeight(whole);
    column->invalidate();
    const int needed = heightAt(column, width);
    if (needed > overlay->height()) {
        scroll->setFixedHeight(std::max(0, whole - (needed - overlay->height())));
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        column->invalidate();
    }
    panel->setFixedHeight(std::min(overlay->height(), heightAt(column, width)));
}

void ActionSheet::dismissWithClickedButtonIndex(int index)
{
    if (!m_visible)
        return;
    m_visible = false;
    registry().gone(this);
    AlertLayer::withdraw(this);
    m_panel = nullptr;
    m_choicesArea = nullptr;

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
