#include "dashboard/DashboardView.h"

#include "dashboard/MeterView.h"
#include "dashboard/TransportView.h"
#include "platform/BundleImage.h"
#include "platform/Toolbar.h"

#include <QLabel>

namespace {

constexpr int kSettingItem = 3;
constexpr QRect kToolbarFrame{0, 0, 320, 44};

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
    : QWidget(parent)
{
    resize(320, 436);
    setupDashboardViews();
    setupToolbars();
    setUpLocatorControl();
    setPlayerMode(false);
    setAutoFillBackground(false);
}

DashboardView::~DashboardView() = default;

void DashboardView::setupDashboardViews()
{
    m_transportView = new TransportView(this);

    m_background = new QLabel(this);
    m_background->setGeometry(0, 67, 320, 367);
    m_background->setPixmap(BundleImage::imageNamed("dbbackground.png"));
    m_background->setAttribute(Qt::WA_TranslucentBackground);

    m_meterView = new MeterView(QRect(12, 48, 293, 293), this);
    m_timeMeterView = new MeterView(QRect(74, 116, 173, 173), this);

    // Bottom to top. The jog wheel and its shadow belong right above the transport view.
    m_background->raise();
    m_meterView->raise();
    m_timeMeterView->raise();
    m_transportView->raise();
}

void DashboardView::setupToolbars()
{
    auto button = [](const QString& title, BarButtonItem::Action action) {
        return BarButtonItem::withTitle(title, std::move(action));
    };
    const auto flexible = BarButtonItem::flexibleSpace();

    m_recordToolbar = new Toolbar(this);
    m_recordToolbar->setGeometry(kToolbarFrame);
    m_recordToolbar->setItems(
        {flexible, button(tr("Timer"), [this] { doRecordOptions(); }), flexible,
         BarButtonItem::withImage(qualityImage(11025.0), [this] { doChangeQuality(); }), flexible,
         button(tr("Send"), [this] { doSend(); }), flexible});

    m_playToolbar = new Toolbar(this);
    m_playToolbar->setGeometry(kToolbarFrame);
    m_playToolbar->setItems(
        {flexible, button(tr("Delete"), [this] { doDelete(); }), flexible,
         BarButtonItem::withImage(speedImage(1.0), [this] { doChangePlaySpeed(); }), flexible,
         button(tr("Send"), [this] { doSend(); }), flexible});
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
