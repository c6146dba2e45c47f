// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>

// The shadow laid over the jog wheel ("Shadow.png"), drawn 10 points above the view's top
// edge. It is see-through to touches, so the wheel beneath gets them.
class ShadowView : public QWidget
{
    Q_OBJECT
public:
    explicit ShadowView(const QRect& frame, QWidget* parent = nullptr);

    QPixmap shadow() const { return m_shadow; }
    void setShadow(const QPixmap& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_shadow;
};
