// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/RecTimerController.h"

#include "platform/ui/CountDownPicker.h"
#include "platform/ui/SwitchControl.h"

#include <QLabel>

#include <algorithm>
#include <utility>

namespace {

// The rows under the picker: a caption on the left, its switch at the right edge.
constexpr int kSideMargin = 20;
constexpr int kCaptionTop = 4;
constexpr int kCaptionHeight = 22;
constexpr int kFirstRowTop = 244;
constexpr int kRowSpacing = 44;

} // namespace

RecTimerController::RecTimerController(QWidget* parent)
    : ViewController(parent)
{
    setTitle(tr("Timer"));
    resize(kLayoutSize);

    m_recordTimeCaption = new QLabel(tr("Stop recording after"), this);
    m_countDownCaption = new QLabel(tr("Count in before recording"), this);
    m_timerCaption = new QLabel(tr("Stop automatically"), this);
    m_countDownSwitchCtl = new SwitchControl(this);
    m_timerSwitchCtl = new SwitchControl(this);
    m_countDownSwitchCtl->setObjectName(QStringLiteral("countDownSwitchCtl"));
    m_timerSwitchCtl->setObjectName(QStringLiteral("timerSwitchCtl"));
    m_countDownSwitchCtl->setOn(m_useRecordCountDown);
    m_timerSwitchCtl->setOn(m_useRecordTimer);

    connect(m_timerSwitchCtl, &SwitchControl::valueChanged, this,
            &RecTimerController::toggleTimerSwitch);
    connect(m_countDownSwitchCtl, &SwitchControl::valueChanged, this,
            &RecTimerController::toggleCountDownSwitch);
    layoutControls();
}

RecTimerController::~RecTimerController() = default;

void RecTimerController::setUseRecordTimer(bool on)
{
    m_useRecordTimer = on;
    m_timerSwitchCtl->setOn(on);
}

void RecTimerController::setUseRecordCountDown(bool on)
{
    m_useRecordCountDown = on;
    m_countDownSwitchCtl->setOn(on);
}

void RecTimerController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    if (!m_picker) {
        m_picker = new CountDownPicker(this);
        m_picker->setObjectName(QStringLiteral("picker"));
        connect(m_picker, &CountDownPicker::valueChanged, this,
                &RecTimerController::pickerValueChanged);
        layoutControls();
        m_picker->show();
    }
    m_timerSwitchCtl->setOn(m_useRecordTimer);
    m_countDownSwitchCtl->setOn(m_useRecordCountDown);
    m_picker->setCountDownDuration(m_recordTime);
}

void RecTimerController::pickerValueChanged(CountDownPicker*)
{
    m_recordTime = m_picker->countDownDuration();
}

void RecTimerController::toggleTimerSwitch(SwitchControl*)
{
    m_useRecordTimer = m_timerSwitchCtl->isOn();
}

void RecTimerController::toggleCountDownSwitch(SwitchControl*)
{
    m_useRecordCountDown = m_countDownSwitchCtl->isOn();
}

void RecTimerController::resizeEvent(QResizeEvent* event)
{
    ViewController::resizeEvent(event);
    layoutControls();
}

void RecTimerController::layoutControls()
{
    const int w = width();
    m_recordTimeCaption->setGeometry(kSideMargin, kCaptionTop, std::max(0, w - 2 * kSideMargin),
                                     kCaptionHeight);
    if (m_picker) {
        const int rightMargin = kLayoutSize.width() - (kPickerFrame.x() + kPickerFrame.width());
        m_picker->setGeometry(kPickerFrame.x(), kPickerFrame.y(), std::max(0, w - rightMargin),
                              kPickerFrame.height());
    }
    const QSize switchSize = m_timerSwitchCtl->sizeHint();
    const int switchLeft = w - kSideMargin - switchSize.width();
    const int captionWidth = std::max(0, switchLeft - kSideMargin - 8);
    int top = kFirstRowTop;
    for (auto [caption, control] :
         {std::pair<QLabel*, SwitchControl*>{m_countDownCaption, m_countDownSwitchCtl},
          {m_timerCaption, m_timerSwitchCtl}}) {
        caption->setGeometry(kSideMargin, top, captionWidth, switchSize.height());
        control->setGeometry(switchLeft, top, switchSize.width(), switchSize.height());
        top += kRowSpacing;
    }
}
