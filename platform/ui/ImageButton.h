// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/StretchableImage.h"

#include <QAbstractButton>
#include <QColor>

#include <array>

// A push button drawn from stretchable background images, one per state. A state without its
// own background falls back to the normal one. The touch highlight, when switched on, is a soft
// glow over the button's centre while a finger is down on it.
//
// Its actions are signals: touchDown when a touch begins on it, touchUpInside when that touch
// ends on it (a tap; click() sends it from code too) and touchUpOutside when it ends elsewhere.
// A handler that rebuilds its view may drop the button it was called from: hide it and
// deleteLater() it, never delete it outright.
class ImageButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum class State
    {
        Normal,
        Highlighted,
        Selected,
        Disabled
    };

    explicit ImageButton(QWidget* parent = nullptr);

    void setBackgroundImage(const StretchableImage& image, State state = State::Normal);
    // The background for the state, or the normal one when the state has none.
    StretchableImage backgroundImage(State state) const;
    // The state the button is drawn in now.
    State currentState() const;

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    void setShowsTouchWhenHighlighted(bool shows);
    bool showsTouchWhenHighlighted() const { return m_showsTouch; }

    void setTitleColor(const QColor& color);
    QColor titleColor() const { return m_titleColor; }

    // The normal background's size, so a button sized to its hint is exactly its image.
    QSize sizeHint() const override;

signals:
    void touchDown(ImageButton* sender);
    void touchUpInside(ImageButton* sender);
    void touchUpOutside(ImageButton* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::array<StretchableImage, 4> m_backgrounds;
    bool m_selected = false;
    bool m_showsTouch = false;
    bool m_tracking = false;
    QColor m_titleColor = Qt::white;
};
