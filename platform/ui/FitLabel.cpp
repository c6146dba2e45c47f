// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/FitLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>

FitLabel::FitLabel(QWidget* parent)
    : QLabel(parent)
{
}

FitLabel::FitLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

void FitLabel::setMinimumFontSize(int pixels)
{
    m_minimumFontSize = std::max(1, pixels);
    update();
}

qreal FitLabel::basePixelSize() const
{
    const QFont base = font();
    if (base.pixelSize() > 0)
        return base.pixelSize();
    // A size in points becomes pixels at the screen's logical resolution (96 dpi here and on
    // the phone shells the application targets).
    return base.pointSizeF() * logicalDpiY() / 72.0;
}

QFont FitLabel::fontAtPixelSize(qreal pixels) const
{
    QFont sized = font();
    sized.setPixelSize(std::max(1, int(std::floor(pixels))));
    return sized;
}

QFont FitLabel::fittedFont() const
{
    const QRectF box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const qreal base = basePixelSize();
    if (text().isEmpty() || box.width() <= 0)
        return fontAtPixelSize(base);
    // Whole pixel sizes from the label's own size down to the minimum: the first that fits.
    const int largest = int(std::floor(base));
    const int smallest = std::min(largest, m_minimumFontSize);
    for (int pixels = largest; pixels >= smallest; --pixels) {
        const QFont candidate = fontAtPixelSize(pixels);
        const QFontMetricsF metrics(candidate);
        if (metrics.horizontalAdvance(text()) <= box.width())
            return candidate;
    }
    return fontAtPixelSize(smallest);
}

bool FitLabel::textFits() const
{
    const QRectF box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    return QFontMetricsF(fittedFont()).horizontalAdvance(text()) <= box.width();
}

QSize FitLabel::minimumSizeHint() const
{
    // The label shrinks its text, so a layout may make it as narrow as it likes.
    return {0, QFontMetrics(fontAtPixelSize(m_minimumFontSize)).height()};
}

void FitLabel::paintEvent(QPaintEvent* event)
{
    if (!pixmap().isNull() || textFormat() == Qt::RichText || wordWrap()) {
        // Pictures, rich and wrapped text are drawn as a plain label draws them.
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QFont fitted = fittedFont();
    painter.setFont(fitted);
    const QString shown = QFontMetrics(fitted).elidedText(text(), Qt::ElideRight, box.width());
    style()->drawItemText(&painter, box,
                          int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shown, foregroundRole());
}
