// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AppDelegate.h"

#include "core/CoreLog.h"
#include "core/ReverseGeo.h"
#include "core/WavLayout.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/audio/AudioFile.h"
#include "platform/system/ArchiveCopies.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/DocumentPath.h"
#include "platform/system/FolderListing.h"
#include "platform/system/LocalTime.h"
#include "platform/system/LocationManager.h"

#include <QByteArrayMatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStorageInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace {

template <typename T>
std::vector<const Archivable*> archivables(const QList<std::shared_ptr<T>>& list)
{
    std::vector<const Archivable*> result;
    result.reserve(size_t(list.size()));
    for (const auto& item : list)
        result.push_back(item.get());
    return result;
}

// How many copies of the recordings archive the start-up repair keeps, the newest.
constexpr int kRepairCopiesKept = 5;

QString asideName(const QString& path)
{
    return ArchiveCopies::stampedName(path, QStringLiteral("unreadable"),
                                      QDateTime::currentDateTime());
}

// Moves an archive that cannot be read out of the way, so that nothing written later replaces
// it. A symbolic link is moved itself (renamed, never copied or followed), so that its target
// stays as it is. Returns the new name, or an empty string when even the move failed.
QString setAside(const QString& path)
{
    const QString target = asideName(path);
    if (QFileInfo(path).isSymLink()) {
        std::error_code error;
        std::filesystem::rename(QFile::encodeName(path).toStdString(),
                                QFile::encodeName(target).toStdString(), error);
        return error ? QString() : target;
    }
    if (QFile::rename(path, target) || QFile::copy(path, target))
        return target;
    return {};
}

// Whether a recording's file of `fileSize` bytes may hold more audio than its record says: the
// bytes its duration takes at the record's rate and channel count (8000 Hz, one channel when the
// record does not say), after the smallest header. Checked from the size alone, so that the
// files of consistent records are not opened at start-up.
bool mayHoldMoreThanRecorded(const Recording& recording, qint64 fileSize)
{
    constexpr qint64 kSmallestHeader = 44;
    const QString& quality = recording.quality();
    const double rate = quality == QLatin1String("LQ")   ? 11025
                        : quality == QLatin1String("MQ") ? 22050
                        : quality == QLatin1String("HQ") ? 44100
                                                         : 8000;
    const double frameBytes = 2.0 * std::max(1, int(recording.channels()));
    const double duration = recording.duration();
    const double recorded = duration > 0 ? duration * rate * frameBytes : 0.0;
    return double(fileSize - kSmallestHeader) > recorded + frameBytes;
}

// After a take that ended without closing its file (the process killed mid-take), the record
// keeps the duration it had when the take began and the file's header may declare less audio
// than the file holds. The length is taken from the audio present, and a stale header is
// brought up to date so that playback finds all of it. Only a regular file inside the documents
// folder is read or written. True when the record changed.
bool correctLength(Recording& recording, const QString& documentsPath, const QString& relative)
{
    const QString path = DocumentPath::resolve(documentsPath, relative);
    if (path.isEmpty() || DocumentPath::kind(path) != DocumentPath::Kind::Regular)
        return false;
    const std::optional<WavLayout> layout = WavLayout::read(path);
    if (!layout || !(layout->seconds() > recording.duration() + 0.5 / layout->sampleRate()))
        return false;
    if (layout->headerIsStale()) {
        QString error;
        if (layout->repair(path, &error))
            qCInfo(lcCore).noquote()
                << "IntegrityCheck:" << relative << "- header updated to the audio the file holds";
        else
            qCWarning(lcCore).noquote()
                << "IntegrityCheck:" << relative << "- cannot update its header:" << error;
    }
    qCInfo(lcCore).noquote() << "IntegrityCheck:" << relative << "holds" << layout->seconds()
                             << "s of audio, its record said" << recording.duration()
                             << "s; the record now says so";
    recording.setDuration(layout->seconds());
    return true;
}

// The names whose sizes the integrity check needs.
bool isWavName(const QString& name)
{
    return name.endsWith(QLatin1String(".wav"));
}

// Whether a date-time format string has a time-zone field ("t" outside quoted text).
bool formatShowsZone(const QString& format)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('t'))
            return true;
    }
    return false;
}

// Writes `text` case-folded one UTF-16 unit at a time, as a case-insensitive QString search
// compares it, as Latin-1 bytes from `out` on; returns the end of what it wrote. Returns null
// when a unit or its folded form lies outside Latin-1: such text is searched as QString.
char* writeFoldedLatin1(char* out, QStringView text)
{
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        char32_t folded;
        if (unit < 0x80)
            folded = unit >= 'A' && unit <= 'Z' ? unit + 32 : unit;
        else if (unit < 0x100 && (folded = QChar::toCaseFolded(char32_t(unit))) < 0x100)
            ;
        else
            return nullptr;
        *out++ = char(folded);
    }
    return out;
}

// A time as makeTimeStringFromSamps shows it, in ASCII. Written digit by digit rather than
// with a printf because the filter formats the duration of every record.
struct TimeText
{
    char text[64];
    int length;
};

// Writes a non-negative number with at least `digits` digits, zero-padded, like "%0*lld".
char* writeNumber(char* out, long long value, int digits)
{
    char reversed[24];
    int n = 0;
    do {
        reversed[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n < digits)
        reversed[n++] = '0';
    while (n > 0)
        *out++ = reversed[--n];
    return out;
}

TimeText formatTime(double samples, int16_t unitsMode, double sampleRate)
{
    double x = samples;
    const bool negative = x < 0;
    if (negative)
        x = -x;
    const double total = std::ceil(x / sampleRate * 1000.0);
    // Non-finite input (a zero rate, say) has no meaningful time; it shows as zero.
    const long long t = std::isfinite(total) && total < 9.0e15 ? (long long)total : 0;
    const long long h = t / 3600000;
    const long long m = (t - 3600000 * h) / 60000;
    const long long s = (t - 3600000 * h - 60000 * m) / 1000;
    const long long f = t - 3600000 * h - 60000 * m - 1000 * s;
    TimeText result{};
    char* out = result.text;
    if (negative)
        *out++ = '-';
    const auto unit = [&](long long value, int digits, char after) {
        out = writeNumber(out, value, digits);
        *out++ = after;
    };
    if (unitsMode == 1) { // "h:mm:ss.fff"
        unit(h, 1, ':');
        unit(m, 2, ':');
        unit(s, 2, '.');
        out = writeNumber(out, f, 3);
    } else if (h != 0) { // "1h 02m 03s"
        unit(h, 1, 'h');
        *out++ = ' ';
        unit(m, 2, 'm');
        *out++ = ' ';
        unit(s, 2, 's');
    } else if (m != 0) { // "02m 03s"
        unit(m, 2, 'm');
        *out++ = ' ';
        unit(s, 2, 's');
    } else { // "3s"
        unit(s, 1, 's');
    }
    result.length = int(out - result.text);
    return result;
}

} // namespace

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent)
    , m_env(std::move(environment))
{
    // The shared date formatter: short date and short time in the user's locale.
    m_dateFormatter = QLocale();
    m_shortFormatShowsZone = formatShowsZone(m_dateFormatter.dateTimeFormat(QLocale::ShortFormat));
    m_shortDateFormat = CompiledDateFormat::shortFormat(m_dateFormatter);

    if (!m_env.userDefaults)
        m_env.userDefaults = std::make_shared<QSettings>();
    m_locationManager = m_env.locationManager ? m_env.locationManager
                                              : LocationManager::fromSettings(*m_env.userDefaults);
    m_locationManager->didUpdateToLocation = [this](LocationManager* manager, const Location& now,
                                                    const Location& before) {
        locationManagerDidUpdateToLocation(manager, now, before);
    };

    QDir().mkpath(m_env.documentsPath);
    m_saver = std::make_unique<LibrarySaver>(
        m_env.documentsPath, [this](const LibrarySaver::Result& result) {
            QMetaObject::invokeMethod(
                this, [this, result] { saveFinished(result); }, Qt::QueuedConnection);
        });
    // Listing the folder and measuring its WAV files is system-call work that does not depend on
    // the archives, so it overlaps with reading them.
    m_documentsListing = std::async(std::launch::async, [path = m_env.documentsPath] {
        return FolderListing(path, isWavName);
    });
    loadLibrary();

    if (m_categories.isEmpty()) {
        for (const char* name : {kAllRecordingsCategory, "Business", "Ideas", "Interviews",
                                 "Lectures", "Music", "Personal", "To Do"})
            m_categories.append(std::make_shared<Category>(QString::fromUtf8(name)));
    }
    setCategoryIndex(0);
    if (m_recordingsMissing) {
        m_recordings.clear();
        showAirplaneModeSuggestion();
    }
    setRecordingIndex(0);
    findLocation();
    integrityCheck();
    publishSnapshot();
}

AppDelegate::~AppDelegate() = default;

QDateTime AppDelegate::currentDateTime() const
{
    return m_env.now ? m_env.now() : QDateTime::currentDateTime();
}

QString AppDelegate::formatDate(const QDateTime& date) const
{
    // Formatting dates is the costly part of filtering and of publishing snapshots; each
    // distinct moment is formatted once.
    const qint64 key =
        date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    auto found = m_dateTexts.constFind(key);
    if (found != m_dateTexts.constEnd())
        return *found;
    // The local fields come from the C library's loaded time zone; Qt's own conversion reads
    // the zone file again for every date. A format that shows the zone's name needs Qt's local
    // time, which knows the name.
    // The usual numeric formats are written from the fields directly (QLocale reads the format
    // again for every date).
    const QDateTime local = m_shortFormatShowsZone ? QDateTime() : LocalTime::fromMoment(date);
    QString text;
    if (local.isValid())
        text = m_shortDateFormat.format(local.date(), local.time());
    if (text.isNull())
        text = local.isValid() ? m_dateFormatter.toString(local, QLocale::ShortFormat)
                               : m_dateFormatter.toString(date.toLocalTime(), QLocale::ShortFormat);
    m_dateTexts.insert(key, text);
    return text;
}

namespace {

// Reads the archive file `name` of the documents folder. A missing file leaves `missing` set. A
// file that exists but is not a readable archive is set aside under a new name and counts as
// missing (elements already handed to `element` are then to be dropped); so is a name that
// leads outside the folder, whose link is moved aside and whose target is never read. A file
// some of whose entries cannot be read as `className` records keeps a copy aside and yields the
// entries that could be read.
void readArchive(const QString& folder, const QString& name, const QString& className,
                 const std::function<void(KeyedUnarchiver&)>& element, bool& missing)
{
    missing = true;
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.exists() && !QFileInfo(path).isSymLink())
        return;
    auto refuse = [&](const QString& reason) {
        const QString aside = setAside(path);
        qCWarning(lcCore).noquote()
            << "Cannot read" << path << "(" + reason + "); set aside as" << aside;
    };
    // Like every other file of the folder, an archive is used only where it really lies inside
    // it: a link to a file elsewhere would be read, and its target replaced by the next save.
    if (DocumentPath::resolve(folder, name).isEmpty())
        return refuse(QStringLiteral("it leads outside the documents folder"));
    if (DocumentPath::kind(path) != DocumentPath::Kind::Regular)
        return refuse(QStringLiteral("not a regular file"));
    // The size is checked before anything is read: an oversized file is not an archive.
    if (file.size() > KeyedUnarchiver::kMaxArchiveSize)
        return refuse(QStringLiteral("the file is too large to be an archive"));
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    const QByteArray data = file.readAll();
    file.close();
    KeyedUnarchiver coder(data);
    if (!coder.isValid())
        return refuse(coder.errorString());
    missing = false;
    int skipped = 0;
    coder.decodeRootArray([&](const QString& entryClass) {
        if (entryClass == className)
            element(coder);
        else
            ++skipped;
    });
    // A stored object too large to copy makes the whole archive unreadable.
    if (!coder.isValid()) {
        missing = true;
        return refuse(coder.errorString());
    }
    if (skipped > 0) {
        const QString copy = ArchiveCopies::keepCopy(path, QStringLiteral("unreadable"),
                                                     QDateTime::currentDateTime());
        qCWarning(lcCore).noquote() << skipped << "entries of" << path << "are not" << className
                                    << "records and were skipped; the original is kept as" << copy;
    }
}

} // namespace

void AppDelegate::loadLibrary()
{
    // A library of this process that still writes into the folder finishes first.
    LibrarySaver::waitForSavesTo(m_env.documentsPath);
    // The records are kept only when their whole archive could be read.
    bool categoriesMissing = true;
    CategoryList categories;
    readArchive(
        m_env.documentsPath, LibrarySaver::kCategoriesFile, QStringLiteral("Category"),
        [&categories](KeyedUnarchiver& coder) {
            categories.append(std::make_shared<Category>(coder));
        },
        categoriesMissing);
    if (!categoriesMissing)
        m_categories = std::move(categories);
    RecordingList recordings;
    readArchive(
        m_env.documentsPath, LibrarySaver::kRecordingsFile, QStringLiteral("Recording"),
        [this, &recordings](KeyedUnarchiver& coder) {
            recordings.append(std::make_shared<Recording>(coder, m_env.documentsPath));
        },
        m_recordingsMissing);
    if (!m_recordingsMissing)
        m_recordings = std::move(recordings);
}

void AppDelegate::setCategories(const CategoryList& categories)
{
    if (&categories == &m_categories)
        return;
    // A new list keeps the current place; the category there becomes current.
    const int32_t index = categoryIndex();
    m_categories = categories;
    setCategoryIndex(index);
    publishSnapshot();
}

void AppDelegate::setRecordings(const RecordingList& recordings)
{
    if (&recordings == &m_recordings)
        return;
    m_recordings = recordings;
    if (!m_recordings.contains(m_currentRecording))
        m_currentRecording.reset();
    publishSnapshot();
}

// ---- Life cycle ----

void AppDelegate::applicationDidFinishLaunching()
{
    QSettings& defaults = userDefaults();
    bool indexStored = false;
    bool categoryStored = false;
    int32_t recordingIndex = defaults.value(QLatin1String(kRestoreIndexKey)).toInt(&indexStored);
    int32_t categoryIndex =
        defaults.value(QLatin1String(kRestoreCategoryKey)).toInt(&categoryStored);
    const int32_t storedIndex = recordingIndex;
    const int32_t storedCategory = categoryIndex;
    m_searchText = QString();
    if (uint32_t(categoryIndex) >= uint32_t(m_categories.size())) {
        categoryIndex = 0;
        recordingIndex = 0;
    }
    setCategoryIndex(categoryIndex);
    const qsizetype count = recArrayFilter(QString()).size();
    if (uint32_t(recordingIndex) >= uint64_t(count))
        recordingIndex = int32_t(count) - 1;
    setRecordingIndex(recordingIndex);

    // Written back when they were missing, unreadable or out of range. Values already stored
    // are not written again: that would be a synced file write before the first frame.
    if (!indexStored || !categoryStored || storedIndex != recordingIndex ||
        storedCategory != categoryIndex) {
        defaults.setValue(QLatin1String(kRestoreIndexKey), recordingIndex);
        defaults.setValue(QLatin1String(kRestoreCategoryKey), categoryIndex);
        defaults.sync();
    }

    // The user starts on the recorder screen, with the category list one step back.
    emit interfaceReady();
}

void AppDelegate::applicationWillTerminate()
{
    m_terminating = true;
    persist();
    waitForSaves(); // the program may end as soon as this returns
    // The current recording's place in its category's unfiltered list: the search text is gone
    // at the next start, and this place makes the same recording current again.
    const int32_t position =
        m_currentRecording ? int32_t(recArrayFilter(QString()).indexOf(m_currentRecording)) : -1;
    userDefaults().setValue(QLatin1String(kRestoreIndexKey), position);
    userDefaults().setValue(QLatin1String(kRestoreCategoryKey), categoryIndex());
    userDefaults().sync();
}

bool AppDelegate::persist()
{
    m_savePending = false;
    publishSnapshot();
    m_saver->save(m_snapshot.load());
    return !m_lastSaveFailed;
}

bool AppDelegate::waitForSaves()
{
    // Edits still waiting for the end of this event-loop turn are saves asked for too.
    if (m_publishPending || m_savePending)
        applyPendingEdits();
    const LibrarySaver::Result last = m_saver->waitUntilIdle();
    if (last.number > 0)
        saveFinished(last);
    return !m_lastSaveFailed;
}

void AppDelegate::saveFinished(const LibrarySaver::Result& result)
{
    if (result.number <= m_lastSaveHandled)
        return;
    m_lastSaveHandled = result.number;
    m_lastSaveFailed = !result.saved;
    if (result.saved)
        m_saveFailureShown = false;
    else if (!m_saveFailureShown && !m_terminating)
        showSaveFailedAlert(result.error);
}

void AppDelegate::libraryEdited(bool save)
{
    const bool scheduled = m_publishPending || m_savePending;
    m_publishPending = true;
    m_savePending = m_savePending || save;
    if (!scheduled)
        QMetaObject::invokeMethod(this, &AppDelegate::applyPendingEdits, Qt::QueuedConnection);
}

void AppDelegate::applyPendingEdits()
{
    if (m_savePending)
        persist(); // publishes as well
    else if (m_publishPending)
        publishSnapshot();
}

void AppDelegate::showSaveFailedAlert(const QString& reason)
{
    m_saveFailureShown = true;
    showAlert(QStringLiteral("Sonavell"),
              tr("Your library could not be saved (%1). The last saved copy is kept; "
                 "Sonavell tries again with your next change.")
                  .arg(reason),
              tr("OK"));
}

void AppDelegate::showAlert(const QString& title, const QString& message,
                            const QString& button) const
{
    if (m_env.showAlert)
        m_env.showAlert(title, message, button);
    else
        qCWarning(lcCore).noquote() << "Alert:" << title << "-" << message;
}

QByteArray AppDelegate::dataOfType(const QString& typeName) const
{
    Q_UNUSED(typeName);
    return KeyedArchiver::archivedDataWithRootArray(archivables(m_categories));
}

void AppDelegate::showAirplaneModeSuggestion()
{
    showAlert(
        tr("Tip"),
        tr("To ensure interruption-free recordings, change your phone settings to Airplane mode."),
        tr("Done"));
}

void AppDelegate::showRecoveredFilesAlert()
{
    showAlert(QStringLiteral("Sonavell"),
              tr("Sonavell found a recording that was not saved in the database.  Any recordings "
                 "the have been reconnected to the database are now renamed \"Recovered Memo.\""),
              tr("Done"));
}

// ---- Location stamping ----

bool AppDelegate::findLocation()
{
    if (!userDefaults().value(QLatin1String(kAutoLocationStampKey), false).toBool())
        return false;
    if (!m_locationManager->locationServicesEnabled())
        return false;
    m_foundLocation = false;
    m_locationManager->startUpdatingLocation();
    return true;
}

void AppDelegate::locationManagerDidUpdateToLocation(LocationManager* manager,
                                                     const Location& newLocation,
                                                     const Location& oldLocation)
{
    Q_UNUSED(oldLocation);
    // The place is looked up without holding the event loop; the fix counts, and the updates
    // stop, once its text is in. A fix that comes meanwhile is not looked up a second time.
    if (findChild<ReverseGeo*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    auto* geo = new ReverseGeo(userDefaults(), ReverseGeo::kTimeoutMs, this);
    geo->getStringFromLocation(newLocation, [this, geo, manager](const QString& place) {
        m_locationString = place;
        m_foundLocation = true;
        manager->stopUpdatingLocation();
        geo->deleteLater();
    });
}

// ---- Library operations ----

QString AppDelegate::getNewRecordingName() const
{
    // Only names in the default form can be taken; the others need not be hashed.
    const QString prefix = QStringLiteral("New Memo ");
    QSet<QString> names;
    for (const auto& r : m_recordings) {
        const QString& name = r->name();
        if (name.startsWith(prefix))
            names.insert(name);
    }
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("New Memo %1").arg(n);
        if (!names.contains(candidate))
            return candidate;
    }
}

std::shared_ptr<Recording> AppDelegate::appendNewRecording()
{
    QString stamp;
    for (;;) {
        const QDateTime now = currentDateTime();
        const QDate d = now.date();
        const QTime t = now.time();
        stamp = QString::asprintf("%04d%02d%02d%02d%02d%02d", d.year(), d.month(), d.day(),
                                  t.hour(), t.minute(), t.second());
        const QString filename = QStringLiteral("REC%1.wav").arg(stamp);
        const bool taken = std::any_of(m_recordings.cbegin(), m_recordings.cend(),
                                       [&](const auto& r) { return r->filename() == filename; });
        if (!taken)
            break;
        if (m_env.waitOneSecond)
            m_env.waitOneSecond();
        else
            QThread::sleep(1);
    }
    const QString category = m_currentCategory ? m_currentCategory->name() : QString();
    auto recording =
        std::make_shared<Recording>(getNewRecordingName(), stamp, category, currentDateTime());
    m_recordings.append(recording);
    return recording;
}

void AppDelegate::addRecording()
{
    appendNewRecording();
    persist();
}

void AppDelegate::forgetUnrecordedRecording(const std::shared_ptr<Recording>& recording)
{
    if (!recording || !m_recordings.removeOne(recording))
        return;
    if (m_currentRecording == recording)
        m_currentRecording.reset();
    persist();
}

void AppDelegate::deleteRecording(int32_t position)
{
    const RecordingList view = recArrayFilter(m_searchText);
    if (position >= 0 && position < view.size())
        deleteRecording(view[position]);
}

void AppDelegate::deleteRecording(const std::shared_ptr<Recording>& recording)
{
    if (!recording || !m_recordings.contains(recording))
        return;
    const QString stars(39, QLatin1Char('*'));
    qCInfo(lcCore).noquote() << stars;
    qCInfo(lcCore).noquote() << QStringLiteral("*** Deleting %1 ***").arg(recording->filename());
    qCInfo(lcCore).noquote() << stars;
    // Only files inside the documents folder are removed; a stored name that leads elsewhere
    // loses its record but touches nothing outside. A link is removed, never its target.
    const QDir docs(m_env.documentsPath);
    for (const QString& name : {recording->filename(), recording->photoFilename()}) {
        if (!DocumentPath::resolve(m_env.documentsPath, name).isEmpty())
            QFile::remove(docs.filePath(name));
        else if (!name.isEmpty())
            qCWarning(lcCore).noquote()
                << "Not deleting" << name << "- it lies outside the documents folder";
    }
    m_recordings.removeOne(recording);
    if (m_currentRecording == recording)
        m_currentRecording.reset();
    persist();
}

void AppDelegate::addCategory()
{
    m_categories.append(std::make_shared<Category>(QStringLiteral("New Category")));
    persist();
}

void AppDelegate::deleteCategory(int32_t position)
{
    if (position < 0 || position >= m_categories.size())
        return;
    const QString name = m_categories[position]->name();
    for (const auto& r : m_recordings) {
        if (r->category() == name)
            r->setCategory(QLatin1String(kDeletedCategory));
    }
    m_categories.removeAt(position);
    setCategoryIndex(0);
    persist();
}

void AppDelegate::renameCategory(const std::shared_ptr<Category>& category, const QString& name)
{
    if (!category || !m_categories.contains(category))
        return;
    const QString oldName = category->name();
    category->setName(name);
    const bool nameStillFiled =
        std::any_of(m_categories.cbegin(), m_categories.cend(),
                    [&](const auto& c) { return c != category && c->name() == oldName; });
    if (!nameStillFiled && oldName != name) {
        for (const auto& r : m_recordings) {
            if (r->category() == oldName)
                r->setCategory(name);
        }
    }
    persist();
}

int32_t AppDelegate::categoryIndex() const
{
    return m_currentCategory ? int32_t(m_categories.indexOf(m_currentCategory)) : -1;
}

void AppDelegate::setCategoryIndex(int32_t index)
{
    m_currentCategory = index >= 0 && index < m_categories.size() ? m_categories[index] : nullptr;
}

int32_t AppDelegate::recordingIndex() const
{
    return m_currentRecording ? int32_t(recArrayFilter(m_searchText).indexOf(m_currentRecording))
                              : -1;
}

void AppDelegate::setRecordingIndex(int32_t index)
{
    const RecordingList view = recArrayFilter(m_searchText);
    m_currentRecording = index >= 0 && index < view.size() ? view[index] : nullptr;
}

void AppDelegate::setCurrentRecording(std::shared_ptr<Recording> recording)
{
    m_currentRecording = m_recordings.contains(recording) ? std::move(recording) : nullptr;
}

AppDelegate::RecordingList AppDelegate::recordingsForCategory(const QString& name) const
{
    return recordingsForCategoryWithTextFilter(name, QString());
}

AppDelegate::RecordingList
AppDelegate::recordingsForCategoryWithTextFilter(const QString& name, const QString& filter) const
{
    const bool all = name == QLatin1String(kAllRecordingsCategory);
    RecordingList result;
    if (all && filter.isEmpty())
        return m_recordings;
    // Records whose texts are all Latin-1 are searched byte-wise in their folded key: without
    // surrogates a case-insensitive search compares the texts' folded units, so the result is
    // the same. NUL separates the texts in a key; a filter holding NUL, or text beyond Latin-1,
    // is searched in the texts themselves.
    QByteArray foldedFilter(filter.size(), Qt::Uninitialized);
    if (!writeFoldedLatin1(foldedFilter.data(), filter) || foldedFilter.contains('\0'))
        foldedFilter.clear();
    const QByteArrayMatcher matcher(foldedFilter);
    for (const auto& r : m_recordings) {
        const Recording& recording = *r;
        if (!all && recording.category() != name)
            continue;
        if (filter.isEmpty()) {
            result.append(r);
            continue;
        }
        const Recording::SearchKey& key = searchKeyOf(recording);
        if (key.latin1 && !foldedFilter.isEmpty()) {
            if (matcher.indexIn(key.folded) >= 0)
                result.append(r);
            continue;
        }
        // Every text is read in place (no copies); the derived ones are kept in the record.
        const auto matches = [&](const QString& text) {
            return text.contains(filter, Qt::CaseInsensitive);
        };
        if (matches(recording.nameRef()) || matches(recording.locationStringRef()) ||
            matches(dateTextOf(recording)) || matches(durationTextOf(recording)))
            result.append(r);
    }
    return result;
}

AppDelegate::RecordingList AppDelegate::recArrayFilter(const QString& filter) const
{
    const int32_t index = categoryIndex();
    const QString name = index >= 0 ? m_categories[index]->name() : QString();
    return recordingsForCategoryWithTextFilter(name, filter);
}

void AppDelegate::integrityCheck()
{
    // The records by file name; the walk tells each known record its file's size on the way.
    QHash<QString, Recording*> known;
    known.reserve(m_recordings.size());
    for (const auto& r : m_recordings)
        known.insert(r->filename(), r.get());

    int wavFiles = 0;
    int adopted = 0;
    int corrected = 0;
    const QDir root(m_env.documentsPath);
    // Depth-first walk by relative path. Bundles ("rtfd") are skipped whole; symbolic links to
    // folders are not followed, so a link loop cannot trap the walk. One listing per folder gives
    // the entries with their types, and the sizes of the WAV files on the way.
    std::function<void(const QString&)> walk = [&](const QString& relativeDir) {
        const QString dirPath = relativeDir.isEmpty() ? root.path() : root.filePath(relativeDir);
        const FolderListing listing = relativeDir.isEmpty() && m_documentsListing.valid()
                                          ? m_documentsListing.get()
                                          : FolderListing(dirPath, isWavName);
        for (const FolderListing::Entry& info : listing.entries()) {
            const QString& name = info.name;
            const QString relative =
                relativeDir.isEmpty() ? name : relativeDir + QLatin1Char('/') + name;
            const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
            const QStringView suffix = dot >= 0 ? QStringView(name).mid(dot + 1) : QStringView();
            if (suffix == QLatin1String("rtfd"))
                continue;
            if (info.isDir) {
                // Folders are searched, never adopted; linked folders are not followed.
                if (!info.isSymLink)
                    walk(relative);
                continue;
            }
            if (suffix != QLatin1String("wav"))
                continue;
            ++wavFiles;
            if (const auto found = known.constFind(relative); found != known.constEnd()) {
                Recording* record = *found;
                if (record && mayHoldMoreThanRecorded(*record, info.size) &&
                    correctLength(*record, m_env.documentsPath, relative))
                    ++corrected;
                if (record && record->knownFileSize() < 0)
                    record->setKnownFileSize(info.size);
                continue;
            }
            // Only regular files that really lie inside the documents folder are adopted: not a
            // link to a file elsewhere (a take would overwrite it), not a FIFO or a device.
            const QString filePath = QDir(dirPath).filePath(name);
            if (DocumentPath::kind(filePath) != DocumentPath::Kind::Regular ||
                DocumentPath::resolve(m_env.documentsPath, relative).isEmpty()) {
                qCWarning(lcCore).noquote() << "Not adopting" << relative
                                            << "- not a regular file inside the documents folder";
                continue;
            }
            std::shared_ptr<Recording> recording = appendNewRecording();
            setCategoryIndex(0);
            m_currentRecording = recording;
            recording->setFilename(relative);
            recording->setName(QStringLiteral("Recovered Memo"));
            readFileFacts(*recording, filePath);
            // A file whose take was cut short may hold more than its header says.
            if (mayHoldMoreThanRecorded(*recording, info.size))
                correctLength(*recording, m_env.documentsPath, relative);
            known.insert(relative, nullptr);
            ++adopted;
            qCInfo(lcCore).noquote() << "IntegrityCheck: adopted" << relative;
        }
    };
    walk(QString());
    // One line for the whole walk: a line per file costs more than the walk itself in a large
    // library.
    qCInfo(lcCore).noquote() << "IntegrityCheck:" << wavFiles << "WAV files," << adopted
                             << "adopted," << corrected << "lengths corrected";

    // A record whose file is gone, or a file that no record names, means that the archive no
    // longer matches the folder (a damaged archive does both). The archive as it was read is kept
    // before the repaired library replaces it. Records the walk met are not looked up again.
    const bool fileMissing =
        std::any_of(m_recordings.cbegin(), m_recordings.cend(), [&root](const auto& r) {
            return r->knownFileSize() < 0 &&
                   DocumentPath::kind(root.filePath(r->filename())) == DocumentPath::Kind::Missing;
        });
    if ((adopted > 0 || fileMissing) && !m_recordingsMissing)
        keepArchiveBeforeRepair();

    if (adopted > 0 || corrected > 0)
        persist();
    if (adopted > 0)
        showRecoveredFilesAlert();
}

void AppDelegate::keepArchiveBeforeRepair() const
{
    const QString archive = QDir(m_env.documentsPath).filePath(LibrarySaver::kRecordingsFile);
    QString error;
    const QString copy = ArchiveCopies::keepCopy(archive, QStringLiteral("before-repair"),
                                                 currentDateTime(), kRepairCopiesKept, &error);
    if (copy.isEmpty())
        qCWarning(lcCore).noquote()
            << "IntegrityCheck: cannot keep a copy of" << archive << "before the repair:" << error;
    else
        qCWarning(lcCore).noquote() << "IntegrityCheck: the library does not match the documents"
                                    << "folder; the archive as read is kept as" << copy;
}

void AppDelegate::readFileFacts(Recording& recording, const QString& path) const
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::openURL(path, AudioFile::kReadPermission, &file) != noErr) {
        qCWarning(lcCore).noquote() << "Adopted" << path << "but cannot read its audio header";
        return;
    }
    const int rate = file->fileSampleRate();
    if (rate > 0)
        recording.setDuration(double(file->audioDataPacketCount()) / rate);
    if (rate == 11025)
        recording.setQuality(QStringLiteral("LQ"));
    else if (rate == 22050)
        recording.setQuality(QStringLiteral("MQ"));
    else if (rate == 44100)
        recording.setQuality(QStringLiteral("HQ"));
    recording.setChannels(file->fileChannels());
}

// ---- Strings ----

QString AppDelegate::makeTimeStringFromSamps(double samples, int16_t unitsMode, double sampleRate)
{
    const TimeText time = formatTime(samples, unitsMode, sampleRate);
    return QString::fromLatin1(time.text, time.length);
}

QString AppDelegate::getSizeString(uint64_t bytes)
{
    const uint64_t k = bytes / 1024;
    const double megabytes = double(k) / 1024.0;
    const double gigabytes = megabytes / 1024.0;
    if (gigabytes >= 1)
        return QString::asprintf("%3.1fGB", double(float(gigabytes)));
    if (megabytes >= 1)
        return QString::asprintf("%3.1fMB", double(float(megabytes)));
    return QString::asprintf("%3.1fk", double(float(k)));
}

QString AppDelegate::getUsageString() const
{
    uint64_t used = 0;
    for (const auto& r : m_recordings) {
        double rate = 0;
        if (r->quality() == QLatin1String("LQ"))
            rate = 11025;
        else if (r->quality() == QLatin1String("MQ"))
            rate = 22050;
        else if (r->quality() == QLatin1String("HQ"))
            rate = 44100;
        else
            continue;
        // A record whose estimate is negative or not a number (a damaged duration or channel
        // count) adds nothing, instead of wiping out what the others add up to; the total stops
        // at the largest count it can hold.
        const double bytes = r->duration() * rate * 2 * r->channels();
        if (!(bytes > 0))
            continue;
        const double sum = double(used) + bytes;
        used = sum < 18446744073709551616.0 ? uint64_t(sum) : std::numeric_limits<uint64_t>::max();
    }
    const float usedMB = float(double(used) / 1048576.0);
    const uint64_t freeBytes = m_env.freeBytes
                                   ? m_env.freeBytes(m_env.documentsPath)
                                   : uint64_t(QStorageInfo(m_env.documentsPath).bytesAvailable());
    const uint32_t freeMB = uint32_t(freeBytes / 1048576);
    // The numbers as printf writes them (a decimal point in every language), the words
    // translated.
    const QString usedText =
        usedMB >= 1024 ? tr("%1GB Used").arg(QString::asprintf("%2.2f", double(usedMB / 1024)))
                       : tr("%1MB Used").arg(QString::asprintf("%2.1f", double(usedMB)));
    const QString freeText = freeMB >= 1024
                                 ? tr("%1GB Free").arg(QString::asprintf("%2.2f", freeMB / 1024.0))
                                 : tr("%1MB Free").arg(QString::asprintf("%2.1f", double(freeMB)));
    return QStringLiteral("%1, %2").arg(usedText, freeText);
}

// ---- Snapshot ----

void AppDelegate::publishSnapshot()
{
    auto snapshot = std::make_shared<LibrarySnapshot>();
    m_publishPending = false;
    LocalTime::readZone(); // once here rather than for every date formatted below
    snapshot->version = ++m_snapshotVersion;
    snapshot->documentsPath = m_env.documentsPath;
    for (const auto& c : m_categories)
        snapshot->categories.append(c->name());
    snapshot->recordings.reserve(size_t(m_recordings.size()));
    for (const auto& r : m_recordings) {
        // A record that has not changed since the last snapshot shares its entry.
        const int64_t fileSize = fileSizeOf(*r);
        if (!r->sharedEntry()) {
            auto entry = std::make_shared<LibrarySnapshot::RecordingEntry>(r->entry());
            entry->dateText = dateTextOf(*r);
            entry->fileSize = fileSize;
            r->setSharedEntry(std::move(entry));
            // The filter's key is made while the record's texts are at hand: a first search
            // of a large library then reads keys only.
            searchKeyOf(*r);
        }
        snapshot->recordings.push_back(r->sharedEntry());
    }
    m_snapshot.store(std::move(snapshot));
    emit libraryChanged();
}

int64_t AppDelegate::fileSizeOf(const Recording& recording) const
{
    if (recording.knownFileSize() < 0) {
        // As a browser would find it: links followed, 0 when there is no file.
        const QFileInfo info(m_env.documentsPath + QLatin1Char('/') + recording.filename());
        recording.setKnownFileSize(info.exists() ? info.size() : 0);
    }
    return recording.knownFileSize();
}

const QString& AppDelegate::dateTextOf(const Recording& recording) const
{
    if (!recording.dateText())
        recording.setDateText(formatDate(recording.date()));
    return *recording.dateText();
}

const Recording::SearchKey& AppDelegate::searchKeyOf(const Recording& recording) const
{
    if (!recording.searchKey()) {
        // The duration text is ASCII and already folded; it is copied straight into the key.
        const TimeText duration = formatTime(recording.duration(), 0, 1);
        const QString* texts[] = {&recording.nameRef(), &recording.locationStringRef(),
                                  &dateTextOf(recording)};
        Recording::SearchKey key;
        key.folded.resize(texts[0]->size() + texts[1]->size() + texts[2]->size() + duration.length +
                          4);
        char* out = key.folded.data();
        for (const QString* text : texts) {
            if (!(out = writeFoldedLatin1(out, *text)))
                break;
            *out++ = '\0';
        }
        key.latin1 = out != nullptr;
        if (key.latin1) {
            out = std::copy_n(duration.text, duration.length, out);
            *out = '\0';
        } else {
            key.folded = QByteArray();
        }
        recording.setSearchKey(std::move(key));
    }
    return *recording.searchKey();
}

const QString& AppDelegate::durationTextOf(const Recording& recording) const
{
    if (!recording.durationText())
        recording.setDurationText(makeTimeStringFromSamps(recording.duration(), 0, 1));
    return *recording.durationText();
}

LibrarySnapshotPtr AppDelegate::librarySnapshot() const
{
    return m_snapshot.load();
}
