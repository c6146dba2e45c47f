// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/ViewController.h"

#include <QDirIterator>
#include <QImage>
#include <QStringList>

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QSettings;
class QStackedWidget;
class QTimer;

// A screen for choosing a picture, presented modally. Its photo library is a folder of image
// files (the user's pictures folder): thumbnails of every image in it and in its subfolders, in
// any format Qt reads, appear as they are made. With image editing allowed, a chosen picture is
// first shown large, to be taken ("Choose") or put back ("Cancel"); no cropping is offered.
// There is no camera: isSourceTypeAvailable(Camera) is false.
class ImagePickerController : public ViewController
{
    Q_OBJECT
public:
    enum class SourceType
    {
        PhotoLibrary = 0,
        Camera = 1,
        SavedPhotosAlbum = 2,
    };

    struct Delegate
    {
        // A picture was taken. The image is null when the chosen file could not be read. The
        // delegate dismisses the picker.
        std::function<void(ImagePickerController*, const QImage&)> didFinishPickingImage;
        // The user cancelled; the delegate dismisses the picker.
        std::function<void(ImagePickerController*)> didCancel;
    };

    // Pictures are read at most this large on their longer side (larger ones are scaled down
    // while they are read), so that no picture can exhaust the memory.
    static constexpr int kMaxPictureSide = 4096;
    static constexpr int kThumbnailSide = 75;
    // At most this many pictures are listed.
    static constexpr int kMaxPictures = 5000;

    explicit ImagePickerController(QWidget* parent = nullptr);
    ~ImagePickerController() override;

    static bool isSourceTypeAvailable(SourceType type);
    // The photo library's folder: the setting "pictures_path" when set, else the desktop's
    // pictures folder.
    static QString photoLibraryFolder(const QSettings& settings);

    void setSourceType(SourceType type) { m_sourceType = type; }
    SourceType sourceType() const { return m_sourceType; }
    void setDelegate(Delegate delegate) { m_delegate = std::move(delegate); }
    void setAllowsImageEditing(bool allows) { m_allowsImageEditing = allows; }
    bool allowsImageEditing() const { return m_allowsImageEditing; }
    void setFolder(const QString& folder) { m_folder = folder; }
    QString folder() const { return m_folder; }

    // The pictures listed so far, in the order shown, and whether more are still being looked
    // for. The list is made anew each time the picker appears.
    QStringList picturePaths() const;
    bool isLoading() const;
    QListWidget* grid() const { return m_grid; }
    QLabel* noteLabel() const { return m_note; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The preview of a chosen picture, and its buttons; shown only while a picture is chosen.
    QLabel* previewLabel() const { return m_preview; }
    QPushButton* useButton() const { return m_use; }
    QPushButton* previewCancelButton() const { return m_previewCancel; }
    bool isPreviewing() const;

    // As a tap on the picture at `index` of picturePaths().
    void choosePicture(int index);
    // Reads a picture as the picker takes it (scaled down to kMaxPictureSide, turned upright).
    static QImage readPicture(const QString& path);

    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    void loadStep();
    void finishPicking(const QImage& image);
    void cancelled();
    void showGrid();
    void updateNote();

    SourceType m_sourceType = SourceType::PhotoLibrary;
    Delegate m_delegate;
    bool m_allowsImageEditing = false;
    QString m_folder;

    QStackedWidget* m_pages = nullptr;
    QListWidget* m_grid = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_use = nullptr;
    QPushButton* m_previewCancel = nullptr;
    QImage m_chosen;

    QTimer* m_loader = nullptr;
    std::unique_ptr<QDirIterator> m_walk;
    QStringList m_found; // picture files found by the walk, waiting for their thumbnails
    qsizetype m_nextThumbnail = 0;
    QStringList m_formats; // file name suffixes Qt can read as images
};
