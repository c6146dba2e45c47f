// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QScrollArea>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// A non-blocking alert with a title, a message and buttons, drawn inside the application window
// over the dimmed screen (AlertLayer): one at a time, so an alert shown while another is up waits
// its turn. Showing it never waits; the delegate hears which button dismissed it. Every alert
// shown is also recorded, so tests (and headless runs) can read and answer what the user would
// see; an alert counts as showing from show() until it is dismissed, its wait included.
class AlertView : public QObject
{
    Q_OBJECT
public:
    using Delegate = std::function<void(AlertView*, int buttonIndex)>;

    AlertView(const QString& title, const QString& message, Delegate delegate,
              const QString& cancelButtonTitle, const QStringList& otherButtonTitles = {});
    ~AlertView() override;

    QString title() const { return m_title; }
    QString message() const { return m_message; }
    // The cancel button first (index 0), then the others.
    QStringList buttonTitles() const { return m_buttons; }
    bool isVisible() const { return m_visible; }
    // The panel drawn in the window while this alert has its turn (null otherwise).
    QWidget* panel() const { return m_panel; }

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanel(QWidget* overlay);
    // Gives the panel the height its texts need, up to the overlay's; the message scrolls
    // beyond that.
    void fitPanel(QWidget* overlay);

    QString m_title;
    QString m_message;
    Delegate m_delegate;
    QStringList m_buttons;
    bool m_visible = false;
    QPointer<QWidget> m_panel;
    QPointer<QLineEdit> m_textField;
    QPointer<QScrollArea> m_messageArea;
};
