// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/AppDelegate.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ViewController.h"

#include <QImage>

#include <memory>

class ActionSheet;
class ImageButton;
class QLabel;
class QPushButton;
class SwitchControl;
class TextField;

// Everything about one recording: its name (edited here), its photo, its category (chosen on a
// picker screen of its own), the facts of its file, and whether web sharing shows it; buttons
// lead to the recorder screen and the export screen. The recording list's detail button opens
// it. Each time the screen is shown it reads the current recording (element recordingIndex of
// the current view list) anew and edits that record in place.
//
// Every edit reaches the disk and the shared pages: a new name and a new photo are saved at
// once; a new category and the web-sharing switch go through the library's change path, so they
// are published and saved by the end of the current event-loop turn.
class ItemDetailsController : public ViewController, public PickerView::DataSource
{
    Q_OBJECT
public:
    // The photo button's frame as the screen is first laid out; its size follows the photo.
    static constexpr QRect kPhotoButtonFrame{10, 10, 120, 90};

    explicit ItemDetailsController(AppDelegate* appDelegate, QWidget* parent = nullptr);
    ~ItemDetailsController() override;

    AppDelegate* myAppDelegate() const { return m_appDelegate; }
    // The recording shown, or none before the screen has first been shown with one.
    std::shared_ptr<Recording> curRec() const { return m_curRec; }

    TextField* recordingNameTextField() const { return m_nameField; }
    ImageButton* photoPickerButton() const { return m_photoButton; }
    ImagePickerController* photoPicker() const { return m_photoPicker; }
    // Made the first time it is needed.
    ActionSheet* photoActionSheet_2choice() const { return m_photoSheet; }
    QPushButton* categoryOfRecording() const { return m_categoryButton; }
    QLabel* categoryOfRecordingL() const { return m_categoryLabel; }
    PickerView* categoryPicker() const { return m_categoryPicker; }
    ViewController* categoryPickerController() const { return m_categoryPickerController; }
    QPushButton* categoryDoneButton() const { return m_categoryDone; }
    QLabel* durationOfRecording() const { return m_duration; }
    QLabel* dateOfRecording() const { return m_date; }
    QLabel* sizeOfRecording() const { return m_size; }
    QLabel* typeOfRecording() const { return m_type; }
    QLabel* qualityOfRecording() const { return m_quality; }
    QLabel* channelsOfRecording() const { return m_channels; }
    QLabel* locationOfRecording() const { return m_location; }
    SwitchControl* hideSharing() const { return m_hideSharing; }
    QPushButton* recordButton() const { return m_recordButton; }
    QPushButton* playButton() const { return m_playButton; }
    QPushButton* exportButton() const { return m_exportButton; }

    // ---- Operations (the controls are wired to these) ----
    void viewWillAppear(bool animated) override;
    // Leaving the screen keeps a name typed without Return.
    void viewWillDisappear(bool animated) override;
    void updatePhotoPickerButton();
    bool textFieldShouldReturn(TextField* textField);
    void setWebSharing(SwitchControl* sender);
    void postPhotoActionSheet();
    void takeNewPhoto();
    void usePhotoLib();
    void postCategoryPicker();
    void puntCategoryPicker();
    void navigateToRecordingController();
    void navigateToPlayingController();
    void postExportController();

    // ---- Category picker ----
    int numberOfComponentsInPickerView(PickerView*) const { return 1; }
    int pickerViewNumberOfRowsInComponent(PickerView* picker, int component) override;
    QString pickerViewTitleForRow(PickerView* picker, int row, int component) override;
    void pickerViewDidSelectRow(PickerView* picker, int row, int component);

    // ---- Photo-source sheet and picker ----
    void actionSheetDidDismissWithButtonIndex(ActionSheet* sheet, int buttonIndex);
    // A null image stands for a picture that could not be read.
    void imagePickerControllerDidFinishPickingImage(ImagePickerController* picker,
                                                    const QImage& image);
    void imagePickerControllerDidCancel(ImagePickerController* picker);

    // ---- The facts as the screen shows them ----
    static QString durationText(double seconds);
    static QString channelsText(int32_t channels);
    static QString typeText(const QString& filename);
    static QString categoryText(const QString& category);
    // The WAV file's size through getSizeString, or "0" when it cannot be read.
    QString sizeText(const Recording& recording) const;
    static QString locationText(const Recording& recording);

private:
    void fill();
    // The name field's text becomes the recording's name (when it differs) and is saved.
    void commitName();
    // Screens opened from here act on the recording this screen shows.
    void makeShownRecordingCurrent();
    void buildCategoryPickerScreen();
    void presentPicker(ImagePickerController::SourceType sourceType);
    // Writes the picture as the recording's photo file; false with the reason otherwise.
    bool writePhoto(const QImage& image, QString* error) const;
    void showPhotoAlert(const QString& message);

    AppDelegate* m_appDelegate;
    std::shared_ptr<Recording> m_curRec;
    // Set while a screen this one presents is up: coming back from it shows the same record.
    bool m_presenting = false;

    TextField* m_nameField = nullptr;
    ImageButton* m_photoButton = nullptr;
    ImagePickerController* m_photoPicker = nullptr;
    ActionSheet* m_photoSheet = nullptr;
    QPushButton* m_categoryButton = nullptr;
    QLabel* m_categoryLabel = nullptr;
    PickerView* m_categoryPicker = nullptr;
    ViewController* m_categoryPickerController = nullptr;
    QPushButton* m_categoryDone = nullptr;
    QLabel* m_duration = nullptr;
    QLabel* m_date = nullptr;
    QLabel* m_size = nullptr;
    QLabel* m_type = nullptr;
    QLabel* m_quality = nullptr;
    QLabel* m_channels = nullptr;
    QLabel* m_location = nullptr;
    SwitchControl* m_hideSharing = nullptr;
    QPushButton* m_recordButton = nullptr;
    QPushButton* m_playButton = nullptr;
    QPushButton* m_exportButton = nullptr;
};
