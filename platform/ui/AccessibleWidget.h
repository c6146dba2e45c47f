// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>
#include <QRect>
#include <QString>

// The base of the controls' accessible interfaces. Its rectangle is where the widget really is
// on the screen: inside the scaled application view (ScaledWindow) a widget is drawn at the
// window's scale, which Qt's own interfaces do not take into account.
class AccessibleWidget : public QAccessibleWidget
{
public:
    explicit AccessibleWidget(QWidget* widget, QAccessible::Role role = QAccessible::Client,
                              const QString& name = QString());

    QRect rect() const override;

    // A rectangle of `widget` (in its own coordinates) in global screen coordinates, through the
    // graphics view that shows the widget's window, when it is shown in one.
    static QRect screenRect(const QWidget* widget, const QRect& local);
    // The words that name a control which shows none of its own: the text of the label that
    // names it as its buddy, else of the row (table cell) it lies in, else of the label just
    // left of it on the same line or just above it. Empty when there is none.
    static QString labelFor(const QWidget* widget);
    // A text with plural forms as tr() gives it for `n` ("%n second(s)"): without a translation
    // that has the forms, the English ones ("1 second", "2 seconds") in place of "(s)".
    static QString numerus(const QString& translated, int n);

protected:
    // Focusable (and focused) states for a control that takes the focus from the keyboard.
    QAccessible::State controlState() const;
};
