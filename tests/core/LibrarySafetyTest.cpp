// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryFixture.h"
#include "platform/archive/ExpandingArchive.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/archive/XmlArchive.h"
#include "platform/audio/AudioFile.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QSignalSpy>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using sonavell::test::expandingArchive;
using sonavell::test::uid;
using sonavell::test::xmlArchive;

namespace {

// A PCM 16-bit WAV file with silent frames.
QByteArray wav(int rate, int channels, int frames)
{
    const quint32 dataBytes = quint32(frames * channels * 2);
    QByteArray h("RIFF");
    auto u32 = [&](quint32 v) { h.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](quint16 v) { h.append(reinterpret_cast<const char*>(&v), 2); };
    u32(36 + dataBytes);
    h.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(quint16(channels));
    u32(quint32(rate));
    u32(quint32(rate * channels * 2));
    u16(quint16(channels * 2));
    u16(16);
    h.append("data");
    u32(dataBytes);
    return h + QByteArray(int(dataBytes), '\0');
}

// Asks for a save and waits for its outcome.
bool saved(AppDelegate& app)
{
    app.persist();
    return app.waitForSaves();
}

const QString kSaveFailed = QStringLiteral("Sonavell: Your library could not be saved");

int saveFailedAlerts()
{
    int count = 0;
    for (const QString& text : AlertView::history())
        count += text.startsWith(kSaveFailed);
    return count;
}

} // namespace

using LibrarySafety = LibraryFixture;

TEST_F(LibrarySafety, AFullDiskKeepsTheLibraryWholeAndTellsTheUserOnce)
{
    SmallDisk disk(512 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs is not allowed here";
    QFile::link(disk.path(), docs()); // the documents folder lives on the small disk
    {
        auto app = start();
        app->setCategoryIndex(5);
        app->addRecording();
        ASSERT_TRUE(saved(*app));
    }
    const QByteArray categories = readFile(docs() + "/categories.plist");
    const QByteArray recordings = readFile(docs() + "/recordings.plist");
    auto app = start();
    ASSERT_GT(disk.fill(), 0);
    for (int i = 0; i < 40; ++i) { // grows the archive past what is left
        now = now.addSecs(1);
        app->addRecording();
    }
    EXPECT_FALSE(saved(*app));
    EXPECT_EQ(readFile(docs() + "/categories.plist"), categories);
    EXPECT_EQ(readFile(docs() + "/recordings.plist"), recordings);
    EXPECT_EQ(saveFailedAlerts(), 1) << AlertView::history().join('\n').toStdString();
    EXPECT_TRUE(
        AlertView::history().last().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));

    // The next start finds the library as it was last saved, nothing recovered or defaulted.
    AlertView::clearHistory();
    disk.release();
    auto again = start();
    EXPECT_EQ(again->recordings().size(), 1);
    EXPECT_EQ(again->recordings()[0]->name(), "New Memo 1");
    EXPECT_EQ(again->recordings()[0]->category(), "Music");
    EXPECT_TRUE(AlertView::history().isEmpty());

    // After a good save, the next failure is told again (a change is needed for it: a save
    // that changes nothing writes nothing).
    EXPECT_TRUE(saved(*app));
    disk.fill();
    app->recordings().last()->setName(QStringLiteral("Changed"));
    EXPECT_FALSE(saved(*app));
    EXPECT_EQ(saveFailedAlerts(), 1);
    AlertView::clearHistory();
    app->applicationWillTerminate(); // fails too, but says nothing at quit
    EXPECT_TRUE(AlertView::history().isEmpty());
}

TEST_F(LibrarySafety, AWriteThatFailsHalfWayKeepsThePreviousArchive)
{
    auto app = start();
    app->addRecording();
    app->waitForSaves();
    const QByteArray before = readFile(docs() + "/recordings.plist");
    for (int i = 0; i < 200; ++i) {
        now = now.addSecs(1);
        app->mutableRecordings().append(std::make_shared<Recording>(
            QString(200, QLatin1Char('x')), now.toString("yyyyMMddHHmmss"), "*****", now));
    }
    {
        FileSizeLimit limit(16 * 1024);
        EXPECT_FALSE(saved(*app));
    }
    EXPECT_EQ(readFile(docs() + "/recordings.plist"), before);
    EXPECT_EQ(saveFailedAlerts(), 1);
    EXPECT_TRUE(AlertView::history().last().contains(QString::fromLocal8Bit(std::strerror(EFBIG))));
    EXPECT_TRUE(saved(*app));
}

TEST_F(LibrarySafety, EntriesThatAreNotRecordsAreSetAsideWithTheReadableOnesKept)
{
    const QString recordingClass =
        "<dict><key>$classname</key><string>Recording</string></dict>"; // index 3
    const QString good =
        "<dict><key>$class</key>" + uid(3) + "<key>name</key>" + uid(8) + "</dict>";
    const QByteArray archive = xmlArchive(
        uid(2) + uid(4) + uid(5) + uid(6) + uid(2),
        good + recordingClass + "<dict><key>name</key><string>no class</string></dict>" + // 4
            "<dict><key>$class</key>" + uid(77) + "</dict>" +                             // 5
            "<dict><key>$class</key>" + uid(7) + "</dict>" +                              // 6
            "<dict><key>$classname</key><integer>5</integer></dict>" +                    // 7
            "<string>Readable</string>");                                                 // 8
    dir.write("Documents/recordings.plist", archive);
    auto app = start();
    ASSERT_EQ(names(app->recordings()), (QStringList{"Readable", "Readable"}));
    const QStringList aside = QDir(docs()).entryList({"recordings.plist.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(docs() + "/" + aside[0]), archive);
}

TEST_F(LibrarySafety, AnArchiveOverTheSizeLimitIsRefusedUnread)
{
    QDir().mkpath(docs());
    QFile big(docs() + "/categories.plist");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(KeyedUnarchiver::kMaxArchiveSize + 1)); // sparse: costs no disk
    big.close();
    auto app = start();
    EXPECT_EQ(app->categories().size(), 8) << "the defaults";
    EXPECT_FALSE(QFile::exists(docs() + "/categories.plist"));
    EXPECT_EQ(QDir(docs()).entryList({"categories.plist.unreadable-*"}).size(), 1);
}

TEST_F(LibrarySafety, AnArchiveWhoseObjectsExpandBeyondTheBoundIsSetAside)
{
    // Under a kilobyte that would expand to tens of millions of values (and, written back,
    // to a file a hundred thousand times its size).
    const QByteArray bomb = expandingArchive(24, 1);
    dir.write("Documents/recordings.plist", bomb);
    auto app = start();
    EXPECT_TRUE(app->recordings().isEmpty()) << "nothing partial is kept";
    EXPECT_EQ(app->recordingIndex(), -1) << "started as with no archive";
    const QStringList aside = QDir(docs()).entryList({"recordings.plist.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(docs() + "/" + aside[0]), bomb);

    app->addRecording();
    ASSERT_TRUE(app->waitForSaves());
    EXPECT_LT(readFile(docs() + "/recordings.plist").size(), 4096);
}

TEST_F(LibrarySafety, ArchivesAreUsedOnlyWhereTheyLieInsideTheFolder)
{
    const Recording outsider(QStringLiteral("Outside"), QStringLiteral("20090101000000"), QString(),
                             now);
    const QByteArray foreign = archiveOf({&outsider});
    dir.write("elsewhere/recordings.plist", foreign);
    QDir().mkpath(docs());
    ASSERT_TRUE(QFile::link(dir.file("elsewhere/recordings.plist"), docs() + "/recordings.plist"));
    // A dangling link: writing through it would create a file wherever it points.
    ASSERT_TRUE(QFile::link(dir.file("elsewhere/categories.plist"), docs() + "/categories.plist"));

    auto app = start();
    EXPECT_TRUE(app->recordings().isEmpty()) << "the file outside is not read";
    EXPECT_EQ(app->recordingIndex(), -1);
    EXPECT_EQ(app->categories().size(), 8) << "the defaults";
    for (const char* name : {"recordings.plist", "categories.plist"}) {
        const QStringList aside = QDir(docs()).entryList(
            {QString::fromLatin1(name) + ".unreadable-*"}, QDir::Files | QDir::System);
        ASSERT_EQ(aside.size(), 1) << name;
        EXPECT_TRUE(QFileInfo(docs() + "/" + aside[0]).isSymLink()) << "the link itself moved";
    }
    app->addRecording();
    ASSERT_TRUE(app->waitForSaves());
    EXPECT_EQ(readFile(dir.file("elsewhere/recordings.plist")), foreign) << "target untouched";
    EXPECT_FALSE(QFileInfo::exists(dir.file("elsewhere/categories.plist")));
    EXPECT_FALSE(QFileInfo(docs() + "/recordings.plist").isSymLink());

    // A link made while the program runs is not written through either: the save fails.
    QFile::remove(docs() + "/recordings.plist");
    ASSERT_TRUE(QFile::link(dir.file("elsewhere/recordings.plist"), docs() + "/recordings.plist"));
    app->addRecording();
    EXPECT_FALSE(app->waitForSaves());
    EXPECT_EQ(readFile(dir.file("elsewhere/recordings.plist")), foreign);
    EXPECT_EQ(saveFailedAlerts(), 1);
    app.reset();

    // A link that stays inside the folder is an archive like any other.
    QFile::remove(docs() + "/recordings.plist");
    dir.write("Documents/library/kept.plist", foreign);
    ASSERT_TRUE(QFile::link(docs() + "/library/kept.plist", docs() + "/recordings.plist"));
    EXPECT_EQ(names(start()->recordings()), QStringList{"Outside"});
}

TEST_F(LibrarySafety, InPlaceEditsArePublishedAndSavedOncePerTurn)
{
    auto app = start();
    app->addRecording();
    app->waitForSaves();
    const QByteArray saved = readFile(docs() + "/recordings.plist");
    QSignalSpy published(app.get(), &AppDelegate::libraryChanged);
    auto take = app->recordings()[0];

    take->setDuration(12.5);
    app->libraryEdited(false);
    take->setQuality("LQ");
    app->libraryEdited(false);
    EXPECT_EQ(published.count(), 0) << "not before the turn ends";
    QCoreApplication::processEvents();
    EXPECT_EQ(published.count(), 1);
    EXPECT_EQ(app->librarySnapshot()->recordings[0].duration, 12.5);
    EXPECT_EQ(app->librarySnapshot()->recordings[0].quality, "LQ");
    EXPECT_EQ(readFile(docs() + "/recordings.plist"), saved) << "a publish-only edit";

    take->setLocationString("Bern");
    app->libraryEdited(true);
    app->libraryEdited(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(published.count(), 2);
    EXPECT_EQ(start()->recordings()[0]->locationString(), "Bern");
    QCoreApplication::processEvents();
    EXPECT_EQ(published.count(), 2) << "nothing left pending";
}

TEST_F(LibrarySafety, AdoptedFilesTakeTheirFactsFromTheHeader)
{
    dir.write("Documents/lq.wav", wav(11025, 1, 22050));
    dir.write("Documents/mq.wav", wav(22050, 2, 11025));
    dir.write("Documents/odd.wav", wav(16000, 1, 8000));
    dir.write("Documents/broken.wav", "RIFF not really");
    auto app = start();
    QMap<QString, std::shared_ptr<Recording>> byFile;
    for (const auto& r : app->recordings())
        byFile[r->filename()] = r;
    ASSERT_EQ(byFile.size(), 4);
    EXPECT_EQ(byFile["lq.wav"]->duration(), 2.0);
    EXPECT_EQ(byFile["lq.wav"]->quality(), "LQ");
    EXPECT_EQ(byFile["mq.wav"]->quality(), "MQ");
    EXPECT_EQ(byFile["mq.wav"]->channels(), 2);
    EXPECT_EQ(byFile["mq.wav"]->duration(), 0.5);
    EXPECT_EQ(byFile["odd.wav"]->quality(), "HQ");
    EXPECT_EQ(byFile["odd.wav"]->duration(), 0.5);
    EXPECT_EQ(byFile["broken.wav"]->duration(), 0.0) << "still adopted, so it can be deleted";
    EXPECT_EQ(app->librarySnapshot()->recordings.size(), 4u);
}

TEST_F(LibrarySafety, OnlyRegularFilesInsideTheDocumentsFolderAreAdopted)
{
    dir.write("outside.wav", wav(11025, 1, 100));
    dir.write("Documents/inside.wav", wav(11025, 1, 100));
    QFile::link(dir.file("outside.wav"), docs() + "/passwd.wav");
    QFile::link(docs() + "/inside.wav", docs() + "/alias.wav");
    QFile::link(dir.file("missing.wav"), docs() + "/dangling.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(docs() + "/x.wav").constData(), 0600), 0);
    auto app = start(); // returns at all: the FIFO is never opened
    QStringList adopted;
    for (const auto& r : app->recordings())
        adopted << r->filename();
    adopted.sort();
    EXPECT_EQ(adopted, (QStringList{"alias.wav", "inside.wav"}));
}

TEST_F(LibrarySafety, DeleteNeverReachesOutsideTheDocumentsFolder)
{
    dir.write("victim.wav", "precious");
    dir.write("victim.jpg", "precious");
    dir.write("Documents/real.data", "audio");
    auto app = start();
    app->addRecording();
    app->recordings().last()->setFilename("../victim.wav");
    app->addRecording();
    app->recordings().last()->setFilename("alias.wav");
    QFile::link(docs() + "/real.data", docs() + "/alias.wav");

    app->deleteRecording(0);
    EXPECT_TRUE(QFile::exists(dir.file("victim.wav")));
    EXPECT_TRUE(QFile::exists(dir.file("victim.jpg")));
    EXPECT_EQ(app->recordings().size(), 1) << "the record itself goes";

    app->deleteRecording(0);
    EXPECT_FALSE(QFileInfo(docs() + "/alias.wav").isSymLink()) << "the link is removed";
    EXPECT_TRUE(QFile::exists(docs() + "/real.data")) << "its target is not";
}

TEST_F(LibrarySafety, TakesCutShortGetTheirLengthFromTheAudioPresent)
{
    // Records as a take leaves them: made when it began, the file written after that.
    struct Take
    {
        const char* file;
        const char* quality;
        double recorded;
        QByteArray bytes;
    };
    const QByteArray list("LIST\x04\0\0\0INFO", 12);
    const Take takes[] = {
        // Killed before the header was first brought up to date: it declares no audio.
        {"zero.wav", "LQ", 0.0, wav(11025, 1, 0) + QByteArray(44100, '\0')},
        // Killed between a write and the header update after it.
        {"stale.wav", "MQ", 0.0, wav(22050, 1, 22050) + QByteArray(2 * 22050 + 1, '\0')},
        // Killed after the header update, before the record was saved (an append, say).
        {"current.wav", "MQ", 1.0, wav(22050, 1, 44100)},
        // Consistent ones, and a chunk after the audio that is not audio.
        {"fine.wav", "LQ", 2.0, wav(11025, 1, 22050)},
        {"listed.wav", "LQ", 0.0, wav(11025, 1, 11025) + list},
        {"shorter.wav", "LQ", 60.0, wav(11025, 1, 11025)},
    };
    {
        auto app = start();
        for (const Take& take : takes) {
            app->addRecording();
            auto r = app->recordings().last();
            r->setFilename(QString::fromLatin1(take.file));
            r->setQuality(QString::fromLatin1(take.quality));
            r->setChannels(1);
            r->setDuration(take.recorded);
        }
        ASSERT_TRUE(saved(*app));
    }
    for (const Take& take : takes)
        dir.write(QStringLiteral("Documents/") + take.file, take.bytes);

    const QMap<QString, double> expected{{"zero.wav", 2.0},    {"stale.wav", 2.0},
                                         {"current.wav", 2.0}, {"fine.wav", 2.0},
                                         {"listed.wav", 1.0},  {"shorter.wav", 60.0}};
    auto durations = [](const AppDelegate& app) {
        QMap<QString, double> result;
        for (const auto& r : app.recordings())
            result[r->filename()] = r->duration();
        return result;
    };
    EXPECT_EQ(durations(*start()), expected);
    EXPECT_EQ(durations(*start()), expected) << "and saved";

    // Playback finds all the audio; files that were right are untouched.
    for (const auto& [file, frames] : {std::pair{"zero.wav", 22050}, {"stale.wav", 44100}}) {
        std::unique_ptr<AudioFile> audio;
        ASSERT_EQ(AudioFile::openURL(docs() + "/" + file, AudioFile::kReadPermission, &audio),
                  noErr);
        EXPECT_EQ(audio->audioDataPacketCount(), frames) << file;
    }
    const QByteArray stale = readFile(docs() + "/stale.wav");
    EXPECT_EQ(qFromLittleEndian<quint32>(stale.constData() + 40), 88200u) << "whole frames";
    EXPECT_EQ(stale.size(), takes[1].bytes.size()) << "the audio itself is kept";
    for (const int i : {2, 3, 4, 5})
        EXPECT_EQ(readFile(docs() + "/" + takes[i].file), takes[i].bytes) << takes[i].file;
}

namespace {

const QString kRepairCopies = QStringLiteral("recordings.plist.before-repair-*");

// A library of one memo with its name, category, place and photo, its WAV file and photo on
// disk. Returns the archive's bytes.
QByteArray writeOneMemo(const sonavell::test::ScratchDir& dir)
{
    Recording memo(QStringLiteral("Interview with Ada"), QStringLiteral("20090101120000"),
                   QStringLiteral("Interviews"));
    memo.setLocationString(QStringLiteral("Zürich"));
    const QByteArray archive = KeyedArchiver::archivedDataWithRootArray({&memo});
    dir.write("Documents/recordings.plist", archive);
    dir.write("Documents/REC20090101120000.wav", wav(11025, 1, 11025));
    dir.write("Documents/REC20090101120000.jpg", "photo");
    return archive;
}

// The archive with one byte of the memo's file name changed: it still decodes, but its record
// names a file that is not there, and the memo's own file is named by no record.
QByteArray withMutatedFileName(QByteArray archive)
{
    const qsizetype at = archive.indexOf("REC20090101120000.wav");
    EXPECT_GE(at, 0);
    archive[at + 3] = 'X';
    return archive;
}

QStringList repairCopies(const QString& docs)
{
    return QDir(docs).entryList({kRepairCopies}, QDir::Files, QDir::Name);
}

} // namespace

TEST_F(LibrarySafety, AnArchiveThatNoLongerMatchesItsFilesIsKeptBeforeTheRepair)
{
    const QByteArray damaged = withMutatedFileName(writeOneMemo(dir));
    dir.write("Documents/recordings.plist", damaged);
    {
        auto app = start();
        ASSERT_EQ(app->recordings().size(), 2);
        EXPECT_EQ(app->recordings()[1]->name(), "Recovered Memo");
        EXPECT_TRUE(app->waitForSaves());
    }
    EXPECT_NE(readFile(docs() + "/recordings.plist"), damaged) << "the repair was written";
    const QStringList copies = repairCopies(docs());
    ASSERT_EQ(copies, QStringList{"recordings.plist.before-repair-20090415093012"});
    EXPECT_EQ(readFile(docs() + "/" + copies[0]), damaged) << "the archive as it was read";
    // The copy still holds what the repair lost from view: the memo's name, category and place.
    dir.write("Documents/recordings.plist", readFile(docs() + "/" + copies[0]));
    auto restored = start();
    EXPECT_EQ(restored->recordings()[0]->name(), "Interview with Ada");
    EXPECT_EQ(restored->recordings()[0]->category(), "Interviews");
    EXPECT_EQ(restored->recordings()[0]->locationString(), "Zürich");
}

TEST_F(LibrarySafety, ARecordWhoseFileIsMissingKeepsACopyToo)
{
    const QByteArray archive = writeOneMemo(dir);
    QFile::remove(docs() + "/REC20090101120000.wav");
    {
        auto app = start();
        EXPECT_EQ(app->recordings().size(), 1) << "the record stays";
        EXPECT_TRUE(AlertView::history().isEmpty()) << "nothing was adopted";
        EXPECT_TRUE(app->waitForSaves());
    }
    const QStringList copies = repairCopies(docs());
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(readFile(docs() + "/" + copies[0]), archive);
}

TEST_F(LibrarySafety, AStartWithNothingToRepairKeepsNoCopy)
{
    writeOneMemo(dir);
    start()->waitForSaves();
    start()->waitForSaves();
    EXPECT_TRUE(repairCopies(docs()).isEmpty());

    // Nor does a first run that adopts files: no archive was read, so there is none to keep.
    sonavell::test::ScratchDir fresh;
    fresh.write("Documents/REC20090101120000.wav", wav(11025, 1, 100));
    AppDelegate::Environment env;
    env.documentsPath = fresh.file("Documents");
    env.userDefaults = sonavell::test::privateSettings(fresh);
    env.locationManager = location;
    AppDelegate firstRun(env);
    EXPECT_EQ(firstRun.recordings().size(), 1);
    firstRun.waitForSaves();
    EXPECT_TRUE(repairCopies(fresh.file("Documents")).isEmpty());
}

TEST_F(LibrarySafety, RepairsKeepTheFiveNewestCopies)
{
    // The repaired archive keeps the record of the missing file, so every start repairs again.
    dir.write("Documents/recordings.plist", withMutatedFileName(writeOneMemo(dir)));
    dir.write("Documents/recordings.plist.before-repair-notes.txt", "not a copy");
    QStringList stamps;
    for (int i = 0; i < 6; ++i) {
        now = now.addSecs(3600);
        stamps << now.toString("yyyyMMddHHmmss");
        start()->waitForSaves();
    }
    QStringList expected;
    for (const QString& stamp : stamps.mid(1))
        expected << "recordings.plist.before-repair-" + stamp;
    EXPECT_EQ(repairCopies(docs()),
              expected + QStringList{"recordings.plist.before-repair-notes.txt"})
        << "the oldest is gone; a file that is no copy is left alone";

    // Two repairs within one second keep both copies; a clock set back never loses the new one.
    start()->waitForSaves();
    EXPECT_TRUE(QFile::exists(docs() + "/recordings.plist.before-repair-" + stamps.last() + "-2"));
    now = now.addDays(-1);
    start()->waitForSaves();
    EXPECT_TRUE(QFile::exists(docs() + "/recordings.plist.before-repair-" +
                              now.toString("yyyyMMddHHmmss")));
    EXPECT_EQ(repairCopies(docs()).size(), 6) << "five copies and the file that is no copy";
}
