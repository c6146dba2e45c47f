// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/SettingsTextField.h"

#include <QKeyEvent>

SettingsTextField::SettingsTextField(QWidget* parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The value colour of a settings row, on the row's own white.
    setStyleSheet(QStringLiteral("QLineEdit { background: transparent; color: #385487; }"));
    QFont f = font();
    f.setPixelSize(15);
    setFont(f);
    connect(this, &QLineEdit::returnPressed, this, [this] {
        commit();
        clearFocus();
    });
}

void SettingsTextField::setStoredText(const QString& text)
{
    setText(text);
    setCursorPosition(0); // a long path shows its beginning
    // What the field makes of the text (a line edit drops line breaks) is what counts as
    // unchanged, so merely showing a value never writes it back altered.
    m_stored = QLineEdit::text();
    m_handedOver = m_stored;
}

void SettingsTextField::commit()
{
    const QString current = text();
    if (current == m_stored || current == m_handedOver)
        return;
    m_handedOver = current;
    emit textCommitted(this, current);
}

void SettingsTextField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        setText(m_stored);
        m_handedOver = m_stored;
        clearFocus();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void SettingsTextField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    commit();
}
