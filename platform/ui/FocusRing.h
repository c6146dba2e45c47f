// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFocusFrame>
#include <QList>
#include <QPointer>

// The ring that shows which control has the keyboard's focus: a bright outline with a dark edge
// around the control, drawn in points in the application view (so it is sharp at any scale)
// and over everything else in it. It follows the control as it moves or scrolls, is cut where
// the control is cut (a row half scrolled away), and lets touches through. Being a focus frame,
// it is no part of the accessibility tree.
class FocusRing : public QFocusFrame
{
    Q_OBJECT
public:
    // The ring lives in `root` (the application view) and draws around controls inside it.
    explicit FocusRing(QWidget* root);

    // Puts the ring around `control`; null takes it away.
    void follow(QWidget* control);
    QWidget* control() const { return m_control; }
    // Where the ring is drawn around, in the root's coordinates: the visible part of the control.
    QRect controlRect() const { return m_controlRect; }

    // The ring's width and its distance outside the control, in points.
    static constexpr qreal kWidth = 2.0;
    static constexpr int kOutset = 2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();
    void watch(bool on);

    QWidget* m_root;
    QPointer<QWidget> m_control;
    QList<QPointer<QWidget>> m_watched;
    QRect m_controlRect;
};
