// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/TransportView.h"

#include "dashboard/DashboardLog.h"
#include "platform/ui/BundleImage.h"
#include "platform/ui/ButtonAccessible.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/ImageSlider.h"
#include "platform/ui/StretchableImage.h"

#include <QDebug>
#include <QSettings>

namespace {

// Button backgrounds keep their left 12 points and stretch the rest; slider tracks keep 10.
constexpr int kButtonLeftCap = 12;
constexpr int kTrackLeftCap = 10;

constexpr QPoint kRecordButtonOrigin{131, 266};
constexpr QPoint kRecordSludgeAOrigin{61, 274};
constexpr QPoint kRecordSludgeBOrigin{191, 274};
constexpr QPoint kAppendButtonOrigin{100, 266};
constexpr QPoint kPlayButtonOrigin{160, 266};
constexpr QPoint kPlaySludgeAOrigin{67, 264};
constexpr QPoint kPlaySludgeBOrigin{220, 264};
constexpr QPoint kJogShuttleToggleOrigin{10, 22};
constexpr QPoint kLocatorVolumeToggleOrigin{10, 300};
constexpr QRect kSliderFrame{30, 354, 262, 20};

} // namespace

TransportView::TransportView(QWidget* parent)
    : QWidget(parent)
{
    setGeometry(0, 50, 320, 384);
    setAutoFillBackground(false);
    loadPics();
    hideShowSliders();
}

void TransportView::loadPics()
{
    m_hasPlayMode = false;
    m_playing = false;
    m_recording = false;
    m_locatorMode = false;
    setupTransportButtons();
    createCustomSliders();
    setupTransportToggleButtons();
}

void TransportView::setButtonImages(ImageButton* button, const QString& normalName,
                                    const QString& pressedName)
{
    button->setBackgroundImage(
        StretchableImage(BundleImage::imageNamed(normalName), kButtonLeftCap, 0),
        ImageButton::State::Normal);
    button->setBackgroundImage(
        StretchableImage(BundleImage::imageNamed(pressedName), kButtonLeftCap, 0),
        ImageButton::State::Highlighted);
    button->update();
}

ImageButton* TransportView::createImageButton(const QString& normalName, const QString& pressedName,
                                              QPoint origin, bool touchHilite,
                                              void (TransportView::*action)(QObject*),
                                              const QString& accessibleName)
{
    auto* button = new ImageButton(this);
    button->setText(QString());
    // What the button does, for screen readers and the keyboard; a wide hit area around another
    // button does the same and is left out of both.
    button->setAccessibleName(accessibleName);
    if (!touchHilite) {
        button->setProperty(ButtonAccessible::kHiddenProperty, true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    button->setTitleColor(Qt::black);
    setButtonImages(button, normalName, pressedName);
    // The button is exactly as large as its normal image: the image is the hit area.
    button->setGeometry(QRect(origin, button->sizeHint()));
    button->setShowsTouchWhenHighlighted(touchHilite);
    connect(button, &ImageButton::touchUpInside, this,
            [this, action](ImageButton* sender) { (this->*action)(sender); });
    return button;
}

void TransportView::discard(QPointer<ImageButton>& button)
{
    if (button) {
        button->hide();
        button->deleteLater();
    }
    button = nullptr;
}

void TransportView::setupTransportButtons()
{
    discard(m_buttonA);
    discard(m_sludgeButtonA);
    discard(m_sludgeButtonB);

    // The play layout needs a loaded recording and no take in progress.
    const bool playLayout = m_hasPlayMode && !m_recording;
    if (playLayout) {
        discard(m_buttonB);
        m_buttonA = createImageButton("append.png", "append_pressed.png", kAppendButtonOrigin, true,
                                      &TransportView::doRecord, tr("Append"));
        m_buttonB = m_playing
                        ? createImageButton("pause_up.png", "pause_pressed.png", kPlayButtonOrigin,
                                            true, &TransportView::doPlay, tr("Pause"))
                        : createImageButton("play_up.png", "play_pressed.png", kPlayButtonOrigin,
                                            true, &TransportView::doPlay, tr("Play"));
        m_sludgeButtonA =
            createImageButton("sludgebutton2.png", "sludgebutton2.png", kPlaySludgeAOrigin, false,
                              &TransportView::doSludgeA, tr("Append"));
        m_sludgeButtonB =
            createImageButton("sludgebutton2.png", "sludgebutton2.png", kPlaySludgeBOrigin, false,
                              &TransportView::doSludgeB, m_playing ? tr("Pause") : tr("Play"));
    } else {
        m_buttonA = m_recording
                        ? createImageButton("stop.png", "stop_pressed.png", kRecordButtonOrigin,
                                            true, &TransportView::doRecord, tr("Stop"))
                        : createImageButton("record.png", "record_pressed.png", kRecordButtonOrigin,
                                            true, &TransportView::doRecord, tr("Record"));
        // Both wide hit areas act as the record / stop button in this layout.
        const QString recordName = m_recording ? tr("Stop") : tr("Record");
        m_sludgeButtonA =
            createImageButton("sludgebutton.png", "sludgebutton.png", kRecordSludgeAOrigin, false,
                              &TransportView::doSludgeA, recordName);
        m_sludgeButtonB =
            createImageButton("sludgebutton.png", "sludgebutton.png", kRecordSludgeBOrigin, false,
                              &TransportView::doSludgeA, recordName);
        // The play button is kept but stays hidden: nothing to play while this layout shows.
        if (m_buttonB)
            m_buttonB->hide();
    }

    // Stacked in this order, so the wide hit areas lie above the main buttons where they meet.
    m_buttonA->show();
    m_buttonA->raise();
    if (m_buttonB) {
        if (playLayout)
            m_buttonB->show();
        m_buttonB->raise();
    }
    m_sludgeButtonA->show();
    m_sludgeButtonA->raise();
    m_sludgeButtonB->show();
    m_sludgeButtonB->raise();
}

void TransportView::setupTransportToggleButtons()
{
    discard(m_jsToggle);
    const QString jsImage = m_jogMode ? "jogtoggle.png" : "shuttletoggle.png";
    m_jsToggle = createImageButton(jsImage, jsImage, kJogShuttleToggleOrigin, true,
                                   &TransportView::doJogShuttle, tr("Spring-loaded shuttle"));
    // Toggles: checked while the spring-loaded shuttle, or the position slider, is on.
    m_jsToggle->setCheckable(true);
    m_jsToggle->setChecked(m_jogMode);
    m_jsToggle->show();

    // While held down, the slider-mode toggle shows the wheel-mode toggle's picture.
    discard(m_lvToggle);
    m_lvToggle =
        m_locatorMode
            ? createImageButton("locator_toggle.png", "jogtoggle.png", kLocatorVolumeToggleOrigin,
                                true, &TransportView::doLVShuttle, tr("Position slider"))
            : createImageButton("volume_toggle.png", "shuttletoggle.png",
                                kLocatorVolumeToggleOrigin, true, &TransportView::doLVShuttle,
                                tr("Position slider"));
    m_lvToggle->setCheckable(true);
    m_lvToggle->setChecked(m_locatorMode);
    m_lvToggle->show();
}

void TransportView::createCustomSliders()
{
    const StretchableImage minimumTrack(BundleImage::imageNamed("slider_blue.png"), kTrackLeftCap,
                                        0);
    const StretchableImage maximumTrack(BundleImage::imageNamed("slider_gray.png"), kTrackLeftCap,
                                        0);
    auto makeSlider = [&](const QString& thumb, float minimum, float maximum) {
        auto* slider = new ImageSlider(this);
        slider->setGeometry(kSliderFrame);
        slider->setThumbImage(BundleImage::imageNamed(thumb));
        slider->setMinimumTrackImage(minimumTrack);
        slider->setMaximumTrackImage(maximumTrack);
        slider->setMinimumValue(minimum);
        slider->setMaximumValue(maximum);
        slider->setValue(1.0f);
        slider->setContinuous(true);
        return slider;
    };

    m_customSlider = makeSlider("slider_thumb.png", 1.0f, 10.0f);
    m_customSlider->setAccessibleName(tr("Volume"));
    connect(m_customSlider, &ImageSlider::valueChanged, this, [this] { sliderAction(); });
    connect(m_customSlider, &ImageSlider::touchDown, this, [this] {
        if (m_delegate)
            m_delegate->handleSliderTouchStart();
    });
    auto volumeTouchEnd = [this] {
        if (m_delegate)
            m_delegate->handleSliderTouchEnd();
    };
    connect(m_customSlider, &ImageSlider::touchUpInside, this, volumeTouchEnd);
    connect(m_customSlider, &ImageSlider::touchUpOutside, this, volumeTouchEnd);
    connect(m_customSlider, &ImageSlider::touchCancel, this, volumeTouchEnd);

    // The locate slider is silent while a take runs: there is no position to move to.
    m_customLocateSlider = makeSlider("slider_lvthumb.png", 0.0f, 100.0f);
    m_customLocateSlider->setAccessibleName(tr("Position"));
    connect(m_customLocateSlider, &ImageSlider::valueChanged, this, [this] { lvSliderAction(); });
    connect(m_customLocateSlider, &ImageSlider::touchDown, this, [this] {
        if (m_delegate && !m_recording)
            m_delegate->handleLocateSliderTouchStart();
    });
    auto locateTouchEnd = [this] {
        if (m_delegate && !m_recording)
            m_delegate->handleLocateSliderTouchEnd();
    };
    connect(m_customLocateSlider, &ImageSlider::touchUpInside, this, locateTouchEnd);
    connect(m_customLocateSlider, &ImageSlider::touchUpOutside, this, locateTouchEnd);
    connect(m_customLocateSlider, &ImageSlider::touchCancel, this, locateTouchEnd);
}

void TransportView::hideShowSliders()
{
    m_customSlider->setVisible(!m_locatorMode);
    m_customLocateSlider->setVisible(m_locatorMode);
    m_customSlider->update();
    m_customLocateSlider->update();
}

void TransportView::doRecord(QObject*)
{
    m_recording = !m_recording;
    m_hasPlayMode = !m_recording;
    if (m_delegate)
        m_delegate->handleRecord(m_recording);
    setupTransportButtons();
}

void TransportView::doPlay(QObject*)
{
    qCInfo(lcDashboard) << "doPlay button was clicked";
    m_playing = !m_playing;
    if (m_delegate)
        m_delegate->handlePlay(m_playing);
    // The delegate may have rebuilt the buttons; the pictures go on whichever buttonB is there.
    if (m_buttonB) {
        if (m_playing)
            setButtonImages(m_buttonB, "pause_up.png", "pause_pressed.png");
        else
            setButtonImages(m_buttonB, "play_up.png", "play_pressed.png");
        m_buttonB->setAccessibleName(m_playing ? tr("Pause") : tr("Play"));
    }
    if (m_sludgeButtonB && m_hasPlayMode && !m_recording)
        m_sludgeButtonB->setAccessibleName(m_playing ? tr("Pause") : tr("Play"));
}

void TransportView::doSludgeA(QObject*)
{
    doRecord(m_buttonA);
}

void TransportView::doSludgeB(QObject*)
{
    if (m_hasPlayMode)
        doPlay(m_buttonB);
}

void TransportView::doJogShuttle(QObject*)
{
    m_jogMode = !m_jogMode;
    if (m_delegate)
        m_delegate->handleJog(m_jogMode);
    setupTransportToggleButtons();
}

void TransportView::doLVShuttle(QObject*)
{
    m_locatorMode = !m_locatorMode;
    if (m_delegate)
        m_delegate->handleLVToggle(m_locatorMode);
    setupTransportToggleButtons();
    hideShowSliders();
}

void TransportView::sliderAction()
{
    // Stored on every change, not only when the drag ends, so a crash mid-drag keeps the level.
    const float value = m_customSlider->value();
    if (m_userDefaults) {
        m_userDefaults->setValue(kOutputVolumeKey, value);
    } else {
        QSettings settings;
        settings.setValue(kOutputVolumeKey, value);
    }
    if (m_delegate)
        m_delegate->handleSliderValueChanged(value);
}

void TransportView::lvSliderAction()
{
    if (m_delegate && !m_recording)
        m_delegate->handleLocateMoved(m_customLocateSlider->value());
}
