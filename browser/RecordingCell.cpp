#include "browser/RecordingCell.h"

#include "browser/Level2ViewController.h"

#include <QLabel>
#include <QPixmap>

namespace {
constexpr QRect kPhotoFrame{0, 0, 56, 43};
constexpr QRect kNameFrame{60, 4, 194, 25};
constexpr QRect kDateFrame{212, 28, 106, 15};
constexpr QRect kPlaceFrame{60, 28, 142, 15};
constexpr QRect kDurationFrame{254, 4, 64, 12};
constexpr int kPortraitThumbnailHeight = 121;

QLabel* makeLabel(int pixelSize, bool bold, const QColor& colour, Qt::Alignment alignment)
{
    auto* label = new QLabel;
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
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
    m_date = makeLabel(12, false, Qt::gray, Qt::AlignRight);
    m_place = makeLabel(12, false, Qt::gray, Qt::AlignLeft);
    m_duration = makeLabel(12, false, Qt::gray, Qt::AlignRight);
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

void RecordingCell::layoutSubviews()
{
    if (!m_duration)
        return; // still being made
    const int extra = contentView()->width() - kRowWidth;
    m_photo->setGeometry(kPhotoFrame);
    m_name->setGeometry(kNameFrame.adjusted(0, 0, extra, 0));
    m_place->setGeometry(kPlaceFrame);
    m_date->setGeometry(kDateFrame.translated(extra, 0));
    m_duration->setGeometry(kDurationFrame.translated(extra, 0));
}
