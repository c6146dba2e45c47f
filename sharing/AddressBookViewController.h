// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioConverter.h"
#include "platform/system/AddressBook.h"
#include "platform/ui/ViewController.h"

#include <QDateTime>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppDelegate;
class IdleInhibitor;
class PeoplePickerNavigationController;
class ProgressView;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTemporaryDir;
class Recording;
class Uploader;

// The e-mail composition screen: recipient, sender, subject and text for an e-mail that carries
// the current recording, a button that picks the recipient from the address book, and Send,
// which hands the recording to an Uploader and, once the server has answered its first request
// (the screen busy and Send disabled meanwhile), returns to the previous screen while the upload
// runs. The outcome is shown in an alert over whatever screen is up by then.
//
// With the setting "email_format" at "opus" or "flac" the memo goes as a converted copy: the
// conversion starts when the screen appears (a Send before it has finished waits for it), the
// screen shows the size that will be sent, and the 10 MB limit applies to that copy. The copy
// lives in a temporary folder until its upload has ended; the WAV itself is never changed.
class AddressBookViewController : public ViewController
{
    Q_OBJECT
public:
    struct Environment
    {
        // Kept from sleeping while an upload runs; one on the machine's buses when null. Not
        // owned.
        IdleInhibitor* idleInhibitor = nullptr;
        // The people the picker offers; the address book's usual places when empty.
        std::function<std::vector<AddressBook::Person>()> addressBook;
        // How long each request to the upload server may take.
        int uploadTimeoutMs = 20000;
    };

    // Recordings larger than this are not sent.
    static constexpr qint64 kMaxFileBytes = 10 * 1024 * 1024;
    // The sender filled in when the settings name none.
    static constexpr const char* kNoReplySender = "no-reply@sonavell.invalid";

    AddressBookViewController(AppDelegate* appDelegate, Environment environment,
                              QWidget* parent = nullptr);
    explicit AddressBookViewController(AppDelegate* appDelegate, QWidget* parent = nullptr);
    ~AddressBookViewController() override;

    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // Offers the address book's people in a picker: the injected ones at once, else those of the
    // usual places and the contacts setting once they are read (off the main thread).
    void showPicker();
    void peoplePickerNavigationControllerDidCancel(PeoplePickerNavigationController* picker);
    bool peoplePickerNavigationControllerShouldContinueAfterSelectingPerson(
        PeoplePickerNavigationController* picker, const AddressBook::Person& person);
    void startProgress();
    void uploadFile();
    void onUploadDone();
    void onUploadError();

    QLineEdit* emailTo() const { return m_emailTo; }
    QLineEdit* emailFrom() const { return m_emailFrom; }
    QLineEdit* messageSubject() const { return m_messageSubject; }
    QLineEdit* messageText() const { return m_messageText; }
    QProgressBar* activityIndicator() const { return m_activityIndicator; }
    ProgressView* progressBar() const { return m_progressBar; }
    QPushButton* addressBookButton() const { return m_addressBookButton; }
    QPushButton* sendButton() const { return m_sendButton; }
    QLabel* recordingLabel() const { return m_recordingLabel; }
    // "Size to send: …", or what keeps the size from being known yet.
    QLabel* sizeLabel() const { return m_sizeLabel; }
    // True while the copy to send is being converted.
    bool isConverting() const { return m_converter && m_converter->isRunning(); }
    Uploader* myUploader() const { return m_myUploader; }
    // The address book picker while it is open.
    PeoplePickerNavigationController* picker() const;
    IdleInhibitor* idleInhibitor() const { return m_idleInhibitor; }

private:
    void presentPicker(std::vector<AddressBook::Person> people);
    void showError(const QString& message);
    void releaseUploader();
    // The format the setting asks for: nullopt for the WAV itself.
    std::optional<AudioConverter::Format> emailFormat() const;
    // Starts making the copy of `wavPath` that Send uploads, or shows the WAV's size.
    void prepareAttachment(const QString& wavPath);
    void attachmentPrepared(const AudioConverter::Result& result);
    void startUpload(const QUrl& serverURL, const QString& attachmentPath, const QString& to);

    AppDelegate* appDelegate = nullptr;
    Environment m_env;
    // The recording this screen sends: the current one when the screen appeared, named on it.
    std::shared_ptr<Recording> m_recording;
    QLabel* m_recordingLabel = nullptr;
    QLabel* m_sizeLabel = nullptr;
    // The converted copy: its folder, its path once complete, or why it failed; and the WAV's
    // size and modification time it was made from (a changed WAV is converted again).
    std::unique_ptr<AudioConverter> m_converter;
    std::unique_ptr<QTemporaryDir> m_preparedDir;
    QString m_preparedPath;
    QString m_preparedError;
    QString m_preparedFrom;
    qint64 m_preparedSize = -1;
    QDateTime m_preparedModified;
    bool m_sendWhenPrepared = false; // Send was pressed while the copy was being made
    // The folder of the copy being uploaded, removed when the upload ends.
    std::unique_ptr<QTemporaryDir> m_uploadDir;
    QLineEdit* m_emailTo = nullptr;
    QLineEdit* m_emailFrom = nullptr;
    QLineEdit* m_messageSubject = nullptr;
    QLineEdit* m_messageText = nullptr;
    QProgressBar* m_activityIndicator = nullptr;
    ProgressView* m_progressBar = nullptr;
    QPushButton* m_addressBookButton = nullptr;
    QPushButton* m_sendButton = nullptr;
    Uploader* m_myUploader = nullptr;
    // Send returns to the previous screen once the upload's name fetch has ended; the user
    // leaving the screen before that cancels the return.
    bool m_leaveWhenNamed = false;
    QPointer<PeoplePickerNavigationController> m_picker;
    bool m_readingAddressBook = false; // a tap while the files are read starts no second read
    std::unique_ptr<IdleInhibitor> m_ownIdleInhibitor;
    IdleInhibitor* m_idleInhibitor = nullptr;
};
