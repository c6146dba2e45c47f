// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/LibraryFooter.h"

#include "platform/ui/FitLabel.h"
#include "platform/ui/NavigationBarButton.h"

#include <QLabel>
#include <QPainter>

namespace {
QLabel* makeLabel(QWidget* parent, const QRect& frame, int pixelSize, bool bold)
{
    // The usage line can be long ("12.3 GB of 456.7 GB free"); it shrinks to fit.
    auto* label = new FitLabel(parent);
    label->setMinimumFontSize(9);
    label->setGeometry(frame);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(236, 238, 242));
    label->setPalette(palette);
    return label;
}
} // namespace

LibraryFooter::LibraryFooter(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(kHeight);
    m_countLabel = makeLabel(this, QRect(10, 7, 220, 20), 14, true);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    m_freeLabel = makeLabel(this, QRect(10, 29, 220, 18), 12, false);
    m_freeLabel->setObjectName(QStringLiteral("freeLabel"));
    m_recordButton =
        new NavigationBarButton(tr("Record"), NavigationBarButton::Style::Bordered, this);
    m_recordButton->setObjectName(QStringLiteral("recordButton"));
    m_recordButton->setGeometry(236, 12, 74, 32);
}

void LibraryFooter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(72, 76, 84));
    fill.setColorAt(1, QColor(26, 27, 31));
    painter.fillRect(rect(), fill);
    painter.fillRect(QRect(0, 0, width(), 1), QColor(12, 13, 15));
}
