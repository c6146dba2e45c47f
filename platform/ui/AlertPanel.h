// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

// The panel an AlertView or an ActionSheet draws over the dimmed screen. It knows what it is
// and what it says, so that assistive technology can present it as an alert or a dialog with
// its title (AlertPanelAccessible).
class AlertPanel : public QWidget
{
    Q_OBJECT
public:
    enum class Kind
    {
        Alert,
        ActionSheet,
    };

    AlertPanel(Kind kind, const QString& title, const QString& message, QWidget* parent);

    Kind kind() const { return m_kind; }
    QString title() const { return m_title; }
    QString message() const { return m_message; }

private:
    Kind m_kind;
    QString m_title;
    QString m_message;
};
