// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

// A one-line text entry for a row of a settings table: frameless, so it sits in the row beside
// the row's title. It hands its text over once, when editing ends (Return, or the keyboard
// moving elsewhere), and only when the text differs from the stored one and from what it last
// handed over, so a refused text is not offered again until it is changed. Escape puts the
// stored text back.
class SettingsTextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit SettingsTextField(QWidget* parent = nullptr);

    // Shows `text` as the stored value; sends nothing.
    void setStoredText(const QString& text);
    // The stored value as the field holds it.
    QString storedText() const { return m_stored; }
    // Hands the text over now if it was changed (a screen that is being left does this).
    void commit();

signals:
    void textCommitted(SettingsTextField* sender, const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString m_stored;
    QString m_handedOver;
};
