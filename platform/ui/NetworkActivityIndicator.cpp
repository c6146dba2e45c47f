// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/NetworkActivityIndicator.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

bool g_visible = false;
std::vector<NetworkActivityIndicator*> g_indicators;

constexpr int kSpokes = 12;

} // namespace

NetworkActivityIndicator::NetworkActivityIndicator(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
    m_spin = new QTimer(this);
    m_spin->setInterval(80);
    connect(m_spin, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
    g_indicators.push_back(this);
    follow();
}

NetworkActivityIndicator::~NetworkActivityIndicator()
{
    g_indicators.erase(std::remove(g_indicators.begin(), g_indicators.end(), this),
                       g_indicators.end());
}

void NetworkActivityIndicator::setNetworkActivityIndicatorVisible(bool visible)
{
    if (visible == g_visible)
        return;
    g_visible = visible;
    for (NetworkActivityIndicator* indicator : g_indicators)
        indicator->follow();
}

bool NetworkActivityIndicator::isNetworkActivityIndicatorVisible()
{
    return g_visible;
}

void NetworkActivityIndicator::follow()
{
    if (g_visible)
        m_spin->start();
    else
        m_spin->stop();
    update();
}

void NetworkActivityIndicator::paintEvent(QPaintEvent*)
{
    if (!g_visible)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = std::min(width(), height()) / 2.0;
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is darkest; the ones behind it fade.
        const int age = (m_step - i + kSpokes) % kSpokes;
        QColor colour(0x40, 0x40, 0x40);
        colour.setAlphaF(1.0 - age / double(kSpokes));
        painter.setPen(QPen(colour, radius / 4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.85));
        painter.rotate(360.0 / kSpokes);
    }
}
