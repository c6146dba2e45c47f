// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AlertView.h"
#include "platform/ui/AlertLayer.h"
#include "platform/ui/AlertPanel.h"
#include "platform/ui/PanelScrollArea.h"
#include "platform/ui/PlatformUiLog.h"
#include "platform/ui/PresentationRegistry.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {
PresentationRegistry<AlertView>& registry()
{
    static PresentationRegistry<AlertView> alerts;
    return alerts;
}

// The platform's alert is 284 points wide; a narrower application view gets a narrower one.
constexpr int kAlertWidth = 284;
constexpr int kAlertMargin = 8;

// The message with every word that is wider than `width` (a long path or address) made
// breakable between any two characters, with zero-width spaces: otherwise it would run past the
// panel's sides. Shorter words and the spaces between words are kept as they are.
QString breakLongWords(const QString& text, const QFontMetrics& metrics, int width)
{
    QString result;
    result.reserve(text.size());
    qsizetype wordStart = -1;
    const auto endWord = [&](qsizetype end) {
        const QString word = text.mid(wordStart, end - wordStart);
        if (metrics.horizontalAdvance(word) <= width) {
            result += word;
            return;
        }
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, word);
        qsizetype from = 0;
        for (qsizetype to = characters.toNextBoundary(); to > 0; to = characters.toNextBoundary()) {
            result += QStringView(word).mid(from, to - from);
            if (to < word.size())
                result += QChar(0x200B);
            from = to;
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isSpace()) {
            if (wordStart >= 0)
                endWord(i);
            wordStart = -1;
            result += text[i];
        } else if (wordStart < 0) {
            wordStart = i;
        }
    }
    if (wordStart >= 0)
        endWord(text.size());
    return result;
}
} // namespace

AlertView::AlertView(const QString& title, const QString& message, Delegate delegate,
                     const QString& cancelButtonTitle, const QStringList& otherButtonTitles)
    : LayerPresentation(title)
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
    AlertLayer::withdraw(this);
    delete m_textField.data();
}

QLineEdit* AlertView::addTextField(const QString& text)
{
    if (!m_textField) {
        m_textField = new QLineEdit;
        m_textField->setObjectName(QStringLiteral("alertTextField"));
        m_textField->setStyleSheet(
            QStringLiteral("QLineEdit { background: white; color: black; border: 1px solid #7d828a;"
                           " padding: 2px 4px; font-size: 15px; }"));
        m_textField->setInputMethodHints(Qt::ImhNoPredictiveText);
    }
    m_textField->setText(text);
    return m_textField;
}

void AlertView::showMessage(const QString& title, const QString& message, const QString& button)
{
    (new AlertView(title, message, nullptr, button))->show();
}

void AlertView::show()
{
    if (m_visible)
        return;
    m_visible = true;
    // An alert nobody owns goes with the application when it is still up at quit.
    if (!parent())
        setParent(QCoreApplication::instance());
    registry().shown(this, m_title + QStringLiteral(": ") + m_message);
    qCInfo(lcPlatformUi).noquote() << "Alert:" << m_title << "-" << m_message;

    // Drawn only where there is a screen; headless runs keep the record alone.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    // Escape answers with the first button: the cancel button when there is one.
    AlertLayer::present(
        this, nullptr, [this](QWidget* overlay) { buildPanel(overlay); },
        [this] {
            if (!m_buttons.isEmpty())
                dismissWithClickedButtonIndex(0);
        });
}

void AlertView::buildPanel(QWidget* overlay)
{
    // Centred in the application view: the title, the message (or the text field in its
    // place), and the buttons, side by side when there are two, else one under the other. The
    // panel is as tall as its texts need, up to the height of the view; a message that needs
    // more scrolls between the title and the buttons, which stay in view.
    auto* panel = new AlertPanel(AlertPanel::Kind::Alert, m_title, m_message, overlay);
    m_panel = panel;
    panel->setObjectName(QStringLiteral("AlertPanel"));
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setStyleSheet(QStringLiteral(
        "#AlertPanel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 "
        "rgba(58,74,112,242), stop:1 rgba(20,30,58,245)); border: 2px solid rgba(236,240,248,220);"
        " border-radius: 10px; }"
        " QLabel { color: white; background: transparent; }"
        " QScrollArea { background: transparent; border: none; }"
        " QPushButton { color: white; font-weight: bold; font-size: 16px; min-height: 38px;"
        " border: 1px solid rgba(10,14,26,230); border-radius: 6px; padding: 0 8px; outline: none;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgba(150,162,190,200),"
        " stop:0.5 rgba(84,98,130,220), stop:1 rgba(60,72,102,230)); }"
        " QPushButton:pressed { background: rgba(20,26,44,240); }"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    if (!m_title.isEmpty()) {
        auto* title = new QLabel(m_title, panel);
        title->setObjectName(QStringLiteral("alertTitle"));
        title->setWordWrap(true);
        title->setAlignment(Qt::AlignCenter);
        QFont bold = title->font();
        bold.setPixelSize(17);
        bold.setBold(true);
        title->setFont(bold);
        column->addWidget(title);
    }
    if (!m_message.isEmpty() && !m_textField) {
        auto* scroll = new PanelScrollArea(QStringLiteral("alertMessageArea"), panel);
        m_messageArea = scroll;
        auto* message = new QLabel(m_message);
        message->setObjectName(QStringLiteral("alertMessage"));
        message->setWordWrap(true);
        message->setAlignment(Qt::AlignCenter);
        QFont plain = message->font();
        plain.setPixelSize(15);
        message->setFont(plain);
        scroll->setWidget(message);
        column->addWidget(scroll);
    }
    if (m_textField) {
        m_textField->setParent(panel);
        column->addWidget(m_textField);
        connect(m_textField, &QLineEdit::returnPressed, this,
                [this] { dismissWithClickedButtonIndex(int(m_buttons.size()) - 1); });
    }

    QBoxLayout* buttons =
        m_buttons.size() == 2 ? static_cast<QBoxLayout*>(new QHBoxLayout) : new QVBoxLayout;
    buttons->setSpacing(8);
    column->addSpacing(4);
    column->addLayout(buttons);
    for (int i = 0; i < m_buttons.size(); ++i) {
        auto* button = new QPushButton(m_buttons[i], panel);
        button->setObjectName(QStringLiteral("alertButton"));
        // The keyboard reaches it with Tab; a touch does not take the focus from the field.
        button->setFocusPolicy(Qt::TabFocus);
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, i] { dismissWithClickedButtonIndex(i); });
    }

    auto* outer = new QVBoxLayout(overlay);
    outer->setContentsMargins(kAlertMargin, kAlertMargin, kAlertMargin, kAlertMargin);
    outer->addStretch(1);
    outer->addWidget(panel, 0, Qt::AlignHCenter);
    outer->addStretch(1);
    fitPanel(overlay);
    // The view changes height with the window; the panel follows.
    overlay->installEventFilter(this);
    if (m_textField) {
        m_textField->setFocus(Qt::OtherFocusReason);
        m_textField->selectAll();
    }
}

void AlertView::fitPanel(QWidget* overlay)
{
    QWidget* panel = m_panel;
    if (!panel)
        return;
    // Measured with the style sheets applied: they set the fonts and the buttons' heights.
    panel->ensurePolished();
    const int width = std::min(kAlertWidth, overlay->width() - 2 * kAlertMargin);
    const int room = overlay->height() - 2 * kAlertMargin;
    QLayout* column = panel->layout();
    if (QScrollArea* scroll = m_messageArea) {
        // The whole message first; when the panel would then be taller than the view, the
        // message gets what is left, and scrolls. It keeps a few lines at least.
        const QMargins margins = column->contentsMargins();
        const int inner = width - margins.left() - margins.right();
        auto* message = static_cast<QLabel*>(scroll->widget());
        message->setText(
            breakLongWords(m_message, message->fontMetrics(),
                           inner - scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent)));
        const int whole = message->heightForWidth(inner);
        // The scroll bar shows only when the message scrolls: one left over from a smaller
        // size would narrow the message and cut its last line.
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setFixedHeight(whole);
        column->invalidate();
        const int needed = heightAt(column, width);
        if (needed > room) {
            const int lines = 3 * scroll->widget()->fontMetrics().lineSpacing();
            scroll->setFixedHeight(std::max(std::min(whole, lines), whole - (needed - room)));
            scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            column->invalidate();
        }
    }
    // The height the texts need at the panel's own width: the view's layout would measure them
    // at its full width, where they take fewer lines.
    panel->setFixedSize(width, heightAt(column, width));
}

void AlertView::dismissWithClickedButtonIndex(int index)
{
    if (!m_visible)
        return;
    m_visible = false;
    registry().gone(this);
    // The field outlives the panel until the alert goes, so the delegate can read it.
    if (m_textField) {
        m_textField->hide();
        m_textField->setParent(nullptr);
    }
    AlertLayer::withdraw(this);
    m_panel = nullptr;
    m_messageArea = nullptr;
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
