// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/SearchBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

void SearchBarDelegate::searchBarTextDidBeginEditing(SearchBar*) {}
void SearchBarDelegate::searchBarTextDidEndEditing(SearchBar*) {}
void SearchBarDelegate::searchBarTextDidChange(SearchBar*, const QString&) {}
void SearchBarDelegate::searchBarCancelButtonClicked(SearchBar*) {}
void SearchBarDelegate::searchBarSearchButtonClicked(SearchBar*) {}

SearchBar::SearchBar(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(kHeight);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("searchField"));
    m_field->setAccessibleName(tr("Search"));
    m_field->setClearButtonEnabled(true);
    m_field->setStyleSheet(
        QStringLiteral("QLineEdit { background: white; color: black; border: 1px solid #8c929b;"
                       " border-radius: 14px; padding: 3px 10px; font-size: 14px; }"));
    m_field->setMinimumHeight(29);
    // The keyboard comes to the field when it is tapped, not when its screen shows.
    m_field->setFocusPolicy(Qt::ClickFocus);
    m_field->installEventFilter(this);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("searchCancelButton"));
    // The keyboard reaches it with Tab; a touch does not take the focus from the field.
    m_cancel->setFocusPolicy(Qt::TabFocus);
    m_cancel->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; font-weight: bold; font-size: 12px; border: 1px solid #2b2d31;"
        " border-radius: 5px; padding: 5px 8px; outline: none; background: qlineargradient(x1:0, "
        "y1:0, x2:0,"
        " y2:1, stop:0 #62676f, stop:1 #2c2e34); }"));
    m_cancel->hide();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(7, 7, 7, 7);
    layout->setSpacing(6);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_cancel);

    connect(m_field, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_delegate)
            m_delegate->searchBarTextDidChange(this, text);
    });
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        if (m_delegate)
            m_delegate->searchBarSearchButtonClicked(this);
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->searchBarCancelButtonClicked(this);
    });
    updateInputHints();
}

QString SearchBar::text() const
{
    return m_field->text();
}

void SearchBar::setText(const QString& text)
{
    if (text != m_field->text())
        m_field->setText(text);
}

QString SearchBar::placeholder() const
{
    return m_field->placeholderText();
}

void SearchBar::setPlaceholder(const QString& text)
{
    m_field->setPlaceholderText(text);
}

void SearchBar::setShowsCancelButton(bool shows)
{
    m_showsCancelButton = shows;
    m_cancel->setVisible(shows);
}

void SearchBar::setAutocorrection(bool on)
{
    m_autocorrection = on;
    updateInputHints();
}

void SearchBar::setAutocapitalization(bool on)
{
    m_autocapitalization = on;
    updateInputHints();
}

void SearchBar::updateInputHints()
{
    Qt::InputMethodHints hints = Qt::ImhNone;
    if (!m_autocorrection)
        hints |= Qt::ImhNoPredictiveText;
    if (!m_autocapitalization)
        hints |= Qt::ImhNoAutoUppercase;
    m_field->setInputMethodHints(hints);
}

bool SearchBar::isFirstResponder() const
{
    return m_field->hasFocus();
}

void SearchBar::becomeFirstResponder()
{
    m_field->setFocus(Qt::OtherFocusReason);
}

void SearchBar::resignFirstResponder()
{
    if (m_field->hasFocus())
        m_field->clearFocus();
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && m_delegate) {
        if (event->type() == QEvent::FocusIn)
            m_delegate->searchBarTextDidBeginEditing(this);
        else if (event->type() == QEvent::FocusOut)
            m_delegate->searchBarTextDidEndEditing(this);
    }
    return QWidget::eventFilter(watched, event);
}

void SearchBar::paintEvent(QPaintEvent*)
{
    // The bar's tint matches the navigation bar above it.
    QPainter painter(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(150, 156, 166));
    fill.setColorAt(1, QColor(104, 110, 120));
    painter.fillRect(rect(), fill);
    painter.fillRect(QRect(0, height() - 1, width(), 1), QColor(60, 63, 70));
}
