// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/ShadowView.h"

#include "platform/ui/BundleImage.h"

#include <QPainter>

ShadowView::ShadowView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
    , m_shadow(BundleImage::imageNamed(QStringLiteral("Shadow.png")))
{
    setGeometry(frame);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
}

void ShadowView::setShadow(const QPixmap& image)
{
    m_shadow = image;
    update();
}

void ShadowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(QPointF(0, -10), m_shadow);
}
