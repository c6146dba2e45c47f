// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/TouchView.h"

#include <QEasingCurve>
#include <QPixmap>
#include <QPointer>

#include <functional>

class QVariantAnimation;

// Told when a turn of the wheel begins scrubbing and when the touch ends. Both optional.
class LocatorViewDelegate
{
public:
    virtual ~LocatorViewDelegate() = default;
    virtual void startLocatorTouch() {}
    virtual void endLocatorTouch() {}
};

// The jog wheel: its picture, its rotation and the state of the gesture turning it. The view
// does not act on touches itself; they go on to the dashboard it lies on, which turns them into
// locator steps (and writes angle, startAngle and lastNotch here).
//
// Two modes: the notched wheel ("Oval.png") while `jog` is off, the spring-loaded shuttle
// ("jog.png") while it is on. The picture is drawn unrotated at the view's origin and the
// whole view turns about its centre by `rotation`.
class LocatorView : public TouchView
{
    Q_OBJECT
public:
    explicit LocatorView(const QRect& frame, QWidget* parent = nullptr);

    // The finger's angle around a centre, in degrees, for y growing downwards: 0 (or 360)
    // straight below, 90 left, 180 above, 270 right, growing clockwise on the screen.
    static float angleAt(QPointF location, QPointF centre);
    // 100 notches per turn: floor(angle / 3.6).
    static int notchIndex(float angle);

    QPixmap locatorImage() const { return m_locatorImage; }
    void setLocatorImage(const QPixmap& image);
    QPixmap locatorImage2() const { return m_locatorImage2; }
    void setLocatorImage2(const QPixmap& image);

    bool jog() const { return m_jog; }
    // Only stores the mode; the owner redraws.
    void setJog(bool jog) { m_jog = jog; }
    float angle() const { return m_angle; }
    void setAngle(float angle) { m_angle = angle; }
    float startAngle() const { return m_startAngle; }
    void setStartAngle(float angle) { m_startAngle = angle; }
    int lastNotch() const { return m_lastNotch; }
    void setLastNotch(int notch) { m_lastNotch = notch; }

    LocatorViewDelegate* delegate() const { return m_delegate; }
    // Not owned; the delegate must outlive the view or be cleared first.
    void setDelegate(LocatorViewDelegate* delegate) { m_delegate = delegate; }

    // The centre of the view in its parent's coordinates.
    QPointF center() const;

    // The rotation about the centre in radians, positive clockwise on the screen; 0 is the
    // picture as drawn. This is the rotation the wheel has or is animating towards.
    float rotation() const { return m_rotation; }
    // The rotation shown at this moment (between the old and the new one while animating).
    float presentedRotation() const { return m_presented; }
    // Turns the wheel at once; an animation under way is cut short.
    void setRotation(float radians);
    // Turns the wheel over the given time. An animation under way is cut short, and its
    // didStop is called with false once control is back in the event loop; an animation that
    // runs its course calls didStop with true.
    void animateRotation(float radians, int durationMs, const QEasingCurve& curve,
                         std::function<void(bool finished)> didStop = {});

    // Tell the delegate that scrubbing begins or ends.
    void startTouch();
    void endTouch();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void stopAnimation();

    QPixmap m_locatorImage;
    QPixmap m_locatorImage2;
    bool m_jog = false;
    float m_angle = 0.0f;
    float m_startAngle = 0.0f;
    int m_lastNotch = 0;
    LocatorViewDelegate* m_delegate = nullptr;
    float m_rotation = 0.0f;
    float m_presented = 0.0f;
    QPointer<QVariantAnimation> m_animation;
    std::function<void(bool)> m_didStop;
};
