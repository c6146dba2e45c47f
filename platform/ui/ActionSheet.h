// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/LayerPresentation.h"

#include <QPointer>
#include <QScrollArea>

#include <functional>
#include <vector>

class QWidget;
class Toolbar;

// A non-blocking sheet of choices at the bottom of the application window, drawn over the dimmed
// screen by the same layer as alerts (AlertLayer), so it waits while an alert or another sheet
// is up. Buttons are counted
// from 0: the destructive button first (when there is one), then the others, then the cancel
// button. A tap on a button hides the sheet, then the delegate hears clickedButtonAtIndex and
// after it didDismissWithButtonIndex. Either may delete the sheet.
//
// The owner keeps the sheet and may show it again. Every sheet shown is also recorded, so tests
// (and headless runs) can read and answer what the user would see.
class ActionSheet : public LayerPresentation
{
    Q_OBJECT
public:
    using Handler = std::function<void(ActionSheet*, int buttonIndex)>;

    ActionSheet(const QString& title, Handler clickedButtonAtIndex,
                const QString& cancelButtonTitle, const QString& destructiveButtonTitle = {},
                const QStringList& otherButtonTitles = {}, QObject* parent = nullptr);
    ~ActionSheet() override;

    void setDidDismissWithButtonIndex(Handler handler) { m_didDismiss = std::move(handler); }

    // Adds a button after the existing ones and returns its index.
    int addButtonWithTitle(const QString& title);
    int numberOfButtons() const { return static_cast<int>(m_buttons.size()); }
    QString buttonTitleAtIndex(int index) const { return m_buttons.value(index); }
    // -1 when the sheet has no such button.
    int cancelButtonIndex() const { return m_cancelIndex; }
    int destructiveButtonIndex() const { return m_destructiveIndex; }

    // Shows the sheet over the window that holds view (headless: only recorded).
    void showInView(QWidget* view);
    void showFromToolbar(Toolbar* toolbar);
    // Hides the sheet as if the button had been tapped; nothing happens when it is not showing.
    void dismissWithClickedButtonIndex(int index);

    // Sheets that are showing now, oldest first.
    static std::vector<ActionSheet*> visibleSheets();
    // Every sheet shown since the last clearHistory(), as "title [button|button|...]".
    static QStringList history();
    static void clearHistory();

private:
    void buildPanel(QWidget* overlay);
    // Gives the sheet the height its title and buttons need, up to the overlay's; the title
    // and the choices scroll beyond that.
    void fitPanel(QWidget* overlay) override;

    Handler m_clicked;
    Handler m_didDismiss;
    int m_cancelIndex = -1;
    int m_destructiveIndex = -1;
    QPointer<QScrollArea> m_choicesArea;
};
