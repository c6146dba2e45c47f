// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Category.h"
#include "core/LibrarySaver.h"
#include "core/LibrarySnapshot.h"
#include "core/Recording.h"
#include "platform/system/CompiledDateFormat.h"
#include "platform/system/FolderListing.h"
#include "platform/system/SettingsKeys.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>

class QSettings;
class NavigationController;
class ViewController;
class LocationManager;
class Location;
class AlertView;
class AudioViewController;
class ItemDetailsController;
class AppInfoController;
class SharingController;
class RecTimerController;
class AddressBookViewController;
class ExportController;

inline constexpr const char* kAllRecordingsCategory = "*****";
inline constexpr const char* kDeletedCategory = "From Deleted Category";

// The application object: owns the library of recordings and categories, runs the start-up and
// shutdown sequences, and is the one place every screen reaches the library through.
// Everything here runs on the main thread; worker threads read librarySnapshot() only.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    using RecordingList = QList<std::shared_ptr<Recording>>;
    using CategoryList = QList<std::shared_ptr<Category>>;

    // What the application object is given by its surroundings. Tests supply their own
    // documents directory, settings file, clock and location source.
    struct Environment
    {
        QString documentsPath;
        std::shared_ptr<QSettings> userDefaults;
        // The current local date and time; the system clock when empty.
        std::function<QDateTime()> now;
        // Waits before the next file-name stamp is taken; a one-second sleep when empty.
        std::function<void()> waitOneSecond;
        // The location source; one built from the settings when empty.
        std::shared_ptr<LocationManager> locationManager;
        // Free bytes of the file system holding `documentsPath`; measured when empty.
        std::function<uint64_t(const QString&)> freeBytes;
        // Shows an alert with one button that only dismisses it; the interface supplies it (the
        // library draws nothing itself). When empty the alert's text is logged instead.
        std::function<void(const QString& title, const QString& message, const QString& button)>
            showAlert;
    };

    // The start-up sequence: loads the library, supplies defaults, starts location stamping
    // and repairs the library against the documents directory.
    explicit AppDelegate(Environment environment, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Screens, connected by the interface builder of the executable. The library never uses
    // them itself; they are where the screens find each other.
    NavigationController* navigationController = nullptr;
    AudioViewController* audioViewController = nullptr;
    // The same recorder screen as the navigation stack sees it; the interface puts it on top
    // when start-up has finished (interfaceReady).
    ViewController* audioViewScreen = nullptr;
    ItemDetailsController* itemDetailsController = nullptr;
    AppInfoController* appInfoController = nullptr;
    SharingController* sharingController = nullptr;
    RecTimerController* recTimerController = nullptr;
    AddressBookViewController* abViewController = nullptr;
    ExportController* exportController = nullptr;

    // The library.
    const CategoryList& categories() const { return m_categories; }
    void setCategories(const CategoryList& categories);
    const RecordingList& recordings() const { return m_recordings; }
    void setRecordings(const RecordingList& recordings);
    // The lists themselves for in-place reordering by the list screens; call libraryEdited() after.
    CategoryList& mutableCategories() { return m_categories; }
    RecordingList& mutableRecordings() { return m_recordings; }

    // The current category and recording are held by identity, so that a rename, refile, move
    // or delete elsewhere in the lists never makes another one current; the indices are their
    // positions now. categoryIndex: the current category's place in `categories` (-1 when there
    // is none). recordingIndex: the current recording's place in the current view list, -1 when
    // there is no current recording or the view does not list it (a search hides it, or it was
    // refiled under another category); it stays current all the same.
    int32_t categoryIndex() const;
    void setCategoryIndex(int32_t index);
    int32_t recordingIndex() const;
    // The recording at that place of the current view list becomes current; none for a place
    // the list does not have.
    void setRecordingIndex(int32_t index);
    // The recording every screen shows and acts on (takes, e-mail, push), or null.
    std::shared_ptr<Recording> currentRecording() const { return m_currentRecording; }
    void setCurrentRecording(std::shared_ptr<Recording> recording);
    // A null string means no text filter.
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString& text) { m_searchText = text; }

    // Location stamping.
    LocationManager* locationManager() const { return m_locationManager.get(); }
    bool foundLocation() const { return m_foundLocation; }
    void setFoundLocation(bool found) { m_foundLocation = found; }
    QString locationString() const { return m_locationString; }
    void setLocationString(const QString& text) { m_locationString = text; }

    // The shared date formatter: short date and short time in the user's locale.
    QString formatDate(const QDateTime& date) const;

    QString documentsPath() const { return m_env.documentsPath; }
    QSettings& userDefaults() const { return *m_env.userDefaults; }

    // Life cycle.
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    // Publishes a snapshot and has both archives written from it on the saving thread; returns
    // at once. A write that fails keeps the previous file whole, logs the reason and tells the
    // user once until a save succeeds again. The result is false when the last save that has
    // ended failed (the outcome of this one is known after waitForSaves()).
    bool persist();
    // Blocks until every save asked for, including edits libraryEdited() has not applied yet, is
    // on disk (or has failed); false when the last failed.
    bool waitForSaves();
    // The one way an in-place edit of the library (a record's fields, the order of the lists)
    // takes effect: a new snapshot for the web server and, with `save`, the archives written.
    // Both happen once at the end of the current event-loop turn, however many edits it made.
    void libraryEdited(bool save = true);
    void integrityCheck();
    bool findLocation();
    void locationManagerDidUpdateToLocation(LocationManager* manager, const Location& newLocation,
                                            const Location& oldLocation);
    void showAirplaneModeSuggestion();
    void showRecoveredFilesAlert();

    // Library operations.
    QString getNewRecordingName() const;
    void addRecording();
    void deleteRecording(int32_t position);
    // The same for a record found by identity (the current one, say, which the view may not
    // list); nothing happens when it is not in the library.
    void deleteRecording(const std::shared_ptr<Recording>& recording);
    // Removes the record of a memo that was never recorded (no file of its own), found by
    // identity; no file is touched. Nothing happens when it is not in the library.
    void forgetUnrecordedRecording(const std::shared_ptr<Recording>& recording);
    void addCategory();
    void deleteCategory(int32_t position);
    // Renames the category and refiles under the new name the recordings that carry the old
    // one, in one change; a name that another category still has keeps its recordings.
    void renameCategory(const std::shared_ptr<Category>& category, const QString& name);
    RecordingList recordingsForCategory(const QString& name) const;
    RecordingList recordingsForCategoryWithTextFilter(const QString& name,
                                                      const QString& filter) const;
    RecordingList recArrayFilter(const QString& filter) const;
    QByteArray dataOfType(const QString& typeName) const;

    // Strings.
    static QString makeTimeStringFromSamps(double samples, int16_t unitsMode, double sampleRate);
    static QString getSizeString(uint64_t bytes);
    QString getUsageString() const;

    // The latest published snapshot of the library; safe to call from any thread.
    LibrarySnapshotPtr librarySnapshot() const;

signals:
    // Emitted on the main thread after a new snapshot has been published.
    void libraryChanged();
    // Emitted once at the end of applicationDidFinishLaunching: the interface shows its window
    // with the recorder screen on top of the category list.
    void interfaceReady();

private:
    // Raises an alert through the interface (Environment::showAlert).
    void showAlert(const QString& title, const QString& message, const QString& button) const;
    QDateTime currentDateTime() const;
    void loadLibrary();
    // Appends a new recording without writing the library (addRecording writes it).
    std::shared_ptr<Recording> appendNewRecording();
    void publishSnapshot();
    void applyPendingEdits();
    // The outcome of a save, on the main thread; outcomes older than one already handled are
    // dropped.
    void saveFinished(const LibrarySaver::Result& result);
    // The size of the recording's file, measured only when the record does not know it.
    int64_t fileSizeOf(const Recording& recording) const;
    // The texts the filter searches besides the name and the place, made once per record and
    // again only after the date or the duration changes.
    const QString& dateTextOf(const Recording& recording) const;
    const QString& durationTextOf(const Recording& recording) const;
    // The record's key for the byte-wise search, made once like the texts above.
    const Recording::SearchKey& searchKeyOf(const Recording& recording) const;
    void showSaveFailedAlert(const QString& reason);
    // Fills in an adopted file's facts from its header.
    void readFileFacts(Recording& recording, const QString& path) const;
    // Keeps a copy of the recordings archive as it was read, before the start-up repair
    // replaces it; the last few such copies are kept.
    void keepArchiveBeforeRepair() const;

    Environment m_env;
    CategoryList m_categories;
    RecordingList m_recordings;
    bool m_recordingsMissing = true; // no recordings archive was found at start-up
    bool m_publishPending = false;
    bool m_savePending = false;
    bool m_saveFailureShown = false; // the user has been told; cleared by the next good save
    bool m_lastSaveFailed = false;
    uint64_t m_lastSaveHandled = 0;
    uint64_t m_snapshotVersion = 0;
    bool m_terminating = false;
    std::shared_ptr<Category> m_currentCategory;
    std::shared_ptr<Recording> m_currentRecording;
    QString m_searchText;
    std::shared_ptr<LocationManager> m_locationManager;
    bool m_foundLocation = false;
    QString m_locationString;
    QLocale m_dateFormatter;
    CompiledDateFormat m_shortDateFormat; // its short date and time format, read once
    // The documents folder, listed on a worker thread while start-up reads the archives; the
    // integrity check takes it instead of listing the folder itself.
    std::future<FolderListing> m_documentsListing;
    bool m_shortFormatShowsZone = false;        // the short date and time format names the zone
    mutable QHash<qint64, QString> m_dateTexts; // formatted dates by moment
    std::atomic<std::shared_ptr<const LibrarySnapshot>> m_snapshot;
    // Last, so that it is the first to go: the pending write completes while the rest stands.
    std::unique_ptr<LibrarySaver> m_saver;
};
