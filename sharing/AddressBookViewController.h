#pragma once

#include "platform/system/AddressBook.h"
#include "platform/ui/ViewController.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class AppDelegate;
class IdleInhibitor;
class PeoplePickerNavigationController;
class ProgressView;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class Recording;
class Uploader;

// The e-mail composition screen: recipient, sender, subject and text for an e-mail that carries
// the current recording, a button that picks the recipient from the address book, and Send,
// which hands the recording to an Uploader and returns to the previous screen while the upload
// runs. The outcome is shown in an alert over whatever screen is up by then.
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
    Uploader* myUploader() const { return m_myUploader; }
    // The address book picker while it is open.
    PeoplePickerNavigationController* picker() const;
    IdleInhibitor* idleInhibitor() const { return m_idleInhibitor; }

private:
    void presentPicker(std::vector<AddressBook::Person> people);
    void showError(const QString& message);
    void releaseUploader();

    AppDelegate* appDelegate = nullptr;
    Environment m_env;
    // The recording this screen sends: the current one when the screen appeared, named on it.
    std::shared_ptr<Recording> m_recording;
    QLabel* m_recordingLabel = nullptr;
    QLineEdit* m_emailTo = nullptr;
    QLineEdit* m_emailFrom = nullptr;
    QLineEdit* m_messageSubject = nullptr;
    QLineEdit* m_messageText = nullptr;
    QProgressBar* m_activityIndicator = nullptr;
    ProgressView* m_progressBar = nullptr;
    QPushButton* m_addressBookButton = nullptr;
    QPushButton* m_sendButton = nullptr;
    Uploader* m_myUploader = nullptr;
    QPointer<PeoplePickerNavigationController> m_picker;
    bool m_readingAddressBook = false; // a tap while the files are read starts no second read
    std::unique_ptr<IdleInhibitor> m_ownIdleInhibitor;
    IdleInhibitor* m_idleInhibitor = nullptr;
};
