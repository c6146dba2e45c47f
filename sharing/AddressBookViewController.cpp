// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/AddressBookViewController.h"

#include "core/AppDelegate.h"
#include "platform/system/DocumentPath.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/system/SettingsKeys.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PeoplePickerNavigationController.h"
#include "platform/ui/ProgressView.h"
#include "sharing/ExportController.h"
#include "sharing/SharingLog.h"
#include "sharing/Uploader.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

AddressBookViewController::AddressBookViewController(AppDelegate* appDelegate, QWidget* parent)
    : AddressBookViewController(appDelegate, Environment{}, parent)
{
}

AddressBookViewController::AddressBookViewController(AppDelegate* appDelegate,
                                                     Environment environment, QWidget* parent)
    : ViewController(parent)
    , appDelegate(appDelegate)
    , m_env(std::move(environment))
{
    setTitle(tr("Email"));
    m_idleInhibitor = m_env.idleInhibitor;
    if (!m_idleInhibitor) {
        m_ownIdleInhibitor = std::make_unique<IdleInhibitor>();
        m_idleInhibitor = m_ownIdleInhibitor.get();
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);
    m_recordingLabel = new QLabel(this);
    m_recordingLabel->setObjectName(QStringLiteral("recordingLabel"));
    m_recordingLabel->setWordWrap(true);
    m_recordingLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(m_recordingLabel);
    m_sizeLabel = new QLabel(this);
    m_sizeLabel->setObjectName(QStringLiteral("sizeLabel"));
    m_sizeLabel->setWordWrap(true);
    m_sizeLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(m_sizeLabel);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    m_emailTo = new QLineEdit(this);
    m_emailFrom = new QLineEdit(this);
    m_messageSubject = new QLineEdit(this);
    m_messageText = new QLineEdit(this);
    m_emailTo->setPlaceholderText(tr("name@example.org"));
    form->addRow(tr("To:"), m_emailTo);
    form->addRow(tr("From:"), m_emailFrom);
    form->addRow(tr("Subject:"), m_messageSubject);
    form->addRow(tr("Text:"), m_messageText);
    layout->addLayout(form);
    for (QLineEdit* field : {m_emailTo, m_emailFrom, m_messageSubject, m_messageText})
        connect(field, &QLineEdit::returnPressed, field, [field] { field->clearFocus(); });

    m_addressBookButton = new QPushButton(tr("Address Book"), this);
    connect(m_addressBookButton, &QPushButton::clicked, this,
            &AddressBookViewController::showPicker);
    layout->addWidget(m_addressBookButton);

    auto* note = new QLabel(tr("The recording is uploaded to your upload server, which e-mails "
                               "it as an attachment."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);

    m_activityIndicator = new QProgressBar(this);
    m_activityIndicator->setRange(0, 0);
    m_activityIndicator->setTextVisible(false);
    m_activityIndicator->setHidden(true);
    layout->addWidget(m_activityIndicator);
    // Handed to the uploader; the progress itself shows on the export screen.
    m_progressBar = new ProgressView(this);
    m_progressBar->setHidden(true);
    layout->addWidget(m_progressBar);
    layout->addStretch();

    m_sendButton = new QPushButton(tr("Send"), this);
    m_sendButton->hide();
    connect(m_sendButton, &QPushButton::clicked, this, [this] {
        startProgress();
        uploadFile();
    });
    setRightBarButton(m_sendButton);
}

AddressBookViewController::~AddressBookViewController()
{
    // A conversion still running is cancelled before its folder goes.
    m_converter.reset();
    // An upload still running ends with the screen; nothing is reported any more.
    delete m_myUploader;
    if (m_myUploader)
        m_idleInhibitor->setIdleTimerDisabled(false);
}

void AddressBookViewController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    m_recording = appDelegate->currentRecording();
    // Worded as on the push screen.
    m_recordingLabel->setText(m_recording ? tr("Memo: %1").arg(m_recording->name())
                                          : tr("No memo is chosen."));
    m_recordingLabel->setAccessibleName(tr("Memo to send"));
    m_recordingLabel->setAccessibleDescription(m_recordingLabel->text());
    if (!m_sendWhenPrepared)
        prepareAttachment(m_recording ? DocumentPath::resolve(appDelegate->documentsPath(),
                                                              m_recording->filename())
                                      : QString());
    QSettings& defaults = appDelegate->userDefaults();
    m_messageSubject->setText(defaults.value(QLatin1String(kEmailSubjectKey)).toString());
    m_messageText->setText(defaults.value(QLatin1String(kEmailBodyKey)).toString());
    const QString from = defaults.value(QLatin1String(kEmailFromKey)).toString().trimmed();
    m_emailFrom->setText(from.isEmpty() ? QString::fromLatin1(kNoReplySender) : from);
    // The system font at 14 of the screen's points, which are pixels here.
    QFont font = m_emailTo->font();
    font.setPixelSize(14);
    for (QLineEdit* field : {m_emailTo, m_emailFrom, m_messageSubject, m_messageText})
        field->setFont(font);
    m_activityIndicator->setHidden(true);
}

void AddressBookViewController::viewWillDisappear(bool animated)
{
    ViewController::viewWillDisappear(animated);
    m_leaveWhenNamed = false;
}

PeoplePickerNavigationController* AddressBookViewController::picker() const
{
    // A dismissed picker is hidden at once and deleted a little later.
    return m_picker && !m_picker->isHidden() ? m_picker.data() : nullptr;
}

void AddressBookViewController::showPicker()
{
    if (picker() || m_readingAddressBook)
        return;
    if (m_env.addressBook) {
        presentPicker(m_env.addressBook());
        return;
    }
    // The vCard files are read on a worker, so a large address book or a slow disk never holds
    // the screen; the picker comes up when they are read, unless the screen has been left.
    const QString path =
        appDelegate->userDefaults().value(QLatin1String(kContactsPathKey)).toString();
    m_readingAddressBook = true;
    AddressBook::loadInBackground(AddressBook::defaultSources(path), this,
                                  [this](std::vector<AddressBook::Person> people) {
                                      m_readingAddressBook = false;
                                      if (isVisible())
                                          presentPicker(std::move(people));
                                  });
}

void AddressBookViewController::presentPicker(std::vector<AddressBook::Person> people)
{
    PeoplePickerNavigationController::Delegate delegate;
    delegate.didCancel = [this](PeoplePickerNavigationController* picker) {
        peoplePickerNavigationControllerDidCancel(picker);
    };
    delegate.shouldContinueAfterSelectingPerson = [this](PeoplePickerNavigationController* picker,
                                                         const AddressBook::Person& person) {
        return peoplePickerNavigationControllerShouldContinueAfterSelectingPerson(picker, person);
    };
    m_picker = new PeoplePickerNavigationController(std::move(people), std::move(delegate));
    m_picker->presentOver(window());
}

void AddressBookViewController::peoplePickerNavigationControllerDidCancel(
    PeoplePickerNavigationController* picker)
{
    picker->dismiss();
}

bool AddressBookViewController::peoplePickerNavigationControllerShouldContinueAfterSelectingPerson(
    PeoplePickerNavigationController* picker, const AddressBook::Person& person)
{
    m_emailTo->setText(person.emails.isEmpty() ? tr("Not Available") : person.emails.first());
    picker->dismiss();
    return false;
}

void AddressBookViewController::startProgress()
{
    m_activityIndicator->setHidden(false);
    for (QLineEdit* field : {m_emailTo, m_emailFrom, m_messageSubject, m_messageText})
        field->clearFocus();
}

void AddressBookViewController::showError(const QString& message)
{
    m_activityIndicator->setHidden(true);
    auto* alert = new AlertView(tr("Error"), message, {}, tr("Done"));
    alert->show();
}

void AddressBookViewController::uploadFile()
{
    if (m_myUploader) {
        showError(tr("A recording is being e-mailed now. Wait until it has been sent."));
        return;
    }
    const QString server =
        appDelegate->userDefaults().value(QLatin1String(kUploadUrlKey)).toString().trimmed();
    const QUrl serverURL(server, QUrl::StrictMode);
    if (server.isEmpty() || !serverURL.isValid() ||
        (serverURL.scheme() != QLatin1String("http") &&
         serverURL.scheme() != QLatin1String("https"))) {
        showError(tr("No upload server is configured. E-mail goes through a "
                     "sonavell-upload-server; set its address (for example "
                     "http://192.168.1.10:8025) as \"upload_url\" in Sonavell's settings."));
        return;
    }

    if (!m_recording || !appDelegate->recordings().contains(m_recording)) {
        showError(tr("There is no recording to send. Choose a recording first."));
        return;
    }
    const QString path =
        DocumentPath::resolve(appDelegate->documentsPath(), m_recording->filename());
    if (path.isEmpty() || DocumentPath::kind(path) != DocumentPath::Kind::Regular) {
        showError(tr("The recording's file could not be found."));
        return;
    }
    QString attachment = path;
    if (emailFormat()) {
        const QFileInfo wav(path);
        if (m_preparedFrom != path || wav.size() != m_preparedSize ||
            wav.lastModified() != m_preparedModified)
            prepareAttachment(path); // another memo, or this one has changed since
        if (isConverting()) {
            m_sendWhenPrepared = true; // sent once the copy is complete
            return;
        }
        if (m_preparedPath.isEmpty()) {
            showError(m_preparedError);
            return;
        }
        attachment = m_preparedPath;
    }
    if (QFileInfo(attachment).size() > kMaxFileBytes) {
        showError(tr("Sonavell cannot email recordings larger than 10MB."));
        return;
    }
    const QString to = m_emailTo->text().trimmed();
    static const QRegularExpression address(QStringLiteral("^[^\\s@,;<>\"]+@[^\\s@,;<>\"]+$"));
    if (!address.match(to).hasMatch()) {
        showError(tr("Enter the recipient's e-mail address, or pick one from the address book."));
        return;
    }
    startUpload(serverURL, attachment, to);
}

void AddressBookViewController::startUpload(const QUrl& serverURL, const QString& attachmentPath,
                                            const QString& to)
{
    // The copy's folder stays until the upload has ended; the next memo gets a copy of its own.
    if (attachmentPath == m_preparedPath && !m_preparedPath.isEmpty()) {
        m_uploadDir = std::move(m_preparedDir);
        m_preparedPath.clear();
        m_preparedFrom.clear();
    }

    auto* sending = new AlertView(
        tr("Sending Recording"),
        tr("The recording is now being uploaded to our server and will be emailed when the "
           "upload is complete.  Do not quit Sonavell until the upload has completed, or the "
           "email will not be sent."),
        {}, tr("OK"));
    sending->show();
    m_idleInhibitor->setIdleTimerDisabled(true);

    QPointer<ExportController> progressReceiver = appDelegate->exportController;
    Uploader::ProgressReceiver progress;
    if (progressReceiver)
        progress = [progressReceiver](float value) {
            if (progressReceiver)
                progressReceiver->updateEmailProgress(value);
        };
    // The uploader is this screen's: the outcome callbacks never outlive it.
    m_myUploader = new Uploader(
        serverURL, attachmentPath, std::move(progress), [this](Uploader*) { onUploadDone(); },
        [this](Uploader*) { onUploadError(); }, m_progressBar, to, m_emailFrom->text(),
        m_messageSubject->text(), m_messageText->text(), m_env.uploadTimeoutMs);
    // The screen stays, busy, until the server has answered the name fetch; a second Send
    // meanwhile does nothing. Then it returns to the previous screen, unless the user has left
    // it already.
    m_sendButton->setEnabled(false);
    m_leaveWhenNamed = true;
    connect(m_myUploader, &Uploader::nameFetchEnded, this, [this] {
        m_sendButton->setEnabled(true);
        if (std::exchange(m_leaveWhenNamed, false) && navigationController() &&
            navigationController()->topViewController() == this)
            navigationController()->popViewControllerAnimated(true);
    });
}

void AddressBookViewController::releaseUploader()
{
    if (m_myUploader)
        m_myUploader->deleteLater();
    m_myUploader = nullptr;
    m_uploadDir.reset();
    m_idleInhibitor->setIdleTimerDisabled(false);
}

std::optional<AudioConverter::Format> AddressBookViewController::emailFormat() const
{
    const QString format =
        appDelegate->userDefaults().value(QLatin1String(kEmailFormatKey)).toString();
    if (format == QLatin1String("opus"))
        return AudioConverter::Format::Opus;
    if (format == QLatin1String("flac"))
        return AudioConverter::Format::Flac;
    return std::nullopt; // "wav", unset, or a value this version does not know
}

namespace {

QString formatName(std::optional<AudioConverter::Format> format)
{
    if (!format)
        return QStringLiteral("WAV");
    return *format == AudioConverter::Format::Opus ? QStringLiteral("Opus")
                                                   : QStringLiteral("FLAC");
}

} // namespace

void AddressBookViewController::prepareAttachment(const QString& wavPath)
{
    // A conversion under way for an earlier memo is dropped with its copy.
    m_converter.reset();
    m_preparedDir.reset();
    m_preparedPath.clear();
    m_preparedError.clear();
    m_preparedFrom.clear();
    const std::optional<AudioConverter::Format> format = emailFormat();
    const QFileInfo wav(wavPath);
    if (wavPath.isEmpty() || !wav.isFile()) {
        m_sizeLabel->clear();
    } else if (!format) {
        m_sizeLabel->setText(
            tr("Size to send: %1 (%2)")
                .arg(AppDelegate::getSizeString(uint64_t(wav.size())), formatName(format)));
    } else {
        m_preparedFrom = wavPath;
        m_preparedSize = wav.size();
        m_preparedModified = wav.lastModified();
        m_preparedDir = std::make_unique<QTemporaryDir>();
        if (!m_preparedDir->isValid()) {
            m_preparedDir.reset();
            m_preparedError = tr("There is no room for the converted copy of the memo.");
            m_sizeLabel->setText(m_preparedError);
        } else {
            const QString destination = m_preparedDir->filePath(
                wav.completeBaseName() + QLatin1Char('.') + AudioConverter::extensionFor(*format));
            m_converter = std::make_unique<AudioConverter>();
            connect(m_converter.get(), &AudioConverter::finished, this,
                    [this, destination](const AudioConverter::Result& result) {
                        if (result.ok())
                            m_preparedPath = destination;
                        attachmentPrepared(result);
                    });
            m_converter->start(wavPath, destination, *format);
            m_sizeLabel->setText(tr("Converting to %1…").arg(formatName(format)));
        }
    }
    m_sizeLabel->setAccessibleName(m_sizeLabel->text());
}

void AddressBookViewController::attachmentPrepared(const AudioConverter::Result& result)
{
    if (result.ok()) {
        const qint64 size = QFileInfo(m_preparedPath).size();
        m_sizeLabel->setText(
            tr("Size to send: %1 (%2)")
                .arg(AppDelegate::getSizeString(uint64_t(size)), formatName(emailFormat())));
    } else {
        m_preparedError = tr("The memo could not be converted to %1: %2")
                              .arg(formatName(emailFormat()), result.error);
        m_sizeLabel->setText(m_preparedError);
    }
    m_sizeLabel->setAccessibleName(m_sizeLabel->text());
    if (m_sendWhenPrepared) {
        m_sendWhenPrepared = false;
        uploadFile();
    }
}

void AddressBookViewController::onUploadDone()
{
    auto* alert = new AlertView(tr("Send Recording"),
                                tr("Sonavell has successfully uploaded the recording to our "
                                   "server and the email has been sent."),
                                {}, tr("OK"));
    alert->show();
    releaseUploader();
    qCInfo(lcSharing) << "File Uploaded";
}

void AddressBookViewController::onUploadError()
{
    auto* alert = new AlertView(tr("Error"),
                                tr("An error ocurred sending the memo as an email.  Make sure you "
                                   "are connected to a network, check the email settings and try "
                                   "again. "),
                                {}, tr("OK"));
    alert->show();
    releaseUploader();
    qCInfo(lcSharing) << "Error";
}
