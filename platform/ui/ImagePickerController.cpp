// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImagePickerController.h"

#include "platform/system/SettingsKeys.h"
#include "platform/ui/PlatformUiLog.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Files looked at, and thumbnails made, per turn of the event loop: the screen stays responsive
// however large the folder is.
constexpr int kWalkBatch = 200;
constexpr int kThumbnailBatch = 6;

const char* kBarStyle =
    "#pickerBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #6c717a,"
    " stop:0.5 #40444b, stop:1 #24262b); border-bottom: 1px solid #0c0d0f; }"
    " #pickerBar QLabel { color: white; font-size: 17px; font-weight: bold; }"
    " #pickerBar QPushButton { color: white; font-weight: bold; font-size: 15px;"
    " border: 1px solid #0c0d0f; border-radius: 5px; padding: 0 10px; min-height: 28px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #62676f, stop:1 #2c2e34); }";

QWidget* makeBar(QWidget* parent, QLabel* title, QPushButton* left, QPushButton* right)
{
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("pickerBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setFixedHeight(44);
    bar->setStyleSheet(QString::fromLatin1(kBarStyle));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(5, 0, 5, 0);
    if (left)
        row->addWidget(left);
    title->setAlignment(Qt::AlignCenter);
    row->addWidget(title, 1);
    if (right)
        row->addWidget(right);
    return bar;
}

QImage thumbnailOf(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && !size.isEmpty())
        reader.setScaledSize(size.scaled(ImagePickerController::kThumbnailSide,
                                         ImagePickerController::kThumbnailSide,
                                         Qt::KeepAspectRatioByExpanding));
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    // A square from the middle of the picture, as a photo library shows it.
    const int side = ImagePickerController::kThumbnailSide;
    QImage square(side, side, QImage::Format_RGB32);
    square.fill(Qt::black);
    QPainter painter(&square);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage fitted =
        image.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    painter.drawImage(QPoint((side - fitted.width()) / 2, (side - fitted.height()) / 2), fitted);
    return square;
}

} // namespace

ImagePickerController::ImagePickerController(QWidget* parent)
    : ViewController(parent)
{
    setTitle(tr("Photos"));
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        m_formats << QString::fromLatin1(format).toLower();
    if (m_formats.contains(QLatin1String("jpeg")) && !m_formats.contains(QLatin1String("jpg")))
        m_formats << QStringLiteral("jpg");

    setAttribute(Qt::WA_StyledBackground);
    setObjectName(QStringLiteral("imagePicker"));
    setStyleSheet(QStringLiteral("#imagePicker { background: white; }"));
    m_pages = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    // The grid of thumbnails.
    auto* gridPage = new QWidget(m_pages);
    auto* gridColumn = new QVBoxLayout(gridPage);
    gridColumn->setContentsMargins(0, 0, 0, 0);
    gridColumn->setSpacing(0);
    m_cancel = new QPushButton(tr("Cancel"));
    m_cancel->setObjectName(QStringLiteral("pickerCancel"));
    m_cancel->setFocusPolicy(Qt::TabFocus);
    gridColumn->addWidget(makeBar(gridPage, new QLabel(tr("Photos")), nullptr, m_cancel));
    m_note = new QLabel(gridPage);
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignCenter);
    m_note->setStyleSheet(QStringLiteral("color: #555; padding: 8px;"));
    gridColumn->addWidget(m_note);
    m_grid = new QListWidget(gridPage);
    m_grid->setObjectName(QStringLiteral("pictureGrid"));
    m_grid->setViewMode(QListView::IconMode);
    m_grid->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    m_grid->setGridSize(QSize(kThumbnailSide + 4, kThumbnailSide + 4));
    m_grid->setMovement(QListView::Static);
    m_grid->setResizeMode(QListView::Adjust);
    m_grid->setUniformItemSizes(true);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setFrameShape(QFrame::NoFrame);
    gridColumn->addWidget(m_grid, 1);
    m_pages->addWidget(gridPage);
    connect(m_grid, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { choosePicture(m_grid->row(item)); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancelled(); });

    // The preview of the chosen picture.
    auto* previewPage = new QWidget(m_pages);
    previewPage->setObjectName(QStringLiteral("picturePreview"));
    previewPage->setAttribute(Qt::WA_StyledBackground);
    previewPage->setStyleSheet(QStringLiteral("#picturePreview { background: black; }"));
    auto* previewColumn = new QVBoxLayout(previewPage);
    previewColumn->setContentsMargins(0, 0, 0, 0);
    previewColumn->setSpacing(0);
    m_previewCancel = new QPushButton(tr("Cancel"));
    m_previewCancel->setFocusPolicy(Qt::TabFocus);
    m_use = new QPushButton(tr("Choose"));
    m_use->setObjectName(QStringLiteral("pickerChoose"));
    m_use->setFocusPolicy(Qt::TabFocus);
    previewColumn->addWidget(
        makeBar(previewPage, new QLabel(tr("Preview")), m_previewCancel, m_use));
    m_preview = new QLabel(previewPage);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setMinimumSize(1, 1);
    previewColumn->addWidget(m_preview, 1);
    m_pages->addWidget(previewPage);
    connect(m_previewCancel, &QPushButton::clicked, this, [this] { showGrid(); });
    connect(m_use, &QPushButton::clicked, this, [this] { finishPicking(m_chosen); });

    m_loader = new QTimer(this);
    m_loader->setInterval(0);
    connect(m_loader, &QTimer::timeout, this, [this] { loadStep(); });
}

ImagePickerController::~ImagePickerController() = default;

bool ImagePickerController::isSourceTypeAvailable(SourceType type)
{
    // Pictures come from a folder; no camera is built in.
    return type == SourceType::PhotoLibrary || type == SourceType::SavedPhotosAlbum;
}

QString ImagePickerController::photoLibraryFolder(const QSettings& settings)
{
    const QString configured = settings.value(QLatin1String(kPicturesPathKey)).toString();
    if (!configured.isEmpty())
        return QDir::cleanPath(QDir::fromNativeSeparators(configured));
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

QStringList ImagePickerController::picturePaths() const
{
    QStringList paths;
    for (int i = 0; i < m_grid->count(); ++i)
        paths << m_grid->item(i)->data(Qt::UserRole).toString();
    return paths;
}

bool ImagePickerController::isLoading() const
{
    return m_walk || m_nextThumbnail < m_found.size();
}

bool ImagePickerController::isPreviewing() const
{
    return m_pages->currentIndex() == 1;
}

void ImagePickerController::viewWillAppear(bool)
{
    m_grid->clear();
    m_found.clear();
    m_nextThumbnail = 0;
    m_chosen = QImage();
    m_preview->clear();
    showGrid();
    m_walk.reset();
    if (!m_folder.isEmpty() && QFileInfo(m_folder).isDir()) {
        // Links to folders are not followed, so a link loop cannot trap the walk.
        m_walk = std::make_unique<QDirIterator>(m_folder, QDir::Files | QDir::NoDotAndDotDot,
                                                QDirIterator::Subdirectories);
        m_loader->start();
    }
    updateNote();
}

void ImagePickerController::viewDidDisappear(bool)
{
    m_loader->stop();
    m_walk.reset();
    m_found.clear();
    m_nextThumbnail = 0;
}

void ImagePickerController::loadStep()
{
    if (m_walk) {
        for (int i = 0; i < kWalkBatch && m_walk->hasNext(); ++i) {
            const QString path = m_walk->next();
            const QString suffix = m_walk->fileInfo().suffix().toLower();
            if (m_formats.contains(suffix) && m_found.size() < kMaxPictures)
                m_found << path;
        }
        if (!m_walk->hasNext() || m_found.size() >= kMaxPictures) {
            m_walk.reset();
            // Folder by folder, in name order, as a file browser lists them.
            std::sort(m_found.begin(), m_found.end(), [](const QString& a, const QString& b) {
                return QString::compare(a, b, Qt::CaseInsensitive) < 0;
            });
        }
        if (m_walk)
            return;
    }
    for (int i = 0; i < kThumbnailBatch && m_nextThumbnail < m_found.size(); ++i) {
        const QString path = m_found[m_nextThumbnail++];
        const QImage thumbnail = thumbnailOf(path);
        if (thumbnail.isNull())
            continue; // not a picture after all, or unreadable: not offered
        auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnail)), QString());
        item->setData(Qt::UserRole, path);
        item->setToolTip(QFileInfo(path).fileName());
        // A picture has no title of its own; screen readers read its file's name.
        item->setData(Qt::AccessibleTextRole, QFileInfo(path).fileName());
        m_grid->addItem(item);
    }
    if (!isLoading())
        m_loader->stop();
    updateNote();
}

void ImagePickerController::updateNote()
{
    QString text;
    if (m_folder.isEmpty() || !QFileInfo(m_folder).isDir())
        text = tr("The pictures folder %1 does not exist.").arg(m_folder);
    else if (!isLoading() && m_grid->count() == 0)
        text = tr("There are no pictures in %1.").arg(m_folder);
    m_note->setText(text);
    m_note->setVisible(!text.isEmpty());
}

QImage ImagePickerController::readPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > kMaxPictureSide)
        reader.setScaledSize(size.scaled(kMaxPictureSide, kMaxPictureSide, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull())
        qCWarning(lcPlatformUi).noquote()
            << "Cannot read the picture" << path << ":" << reader.errorString();
    return image;
}

void ImagePickerController::choosePicture(int index)
{
    if (index < 0 || index >= m_grid->count())
        return;
    const QImage image = readPicture(m_grid->item(index)->data(Qt::UserRole).toString());
    if (!m_allowsImageEditing || image.isNull()) {
        finishPicking(image);
        return;
    }
    m_chosen = image;
    m_pages->setCurrentIndex(1);
    const QSize room = m_preview->size().isEmpty() ? size() : m_preview->size();
    m_preview->setPixmap(
        QPixmap::fromImage(image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void ImagePickerController::showGrid()
{
    m_pages->setCurrentIndex(0);
    m_chosen = QImage();
    m_preview->clear();
}

void ImagePickerController::finishPicking(const QImage& image)
{
    const QImage picked = image;
    showGrid();
    if (m_delegate.didFinishPickingImage)
        m_delegate.didFinishPickingImage(this, picked);
    else
        dismissModalViewControllerAnimated(true);
}

void ImagePickerController::cancelled()
{
    if (m_delegate.didCancel)
        m_delegate.didCancel(this);
    else
        dismissModalViewControllerAnimated(true);
}
