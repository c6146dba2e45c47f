// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dashboard/LocatorControl.h"
#include "dashboard/LocatorView.h"
#include "dashboard/TransportView.h"

#include "platform/ui/BundleImage.h"
#include "platform/ui/ImageButton.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <cmath>
#include <functional>

namespace sonavell::test {

// Records every message it receives as "name(argument)".
class RecordingDelegate : public TransportViewDelegate, public LocatorControlDelegate
{
public:
    QStringList calls;
    // Runs inside handlePlay, after the call was recorded (to rebuild views as a controller may).
    std::function<void()> onPlay;

    void handleRecord(bool on) override { calls << QString("handleRecord(%1)").arg(on); }
    void handlePlay(bool on) override
    {
        calls << QString("handlePlay(%1)").arg(on);
        if (onPlay)
            onPlay();
    }
    void handleJog(bool on) override { calls << QString("handleJog(%1)").arg(on); }
    void handleLVToggle(bool on) override { calls << QString("handleLVToggle(%1)").arg(on); }
    void handleSliderValueChanged(float v) override
    {
        calls << QString("handleSliderValueChanged(%1)").arg(v);
    }
    void handleSliderTouchStart() override { calls << "handleSliderTouchStart"; }
    void handleSliderTouchEnd() override { calls << "handleSliderTouchEnd"; }
    void handleLocateMoved(float v) override { calls << QString("handleLocateMoved(%1)").arg(v); }
    void handleLocateSliderTouchStart() override { calls << "handleLocateSliderTouchStart"; }
    void handleLocateSliderTouchEnd() override { calls << "handleLocateSliderTouchEnd"; }
    void locatorValueChanged(float v) override
    {
        calls << QString("locatorValueChanged(%1)").arg(v);
    }
};

// True when the picture is the named resource image, pixel for pixel.
inline bool showsImage(const QPixmap& pixmap, const QString& name)
{
    const QPixmap expected = BundleImage::imageNamed(name);
    return !expected.isNull() && pixmap.toImage() == expected.toImage();
}

inline bool buttonShows(const ImageButton* button, const QString& normal, const QString& pressed)
{
    return button &&
           showsImage(button->backgroundImage(ImageButton::State::Normal).pixmap(), normal) &&
           showsImage(button->backgroundImage(ImageButton::State::Highlighted).pixmap(), pressed);
}

// The point at a wheel angle (0 below, growing clockwise) on a circle around the wheel's
// centre, in the coordinates of the wheel's parent.
inline QPoint pointOnWheel(const LocatorView* wheel, double degrees, double radius = 80.0)
{
    const double phi = (degrees - 180.0) * M_PI / 180.0;
    const QPointF c = wheel->center();
    return QPointF(c.x() + radius * std::sin(phi), c.y() - radius * std::cos(phi)).toPoint();
}

} // namespace sonavell::test
