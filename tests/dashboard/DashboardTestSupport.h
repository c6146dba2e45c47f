#pragma once

#include "dashboard/LocatorControl.h"
#include "dashboard/TransportView.h"

#include "platform/BundleImage.h"
#include "platform/ImageButton.h"

#include <QImage>
#include <QString>
#include <QStringList>

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

} // namespace sonavell::test
