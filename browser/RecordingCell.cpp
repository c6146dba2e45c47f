// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/RecordingCell.h"

#include "browser/Level2ViewController.h"
#include "platform/ui/FitLabel.h"

#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace {
constexpr QRect kPhotoFrame{0, 0, 56, 43};
constexpr QRect kNameFrame{60, 4, 194, 25};
constexpr QRect kDateFrame{212, 28, 106, 15};
constexpr QRect kPlaceFrame{60, 28, 142, 15};
constexpr QRect kDurationFrame{254, 4, 64, 12};
constexpr int kPortraitThumbnailHeight = 121;

QLabel* makeLabel(int pixelSize, bool bold, const QColor& colour, Qt::Alignment alignment)
{
    auto* label = new FitLabel;
    label->setMinimumFontSize(std::min(pixelSize, 10));
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    // Inside a table's viewport a label would draw in the Text role (the viewport's background
    // is Base); it draws in WindowText, the colour given here.
    label->setForegroundRole(QPalette::WindowText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}
} // namespace

RecordingCell::RecordingCell(const QString& reuseIdentifier, QWidget* parent)
    : TableViewCell(reuseIdentifier, parent)
{
    setSelectionStyle(SelectionStyle::None);
    setAccessoryType(AccessoryType::DetailDisclosureButton);
    textLabel()->hide();
    m_photo = new QLabel;
    m_photo->setAlignment(Qt::AlignCenter);
    m_name = makeLabel(16, true, Qt::black, Qt::AlignLeft);
    // The date, place and length in a grey that still reads on white (about 5:1).
    const QColor secondary(112, 112, 117);
    m_date = makeLabel(12, false, secondary, Qt::AlignRight);
    m_place = makeLabel(12, false, secondary, Qt::AlignLeft);
    m_duration = makeLabel(12, false, secondary, Qt::AlignRight);
    addTaggedView(Level2ViewController::kPhotoTag, m_photo);
    addTaggedView(Level2ViewController::kNameTag, m_name);
    addTaggedView(Level2ViewController::kDateTag, m_date);
    addTaggedView(Level2ViewController::kPlaceTag, m_place);
    addTaggedView(Level2ViewController::kDurationTag, m_duration);
    layoutSubviews();
}

void RecordingCell::setPhoto(const QImage& thumbnail)
{
    m_photo->setAutoFillBackground(!thumbnail.isNull());
    QPalette palette = m_photo->palette();
    palette.setColor(QPalette::Window, Qt::black);
    m_photo->setPalette(palette);
    if (thumbnail.isNull()) {
        m_photo->clear();
        m_photoFills = false;
        return;
    }
    m_photoFills = thumbnail.height() != kPortraitThumbnailHeight;
    const QPixmap picture = QPixmap::fromImage(thumbnail);
    m_photo->setPixmap(
        m_photoFills
            ? picture.scaled(kPhotoFrame.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            : picture.scaled(kPhotoFrame.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void RecordingCell::setTexts(const QString& name, const QString& date, const QString& place,
                             const QString& duration)
{
    m_name->setText(name);
    m_date->setText(date);
    m_place->setText(place);
    m_duration->setText(duration);
    layoutSubviews();
}

void RecordingCell::layoutSubviews()
{
    if (!m_duration)
        return; // still being made
    // The right-hand views end at the content's right edge; the name and the place take what
    // is left of them, so no text runs into another.
    const int width = contentView()->width();
    const int right = width - 4;
    m_photo->setGeometry(kPhotoFrame);
    const int durationWidth =
        std::min(kDurationFrame.width() + 40,
                 m_duration->fontMetrics().horizontalAdvance(m_duration->text()) + 2);
    const int dateWidth = std::min(kDateFrame.width() + 40,
                                   m_date->fontMetrics().horizontalAdvance(m_date->text()) + 2);
    m_duration->setGeometry(right - durationWidth, kDurationFrame.y(), durationWidth,
                            kDurationFrame.height() + 2);
    m_date->setGeometry(right - dateWidth, kDateFrame.y(), dateWidth, kDateFrame.height());
    m_name->setGeometry(kNameFrame.x(), kNameFrame.y(),
                        std::max(0, right - durationWidth - 6 - kNameFrame.x()),
                        kNameFrame.height());
    m_place->setGeometry(kPlaceFrame.x(), kPlaceFrame.y(),
                         std::max(0, right - dateWidth - 6 - kPlaceFrame.x()),
                         kPlaceFrame.height());
}
