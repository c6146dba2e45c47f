// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/ItemDetailsController.h"

#include "platform/system/AtomicFile.h"
#include "platform/system/DocumentPath.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SwitchControl.h"
#include "platform/ui/TextField.h"
#include "sharing/ExportController.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kNameFontSize = 19;
constexpr int kFactTop = 140;
constexpr int kFactHeight = 22;

const char* kScreenStyle =
    "#itemDetails { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eef0f4,"
    " stop:1 #d5d9e0); }"
    " QLabel#caption { color: #59606b; font-size: 13px; }"
    " QLabel#fact { color: #15171a; font-size: 14px; }"
    " QPushButton#navigation { color: white; font-weight: bold; font-size: 15px;"
    " border: 1px solid #0c0d0f; border-radius: 8px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #62676f, stop:1 #2c2e34); }"
    " QPushButton#navigation:pressed { background: #1c1d21; }";

// The empty photo button: a white rounded frame around "Add Photo".
const char* kEmptyPhotoStyle =
    "ImageButton { background: white; border: 1px solid #a3a9b3; border-radius: 8px; }";

QLabel* addLabel(QWidget* parent, const QRect& frame, const char* objectName,
                 const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    label->setGeometry(frame);
    return label;
}

} // namespace

ItemDetailsController::ItemDetailsController(AppDelegate* appDelegate, QWidget* parent)
    : ViewController(parent)
    , m_appDelegate(appDelegate)
{
    setTitle(tr("Details"));
    setObjectName(QStringLiteral("itemDetails"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromLatin1(kScreenStyle));

    m_photoButton = new ImageButton(this);
    m_photoButton->setObjectName(QStringLiteral("photoPickerButton"));
    m_photoButton->setGeometry(kPhotoButtonFrame);
    m_photoButton->setTitleColor(QColor(0x32, 0x4f, 0x85));
    QFont photoFont = m_photoButton->font();
    photoFont.setPixelSize(15);
    photoFont.setBold(true);
    m_photoButton->setFont(photoFont);
    m_photoButton->setAttribute(Qt::WA_StyledBackground);
    // Its title or its photo: either way it chooses the photo.
    m_photoButton->setAccessibleName(tr("Photo"));
    connect(m_photoButton, &ImageButton::touchUpInside, this, [this] { postPhotoActionSheet(); });

    m_nameField = new TextField(this);
    m_nameField->setObjectName(QStringLiteral("recordingNameTextField"));
    m_nameField->setGeometry(140, 12, 170, 36);
    m_nameField->setPlaceholderText(tr("Name"));
    m_nameField->setAccessibleName(tr("Name"));
    m_nameField->setStyleSheet(
        QStringLiteral("TextField { background: white; color: black; border: 1px solid #a3a9b3;"
                       " border-radius: 6px; padding: 0 6px; }"));
    m_nameField->textFieldShouldReturn = [this](TextField* field) {
        return textFieldShouldReturn(field);
    };
    // Like Return, leaving the field keeps what was typed.
    connect(m_nameField, &QLineEdit::editingFinished, this, [this] { commitName(); });

    // The category: a row-like button that opens the picker, with the name on it.
    m_categoryButton = new QPushButton(QStringLiteral("\u203a"), this);
    m_categoryButton->setObjectName(QStringLiteral("categoryOfRecording"));
    m_categoryButton->setGeometry(140, 56, 170, 36);
    // The keyboard reaches it with Tab; a touch does not take the focus from the name field.
    m_categoryButton->setFocusPolicy(Qt::TabFocus);
    m_categoryButton->setStyleSheet(QStringLiteral(
        "QPushButton { background: white; color: #7d838d; border: 1px solid #a3a9b3;"
        " border-radius: 6px; font-size: 22px; text-align: right; padding-right: 10px; }"
        " QPushButton:pressed { background: #dde6f5; }"));
    connect(m_categoryButton, &QPushButton::clicked, this, [this] { postCategoryPicker(); });
    addLabel(this, QRect(146, 94, 160, 14), "caption", tr("Category"))
        ->setStyleSheet(QStringLiteral("font-size: 11px;"));
    m_categoryLabel = new QLabel(this);
    m_categoryLabel->setObjectName(QStringLiteral("categoryOfRecordingL"));
    m_categoryLabel->setGeometry(148, 56, 138, 36);
    m_categoryLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_categoryLabel->setStyleSheet(
        QStringLiteral("color: #15171a; font-size: 16px; font-weight: bold;"));

    // The facts, one row each: a caption at the left, the value beside it.
    struct Row
    {
        QString caption;
        QLabel** value;
        int lines;
    };
    const Row rows[] = {
        {tr("Date"), &m_date, 1},         {tr("Duration"), &m_duration, 1},
        {tr("Size"), &m_size, 1},         {tr("Type"), &m_type, 1},
        {tr("Quality"), &m_quality, 1},   {tr("Channels"), &m_channels, 1},
        {tr("Location"), &m_location, 2},
    };
    int y = kFactTop;
    for (const Row& row : rows) {
        const int height = kFactHeight * row.lines;
        addLabel(this, QRect(10, y, 80, kFactHeight), "caption", row.caption)
            ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        *row.value = addLabel(this, QRect(100, y, 210, height), "fact");
        (*row.value)
            ->setAlignment(Qt::AlignLeft | (row.lines > 1 ? Qt::AlignTop : Qt::AlignVCenter));
        (*row.value)->setWordWrap(row.lines > 1);
        if (row.lines > 1)
            (*row.value)->setContentsMargins(0, 3, 0, 0);
        y += height;
    }

    addLabel(this, QRect(10, y + 10, 200, 27), "fact", tr("Hide from Web Sharing"))
        ->setStyleSheet(QStringLiteral("font-weight: bold;"));
    m_hideSharing = new SwitchControl(this);
    m_hideSharing->setObjectName(QStringLiteral("hideSharing"));
    m_hideSharing->setGeometry(231, y + 10, 79, 27);
    connect(m_hideSharing, &SwitchControl::valueChanged, this,
            [this](SwitchControl* sender) { setWebSharing(sender); });

    // The way on: the recorder screen (to record more, or to play) and the export screen.
    struct Navigation
    {
        QString title;
        QPushButton** button;
        void (ItemDetailsController::*action)();
    };
    const Navigation buttons[] = {
        {tr("Record"), &m_recordButton, &ItemDetailsController::navigateToRecordingController},
        {tr("Play"), &m_playButton, &ItemDetailsController::navigateToPlayingController},
        {tr("Export"), &m_exportButton, &ItemDetailsController::postExportController},
    };
    int x = 10;
    for (const Navigation& entry : buttons) {
        auto* button = new QPushButton(entry.title, this);
        button->setObjectName(QStringLiteral("navigation"));
        button->setFocusPolicy(Qt::TabFocus);
        button->setGeometry(x, 384, 96, 40);
        connect(button, &QPushButton::clicked, this,
                [this, action = entry.action] { (this->*action)(); });
        *entry.button = button;
        x += 102;
    }

    buildCategoryPickerScreen();

    m_photoPicker = new ImagePickerController(this);
    m_photoPicker->hide();
    ImagePickerController::Delegate pickerDelegate;
    pickerDelegate.didFinishPickingImage = [this](ImagePickerController* picker,
                                                  const QImage& image) {
        imagePickerControllerDidFinishPickingImage(picker, image);
    };
    pickerDelegate.didCancel = [this](ImagePickerController* picker) {
        imagePickerControllerDidCancel(picker);
    };
    m_photoPicker->setDelegate(std::move(pickerDelegate));
}

ItemDetailsController::~ItemDetailsController()
{
    delete m_photoSheet;
}

void ItemDetailsController::buildCategoryPickerScreen()
{
    auto* screen = new ViewController(this);
    screen->setTitle(tr("Category"));
    screen->setObjectName(QStringLiteral("categoryPickerScreen"));
    screen->setAttribute(Qt::WA_StyledBackground);
    screen->setStyleSheet(QStringLiteral(
        "#categoryPickerScreen { background: #d5d9e0; }"
        " #categoryBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #6c717a,"
        " stop:0.5 #40444b, stop:1 #24262b); border-bottom: 1px solid #0c0d0f; }"
        " #categoryBar QLabel { color: white; font-size: 17px; font-weight: bold; }"
        " #categoryBar QPushButton { color: white; font-weight: bold; font-size: 15px;"
        " border: 1px solid #0c0d0f; border-radius: 5px; padding: 0 6px; min-height: 30px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4f8ae0, stop:1 #2461c4); }"
        " QListWidget { background: white; border: 1px solid #8a9099; font-size: 20px; }"
        " QListWidget::item { min-height: 40px; }"
        " QListWidget::item:selected { background: #dde6f5; color: black; }"));
    auto* column = new QVBoxLayout(screen);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bar = new QWidget(screen);
    bar->setObjectName(QStringLiteral("categoryBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setFixedHeight(NavigationController::kNavigationBarHeight);
    auto* barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(5, 0, 5, 0);
    barRow->addSpacing(70);
    auto* title = new QLabel(tr("Category"), bar);
    title->setAlignment(Qt::AlignCenter);
    barRow->addWidget(title, 1);
    m_categoryDone = new QPushButton(tr("Done"), bar);
    m_categoryDone->setObjectName(QStringLiteral("categoryDone"));
    m_categoryDone->setFocusPolicy(Qt::TabFocus);
    m_categoryDone->setFixedWidth(70);
    barRow->addWidget(m_categoryDone);
    column->addWidget(bar);
    m_categoryPicker = new PickerView(screen);
    m_categoryPicker->setObjectName(QStringLiteral("categoryPicker"));
    m_categoryPicker->setAccessibleName(tr("Category"));
    m_categoryPicker->setDataSource(this);
    auto* pickerBox = new QVBoxLayout;
    pickerBox->setContentsMargins(20, 20, 20, 20);
    pickerBox->addWidget(m_categoryPicker);
    column->addLayout(pickerBox, 1);
    connect(m_categoryPicker, &PickerView::didSelectRow, this, [this](int row, int component) {
        pickerViewDidSelectRow(m_categoryPicker, row, component);
    });
    connect(m_categoryDone, &QPushButton::clicked, this, [this] { puntCategoryPicker(); });
    screen->hide();
    m_categoryPickerController = screen;
}

// ---- Filling the screen ----

void ItemDetailsController::viewWillAppear(bool)
{
    // Coming back from the category picker or the photo picker shows the record that was being
    // edited, even when the search text now hides it from the current view list.
    const bool returning = m_presenting && m_curRec;
    m_presenting = false;
    if (!returning) {
        // The current recording by identity, wherever the lists have moved it.
        std::shared_ptr<Recording> current = m_appDelegate->currentRecording();
        if (!current)
            return; // no such recording: the screen keeps what it showed
        m_curRec = std::move(current);
    }
    fill();
}

void ItemDetailsController::viewWillDisappear(bool)
{
    commitName();
}

void ItemDetailsController::fill()
{
    const Recording& rec = *m_curRec;
    m_nameField->setFontSize(kNameFontSize, true);
    m_nameField->setMinimumFontSize(kNameFontSize);
    m_nameField->setText(rec.name());
    m_nameField->setCursorPosition(0);
    updatePhotoPickerButton();
    m_date->setText(m_appDelegate->formatDate(rec.date()));
    m_duration->setText(durationText(rec.duration()));
    m_size->setText(sizeText(rec));
    m_categoryLabel->setText(categoryText(rec.category()));
    m_categoryButton->setAccessibleName(tr("Category: %1").arg(m_categoryLabel->text()));
    m_location->setText(locationText(rec));
    m_quality->setText(rec.quality());
    m_type->setText(typeText(rec.filename()));
    m_channels->setText(channelsText(rec.channels()));
    m_hideSharing->setOn(rec.hideFromWebSharing());
}

QString ItemDetailsController::durationText(double seconds)
{
    return QString::asprintf("%0.1fs", seconds);
}

QString ItemDetailsController::channelsText(int32_t channels)
{
    if (channels == 1)
        return tr("mono");
    if (channels == 2)
        return tr("stereo");
    return tr("unknown");
}

QString ItemDetailsController::typeText(const QString& filename)
{
    return QFileInfo(filename).suffix();
}

QString ItemDetailsController::categoryText(const QString& category)
{
    return category == QLatin1String(kAllRecordingsCategory) ? tr("All") : category;
}

QString ItemDetailsController::sizeText(const Recording& recording) const
{
    // Only a regular file inside the documents folder is measured (links followed).
    const QString path =
        DocumentPath::resolve(m_appDelegate->documentsPath(), recording.filename());
    if (path.isEmpty() || DocumentPath::kind(path) != DocumentPath::Kind::Regular)
        return QStringLiteral("0");
    const QFileInfo info(path);
    return AppDelegate::getSizeString(uint64_t(std::max<qint64>(0, info.size())));
}

QString ItemDetailsController::locationText(const Recording& recording)
{
    if (!recording.locationString().isEmpty())
        return recording.locationString();
    return recording.locationDescription();
}

void ItemDetailsController::updatePhotoPickerButton()
{
    m_photoButton->setText(tr("Add Photo"));
    const QImage thumbnail =
        m_curRec ? m_curRec->getPhotoImage(m_appDelegate->documentsPath()) : QImage();
    m_photoButton->setBackgroundImage(
        thumbnail.isNull() ? StretchableImage() : StretchableImage(QPixmap::fromImage(thumbnail)));
    if (thumbnail.isNull()) {
        m_photoButton->setStyleSheet(QString::fromLatin1(kEmptyPhotoStyle));
        return;
    }
    m_photoButton->setStyleSheet(QString());
    m_photoButton->setText(QString());
    // The button takes the photo's shape and keeps its place.
    QRect frame = m_photoButton->geometry();
    if (thumbnail.height() == 121 && frame.width() > frame.height())
        frame.setSize(QSize(120, 120));
    else if (thumbnail.height() == 90 && frame.height() >= frame.width())
        frame.setSize(QSize(120, 90));
    m_photoButton->setGeometry(frame);
    m_photoButton->update();
}

// ---- Name and web sharing ----

bool ItemDetailsController::textFieldShouldReturn(TextField* textField)
{
    textField->resignFirstResponder();
    commitName();
    return true;
}

void ItemDetailsController::commitName()
{
    if (!m_curRec || m_curRec->name() == m_nameField->text())
        return;
    m_curRec->setName(m_nameField->text());
    m_appDelegate->libraryEdited(true);
}

void ItemDetailsController::makeShownRecordingCurrent()
{
    commitName();
    if (m_curRec && m_appDelegate->recordings().contains(m_curRec))
        m_appDelegate->setCurrentRecording(m_curRec);
}

void ItemDetailsController::setWebSharing(SwitchControl* sender)
{
    if (!m_curRec)
        return;
    m_curRec->setHideFromWebSharing(sender->isOn());
    // Published to the web server and saved at the end of this turn of the event loop.
    m_appDelegate->libraryEdited(true);
}

// ---- Category picker ----

void ItemDetailsController::postCategoryPicker()
{
    if (!m_curRec)
        return;
    m_categoryPicker->reloadAllComponents();
    // The picker opens on the recording's own category.
    const auto& categories = m_appDelegate->categories();
    for (int row = 0; row < categories.size(); ++row) {
        if (categories[row]->name() == m_curRec->category()) {
            m_categoryPicker->selectRow(row, 0, false);
            break;
        }
    }
    presentModalViewController(m_categoryPickerController, true);
    m_presenting = modalViewController() == m_categoryPickerController;
}

void ItemDetailsController::puntCategoryPicker()
{
    dismissModalViewControllerAnimated(true);
}

int ItemDetailsController::pickerViewNumberOfRowsInComponent(PickerView*, int)
{
    return int(m_appDelegate->categories().size());
}

QString ItemDetailsController::pickerViewTitleForRow(PickerView*, int row, int)
{
    const auto& categories = m_appDelegate->categories();
    if (row < 0 || row >= categories.size())
        return QString();
    const QString name = categories[row]->name();
    return name == QLatin1String(kAllRecordingsCategory) ? tr("All") : name;
}

void ItemDetailsController::pickerViewDidSelectRow(PickerView*, int row, int)
{
    const auto& categories = m_appDelegate->categories();
    if (!m_curRec || row < 0 || row >= categories.size())
        return;
    // Every row files the recording under that row's own category, the first row too (which
    // is all recordings unless the archive put another category first).
    m_curRec->setCategory(categories[row]->name());
    m_appDelegate->setCategoryIndex(row);
    // The recording stays current by identity, even where the search text hides it in the
    // chosen category's list.
    m_appDelegate->setCurrentRecording(m_curRec);
    m_appDelegate->libraryEdited(true);
}

// ---- Photo ----

void ItemDetailsController::postPhotoActionSheet()
{
    if (!m_photoSheet) {
        m_photoSheet = new ActionSheet(tr("Choose photo source:"), nullptr, tr("Cancel"), QString(),
                                       {tr("New Photo"), tr("From Library")});
        m_photoSheet->setDidDismissWithButtonIndex([this](ActionSheet* sheet, int index) {
            actionSheetDidDismissWithButtonIndex(sheet, index);
        });
    }
    m_photoSheet->showInView(this);
}

void ItemDetailsController::actionSheetDidDismissWithButtonIndex(ActionSheet* sheet, int index)
{
    if (sheet != m_photoSheet)
        return;
    if (index == 0)
        takeNewPhoto();
    else if (index == 1)
        usePhotoLib();
}

void ItemDetailsController::takeNewPhoto()
{
    presentPicker(ImagePickerController::SourceType::Camera);
}

void ItemDetailsController::usePhotoLib()
{
    presentPicker(ImagePickerController::SourceType::PhotoLibrary);
}

void ItemDetailsController::presentPicker(ImagePickerController::SourceType sourceType)
{
    // An unavailable source (there is no camera) does nothing.
    if (!m_curRec || !ImagePickerController::isSourceTypeAvailable(sourceType))
        return;
    m_photoPicker->setSourceType(sourceType);
    m_photoPicker->setFolder(
        ImagePickerController::photoLibraryFolder(m_appDelegate->userDefaults()));
    m_photoPicker->setAllowsImageEditing(true);
    presentModalViewController(m_photoPicker, true);
    m_presenting = modalViewController() == m_photoPicker;
}

void ItemDetailsController::imagePickerControllerDidFinishPickingImage(ImagePickerController*,
                                                                       const QImage& image)
{
    QString failure;
    if (image.isNull()) {
        failure = tr("The picture could not be read. The recording keeps its photo as it was.");
    } else if (m_curRec) {
        m_photoButton->setText(QString());
        QString error;
        if (writePhoto(image, &error))
            m_appDelegate->libraryEdited(true);
        else
            failure = tr("The photo could not be saved (%1). The recording keeps its photo as "
                         "it was.")
                          .arg(error);
        updatePhotoPickerButton();
    }
    dismissModalViewControllerAnimated(true);
    if (!failure.isEmpty())
        showPhotoAlert(failure);
}

void ItemDetailsController::imagePickerControllerDidCancel(ImagePickerController*)
{
    dismissModalViewControllerAnimated(true);
}

bool ItemDetailsController::writePhoto(const QImage& image, QString* error) const
{
    const QString path =
        DocumentPath::resolveFile(m_appDelegate->documentsPath(), m_curRec->photoFilename());
    if (path.isEmpty()) {
        *error = tr("its file is not a regular file inside the documents folder");
        return false;
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPEG", 80)) {
        *error = tr("the picture could not be encoded as JPEG");
        return false;
    }
    return AtomicFile::write(path, jpeg, error);
}

void ItemDetailsController::showPhotoAlert(const QString& message)
{
    auto* alert = new AlertView(tr("Photo"), message, nullptr, tr("OK"));
    alert->show();
}

// ---- Navigation ----

void ItemDetailsController::navigateToRecordingController()
{
    makeShownRecordingCurrent();
    if (navigationController() && m_appDelegate->audioViewScreen)
        navigationController()->pushViewController(m_appDelegate->audioViewScreen, true);
}

void ItemDetailsController::navigateToPlayingController()
{
    navigateToRecordingController();
}

void ItemDetailsController::postExportController()
{
    makeShownRecordingCurrent();
    if (navigationController() && m_appDelegate->exportController)
        navigationController()->pushViewController(m_appDelegate->exportController, true);
}
