// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/DashboardView.h"

#include "dashboard/DashboardAccessibility.h"
#include "dashboard/LocatorView.h"
#include "dashboard/MeterView.h"
#include "dashboard/ShadowView.h"
#include "dashboard/TransportView.h"
#include "platform/ui/BundleImage.h"
#include "platform/ui/Toolbar.h"

#include <QEasingCurve>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSettingItem = 3;
constexpr QRect kToolbarFrame{0, 0, 320, 44};
constexpr QRect kLocatorFrame{46, 88, 228, 228};
// The wheel's frame moved 5 points right and 14 down.
constexpr QRect kShadowFrame{51, 102, 228, 228};

// A flick: shorter than this, at least this far across and at most this far up or down.
constexpr double kSwipeMaxSeconds = 0.2;
constexpr qreal kSwipeMinAcross = 20.0;
constexpr qreal kSwipeMaxDown = 30.0;
// Each spin turns the wheel by this many radians; a flick moves the locator this many steps.
constexpr float kSpinRadians = 3.0f;
constexpr int kSwipeSteps = 20;
constexpr int kFirstSpinMs = 100;
constexpr int kSecondSpinMs = 300;
constexpr int kTurnAnimationMs = 100;
// The wheel turns by the finger's angle in degrees divided by this, a little less than the
// finger does.
constexpr double kRotationDivisor = 60.0;
// Degrees of turn per unit of the spring mode's step.
constexpr float kDegreesPerStep = 45.0f;
constexpr float kDefaultIncrement = 0.5f;

// The ease-out timing curve of the platform's animations.
QEasingCurve easeOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.0, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

// The picture of item 3 for a quality or a speed; a null pixmap for any other value.
QPixmap qualityImage(double sampleRate)
{
    if (sampleRate == 11025.0)
        return BundleImage::imageNamed("LQ.png");
    if (sampleRate == 22050.0)
        return BundleImage::imageNamed("MQ.png");
    if (sampleRate == 44100.0)
        return BundleImage::imageNamed("HQ.png");
    return {};
}

QPixmap speedImage(double playSpeed)
{
    const float speed = static_cast<float>(playSpeed);
    if (speed == 0.75f)
        return BundleImage::imageNamed("1-2x.png");
    if (speed == 1.0f)
        return BundleImage::imageNamed("1x.png");
    if (speed == 1.5f)
        return BundleImage::imageNamed("2x.png");
    return {};
}

void setEnabledIfPresent(QList<BarButtonItem>& items, int index, bool enabled)
{
    if (index < items.size())
        items[index].setEnabled(enabled);
}

} // namespace

DashboardView::DashboardView(QWidget* parent)
    : TouchView(parent)
{
    DashboardAccessibility::install();
    resize(320, 436);
    // Touches on the transport's buttons must reach them as the mouse events Qt makes of
    // unhandled touches; the dashboard sees its own touches that way too. The wheel takes
    // touch events itself.
    setAttribute(Qt::WA_AcceptTouchEvents, false);
    setupDashboardViews();
    setupToolbars();
    setUpLocatorControl();
    setPlayerMode(false);
    setAutoFillBackground(false);
}

DashboardView::~DashboardView() = default;

QStringList DashboardView::startupImageNames()
{
    // The transport's buttons and sliders in the record layout, the background, the two meters,
    // the wheel and its shadow, then the toolbar's quality and the playback speed's pictures.
    return {QStringLiteral("record.png"),
            QStringLiteral("record_pressed.png"),
            QStringLiteral("sludgebutton.png"),
            QStringLiteral("slider_blue.png"),
            QStringLiteral("slider_gray.png"),
            QStringLiteral("slider_thumb.png"),
            QStringLiteral("slider_lvthumb.png"),
            QStringLiteral("shuttletoggle.png"),
            QStringLiteral("volume_toggle.png"),
            QStringLiteral("dbbackground.png"),
            QStringLiteral("meters_lit.png"),
            QStringLiteral("meter_unlit.png"),
            QStringLiteral("displaycircle_filled.png"),
            QStringLiteral("displaycircle.png"),
            QStringLiteral("Oval.png"),
            QStringLiteral("jog.png"),
            QStringLiteral("Shadow.png"),
            QStringLiteral("LQ.png"),
            QStringLiteral("1x.png")};
}

void DashboardView::setupDashboardViews()
{
    m_transportView = new TransportView(this);

    m_background = new QLabel(this);
    m_background->setGeometry(0, 67, 320, 367);
    m_background->setPixmap(BundleImage::imageNamed("dbbackground.png"));
    m_background->setAttribute(Qt::WA_TranslucentBackground);

    m_meterView = new MeterView(QRect(12, 48, 293, 293), this);
    m_timeMeterView = new MeterView(QRect(74, 116, 173, 173), this);
    m_locatorView = new LocatorView(kLocatorFrame, this);
    m_shadowView = new ShadowView(kShadowFrame, this);

    // Bottom to top: the wheel lies above the transport view, and the shadow, which lets
    // touches through, above the wheel.
    m_background->raise();
    m_meterView->raise();
    m_timeMeterView->raise();
    m_transportView->raise();
    m_locatorView->raise();
    m_shadowView->raise();
    m_shadowView->update();
}

void DashboardView::setupToolbars()
{
    auto button = [](const QString& title, BarButtonItem::Action action) {
        return BarButtonItem::withTitle(title, std::move(action));
    };
    const auto flexible = BarButtonItem::flexibleSpace();

    m_recordToolbar = new Toolbar(this);
    m_recordToolbar->setGeometry(kToolbarFrame);
    BarButtonItem quality =
        BarButtonItem::withImage(qualityImage(11025.0), [this] { doChangeQuality(); });
    quality.setAccessibleName(qualityName(11025.0));
    m_recordToolbar->setItems({flexible, button(tr("Timer"), [this] { doRecordOptions(); }),
                               flexible, quality, flexible,
                               button(tr("Send"), [this] { doSend(); }), flexible});

    m_playToolbar = new Toolbar(this);
    m_playToolbar->setGeometry(kToolbarFrame);
    BarButtonItem speed =
        BarButtonItem::withImage(speedImage(1.0), [this] { doChangePlaySpeed(); });
    speed.setAccessibleName(speedName(1.0));
    m_playToolbar->setItems({flexible, button(tr("Delete"), [this] { doDelete(); }), flexible,
                             speed, flexible, button(tr("Send"), [this] { doSend(); }), flexible});
    m_playToolbar->hide();
}

void DashboardView::setUpLocatorControl()
{
    // No delegate is attached yet, so nobody hears of this.
    m_locatorControl.setMin(0.0f);
    m_locatorControl.setMax(0.0f);
    m_locatorControl.setIncrement(0.5f);
    m_locatorControl.setValue(0.0f);
}

void DashboardView::setPlayerMode(bool playerMode)
{
    m_playerMode = playerMode;
    m_transportView->setHasPlayMode(playerMode);
    m_transportView->setupTransportButtons();
    m_background->update();
    m_transportView->update();
    setupToolbar();
}

void DashboardView::changeTransport(bool loaded, bool isPlaying, bool isRecording)
{
    m_transportView->setPlaying(isPlaying);
    m_transportView->setRecording(isRecording);
    setPlayerMode(loaded);
}

void DashboardView::setupToolbar()
{
    const double quality = m_delegate ? m_delegate->recordQuality() : 0.0;
    const double speed = m_delegate ? m_delegate->playSpeed() : 0.0;
    const bool recording = m_transportView->recording();
    const bool recordApplies = recording || !m_transportView->hasPlayMode();
    Toolbar* shown = recordApplies ? m_recordToolbar : m_playToolbar;
    Toolbar* hidden = recordApplies ? m_playToolbar : m_recordToolbar;

    QList<BarButtonItem> items = shown->items();
    if (items.isEmpty())
        return;

    if (kSettingItem < items.size()) {
        // A value without a picture of its own keeps the one item 3 shows now.
        QPixmap image = recordApplies ? qualityImage(quality) : speedImage(speed);
        if (image.isNull())
            image = items[kSettingItem].image();
        items[kSettingItem] =
            recordApplies ? BarButtonItem::withImage(image, [this] { doChangeQuality(); })
                          : BarButtonItem::withImage(image, [this] { doChangePlaySpeed(); });
        // Named as the picture reads; a value without a picture keeps the name it had.
        const QString name = recordApplies ? qualityName(quality) : speedName(speed);
        items[kSettingItem].setAccessibleName(
            name.isEmpty() ? shown->item(kSettingItem).accessibleName() : name);
    }
    if (recordApplies) {
        for (int index : {1, 3, 5})
            setEnabledIfPresent(items, index, !recording);
    } else {
        setEnabledIfPresent(items, 5, !m_transportView->playing());
    }
    shown->setItems(items);

    shown->show();
    shown->raise();
    hidden->hide();
    shown->update();
    hidden->update();
}

void DashboardView::locateFromKeyboard(float seconds)
{
    if (m_transportView->recording() || !m_playerMode)
        return;
    if (m_delegate) {
        m_delegate->moveLocatorTo(seconds);
        return;
    }
    const float low = m_locatorControl.min();
    m_locatorControl.setValue(std::clamp(seconds, low, std::max(low, m_locatorControl.max())));
}

QString DashboardView::qualityName(double sampleRate)
{
    if (sampleRate == 11025.0)
        return tr("Quality: low, 11 kHz");
    if (sampleRate == 22050.0)
        return tr("Quality: medium, 22 kHz");
    if (sampleRate == 44100.0)
        return tr("Quality: high, 44 kHz");
    return {};
}

QString DashboardView::speedName(double playSpeed)
{
    const float speed = static_cast<float>(playSpeed);
    if (speed == 0.75f)
        return tr("Play speed: 0.75 times");
    if (speed == 1.0f)
        return tr("Play speed: normal");
    if (speed == 1.5f)
        return tr("Play speed: 1.5 times");
    return {};
}

void DashboardView::doSend()
{
    if (m_delegate)
        m_delegate->doSendOptions(m_playToolbar->isHidden() ? m_recordToolbar : m_playToolbar);
}

void DashboardView::doDelete()
{
    if (m_delegate)
        m_delegate->deleteRecordingPrompt(m_playToolbar);
}

void DashboardView::doChangeQuality()
{
    if (m_delegate)
        m_delegate->changeRecordQuality(m_recordToolbar);
}

void DashboardView::doChangePlaySpeed()
{
    if (m_delegate)
        m_delegate->changePlaySpeed(m_playToolbar);
}

void DashboardView::doRecordOptions()
{
    if (m_delegate)
        m_delegate->setRecordTime(m_recordToolbar);
}

// ---- The wheel's gestures ----

bool DashboardView::isWheelTouch(const Touch& touch) const
{
    return touch.view == m_locatorView;
}

void DashboardView::touchesBegan(const Touch& touch)
{
    if (m_transportView->recording())
        return;
    m_startTimestamp = touch.timestamp;
    if (!isWheelTouch(touch))
        return;
    if (touch.tapCount == 2)
        m_locatorControl.setValue(0.0f);
    m_startTouchPosition = touch.locationInView(this);
    m_startTrigger = true;
    m_touchLive = true;
    m_startSent = false;
    m_turned = false;
}

void DashboardView::touchesMoved(const Touch& touch)
{
    if (m_transportView->recording() || !isWheelTouch(touch))
        return;
    LocatorView* wheel = m_locatorView;
    const float angle = LocatorView::angleAt(touch.locationInView(this), wheel->center());

    if (m_startTrigger) {
        // The first movement only takes the angle the turn starts from, and starts scrubbing.
        wheel->update();
        wheel->setStartAngle(angle);
        m_startSent = true;
        wheel->startTouch();
        if (wheel->jog()) {
            m_locatorControl.setIncrement(0.0f);
            wheel->setRotation(0.0f);
            m_lastTransformRotation = 0.0f;
            stopJogTimer();
            auto* timer = new QTimer(this);
            timer->setInterval(kJogTimerIntervalMs);
            connect(timer, &QTimer::timeout, this, [this] { jogTimerTick(); });
            m_jogTimer = timer;
            timer->start();
        }
        m_startTrigger = false;
        return;
    }

    wheel->setAngle(angle);
    // One step per movement, however many notches the finger passed.
    const int notch = LocatorView::notchIndex(angle);
    if (notch != wheel->lastNotch()) {
        if (wheel->lastNotch() < notch)
            m_locatorControl.incrementValue();
        else
            m_locatorControl.decrementValue();
        wheel->setLastNotch(notch);
    }

    if (wheel->jog()) {
        // One unit of step per 45 degrees turned. A turn through the bottom of the wheel,
        // where the angle jumps between 360 and 0, counts by the short way round.
        const float turned = angle - wheel->startAngle();
        if (turned > 270.0f)
            m_locatorControl.setIncrement((360.0f - turned) / kDegreesPerStep);
        else if (turned < -270.0f)
            m_locatorControl.setIncrement((360.0f + turned) / kDegreesPerStep);
        else
            m_locatorControl.setIncrement(turned / kDegreesPerStep);
    }

    wheel->update();
    const double rotation = (double(angle) - double(wheel->startAngle())) / kRotationDivisor +
                            double(m_lastTransformRotation);
    wheel->animateRotation(float(rotation), kTurnAnimationMs, QEasingCurve::InOutQuad);
    m_turned = true;
}

void DashboardView::jogTimerTick()
{
    // Past three quarters of a turn the finger has gone back through the bottom: the step
    // then counts downwards.
    if (m_locatorView->angle() - m_locatorView->startAngle() > 270.0f)
        m_locatorControl.decrementValue();
    else
        m_locatorControl.incrementValue();
}

void DashboardView::touchesEnded(const Touch& touch)
{
    if (!isWheelTouch(touch))
        return;
    if (m_transportView->recording()) {
        if (m_touchLive)
            windUpTouch();
        return;
    }
    m_startTrigger = false;
    // Event times come in whole milliseconds; rounded, a flick of exactly 0.2 s is not taken
    // for a shorter one through the subtraction's rounding error.
    const double dt = std::round((touch.timestamp - m_startTimestamp) * 1e6) / 1e6;
    const QPointF end = touch.locationInView(this);

    const bool flick = !m_locatorView->jog() && dt < kSwipeMaxSeconds &&
                       std::fabs(m_startTouchPosition.x() - end.x()) >= kSwipeMinAcross &&
                       std::fabs(m_startTouchPosition.y() - end.y()) <= kSwipeMaxDown;
    if (flick) {
        if (end.x() > m_startTouchPosition.x())
            myProcessRightSwipe();
        else
            myProcessLeftSwipe();
    } else {
        restAfterTurn();
    }
    springBack();

    if (touch.tapCount == 1 && m_delegate) {
        m_delegate->setTimeUnits(m_delegate->timeUnits() == 0 ? 1 : 0);
        // The unchanged value, announced again so the read-out shows the new units.
        m_locatorControl.setValue(m_locatorControl.value());
    }
    finishTouch(true);
}

void DashboardView::touchesCancelled(const Touch& touch)
{
    if (isWheelTouch(touch) && m_touchLive)
        windUpTouch();
}

void DashboardView::windUpTouch()
{
    m_startTrigger = false;
    restAfterTurn();
    springBack();
    finishTouch(false);
}

void DashboardView::restAfterTurn()
{
    setEnabled(true);
    // Only a touch that turned the wheel moves its rest; a tap leaves it where it is.
    if (m_turned)
        m_lastTransformRotation +=
            float((double(m_locatorView->angle()) - double(m_locatorView->startAngle())) /
                  kRotationDivisor);
    m_turned = false;
    m_locatorView->update();
}

void DashboardView::springBack()
{
    if (!m_locatorView->jog())
        return;
    m_lastTransformRotation = 0.0f;
    m_locatorView->setRotation(0.0f);
}

void DashboardView::finishTouch(bool alwaysEndTouch)
{
    const bool endTouch = alwaysEndTouch || m_startSent;
    m_touchLive = false;
    m_startSent = false;
    if (endTouch)
        m_locatorView->endTouch();
    stopJogTimer();
    m_locatorControl.setIncrement(kDefaultIncrement);
}

void DashboardView::stopJogTimer()
{
    if (m_jogTimer) {
        m_jogTimer->stop();
        m_jogTimer->deleteLater();
    }
    m_jogTimer = nullptr;
}

void DashboardView::myProcessRightSwipe()
{
    startSpin(1);
}

void DashboardView::myProcessLeftSwipe()
{
    startSpin(-1);
}

void DashboardView::startSpin(int direction)
{
    m_swiping = direction;
    // The picture spins forwards either way; the rest follows the flick's direction.
    m_locatorView->animateRotation(m_lastTransformRotation + kSpinRadians, kFirstSpinMs,
                                   QEasingCurve::Linear,
                                   [this](bool finished) { animationDidStop(finished); });
    m_lastTransformRotation += float(direction) * kSpinRadians;
}

void DashboardView::animationDidStop(bool)
{
    if (m_swiping != 0) {
        m_locatorView->animateRotation(m_lastTransformRotation + kSpinRadians, kSecondSpinMs,
                                       easeOut(),
                                       [this](bool finished) { animationDidStop(finished); });
        m_lastTransformRotation -= kSpinRadians;
        for (int i = 0; i < kSwipeSteps; ++i) {
            if (m_swiping >= 1)
                m_locatorControl.incrementValue();
            else
                m_locatorControl.decrementValue();
        }
    }
    m_swiping = 0;
    m_locatorView->update();
    setEnabled(true);
}
