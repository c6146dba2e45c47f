// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/LayerPresentation.h"

#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>

#include <functional>
#include <vector>

// A non-blocking alert with a title, a message and buttons, drawn inside the application window
// over the dimmed screen (AlertLayer): one at a time, so an alert shown while another is up waits
// its turn. Showing it never waits; the delegate hears which button dismissed it. Every alert
// shown is also recorded, so tests (and headless runs) can read and answer what the user would
// see; an alert counts as showing from show() until it is dismissed, its wait included.
class AlertView : public LayerPresentation
{
    Q_OBJECT
public:
    using Delegate = std::function<void(AlertView*, int buttonIndex)>;

    AlertView(const QString& title, const QString& message, Delegate delegate,
              const QString& cancelButtonTitle, const QStringList& otherButtonTitles = {});
    ~AlertView() override;

    QString message() const { return m_message; }
    // buttonTitles(): the cancel button first (index 0), then the others.

    // Adds a white one-line text field under the message, holding `text`; it takes the keyboard
    // as soon as the alert shows. The field belongs to the alert and lives until it is dismissed
    // (read it in the delegate). Needs a widget application.
    QLineEdit* addTextField(const QString& text);
    QLineEdit* textField() const { return m_textField; }

    // Shows the alert. It deletes itself after it is dismissed.
    void show();
    // Shows an alert whose one button only dismisses it.
    static void showMessage(const QString& title, const QString& message, const QString& button);
    void dismissWithClickedButtonIndex(int index);

    // Alerts that are showing now, oldest first.
    static std::vector<AlertView*> visibleAlerts();
    // Every alert shown since the last clearHistory(), as "title: message".
    static QStringList history();
    static void clearHistory();

private:
    void buildPanel(QWidget* overlay);
    // Gives the panel the height its texts need, up to the overlay's; the message scrolls
    // beyond that.
    void fitPanel(QWidget* overlay) override;

    QString m_message;
    Delegate m_delegate;
    QPointer<QLineEdit> m_textField;
    QPointer<QScrollArea> m_messageArea;
};
