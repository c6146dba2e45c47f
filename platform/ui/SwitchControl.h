// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

// An on/off switch. A tap flips it and sends valueChanged (its action); setting the value from
// code sends nothing.
class SwitchControl : public QAbstractButton
{
    Q_OBJECT
public:
    explicit SwitchControl(QWidget* parent = nullptr);

    bool isOn() const { return isChecked(); }
    void setOn(bool on) { setChecked(on); }

    QSize sizeHint() const override { return {79, 27}; }

signals:
    // Sent after the user flipped the switch.
    void valueChanged(SwitchControl* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
};
