// SPDX-License-Identifier: GPL-3.0-or-later
// The archives are written on the saving thread: same bytes as the records archive themselves,
// in order, the newest state last, and never lost at quit. Snapshots carry the files' sizes.
#include "LibraryFixture.h"
#include "core/LibrarySaver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <atomic>
#include <thread>

#include <sys/stat.h>

namespace {

std::vector<const Archivable*> archivables(const AppDelegate::RecordingList& list)
{
    std::vector<const Archivable*> result;
    for (const auto& r : list)
        result.push_back(r.get());
    return result;
}

} // namespace

using LibrarySaving = LibraryFixture;

TEST_F(LibrarySaving, TheSavedArchivesAreTheRecordsOwnArchives)
{
    auto app = start();
    for (int i = 0; i < 3; ++i) {
        now = now.addSecs(1);
        app->setCategoryIndex(i);
        app->addRecording();
    }
    auto r = app->recordings()[1];
    r->setName(QStringLiteral("Tschüß & <more>"));
    r->setDuration(125.25);
    r->setLocationString(QStringLiteral("Malmö M 211 19 SE"));
    r->setQuality(QStringLiteral("MQ"));
    r->setChannels(2);
    r->setLastPlayTime(12.5f);
    r->setHideFromWebSharing(true);
    r->setDate(QDateTime(QDate(2009, 4, 15), QTime(9, 30, 12, 250)));
    app->mutableCategories()[2]->setName(QStringLiteral("Geschäft"));
    app->persist();
    ASSERT_TRUE(app->waitForSaves());

    EXPECT_EQ(readFile(docs() + "/recordings.plist"), archiveOf(archivables(app->recordings())));
    EXPECT_EQ(readFile(docs() + "/categories.plist"), app->dataOfType(QString()));
    // No temporary file is left beside them.
    EXPECT_EQ(QDir(docs()).entryList(QDir::Files),
              (QStringList{"categories.plist", "recordings.plist"}));
}

TEST_F(LibrarySaving, ManyQuickChangesEndWithTheLastOneOnDiskEvenWithoutWaiting)
{
    {
        auto app = start();
        for (int i = 0; i < 60; ++i) {
            now = now.addSecs(1);
            app->addRecording();
            app->recordings().last()->setName(QStringLiteral("Take %1").arg(i));
            app->libraryEdited(true);
        }
        app->deleteRecording(0);
        // Destroyed with writes still queued: the last one completes first.
    }
    QStringList expected;
    for (int i = 1; i < 60; ++i)
        expected << QStringLiteral("Take %1").arg(i);
    auto reloaded = start();
    EXPECT_EQ(names(reloaded->recordings()), expected);
}

TEST_F(LibrarySaving, WaitingForSavesTakesInAnEditNotYetApplied)
{
    auto app = start();
    app->addRecording();
    ASSERT_TRUE(app->waitForSaves());
    app->recordings().last()->setName(QStringLiteral("Renamed, then waited for"));
    app->libraryEdited(true);
    // No event-loop turn has ended: the edit is still pending when the wait begins.
    ASSERT_TRUE(app->waitForSaves());
    EXPECT_EQ(readFile(docs() + "/recordings.plist"), archiveOf(archivables(app->recordings())));
    EXPECT_EQ(app->librarySnapshot()->recordings.back().name, "Renamed, then waited for");
}

TEST_F(LibrarySaving, QuitWaitsForTheLastWrite)
{
    auto app = launch();
    app->addRecording();
    app->recordings().last()->setName(QStringLiteral("Said at the door"));
    app->applicationWillTerminate();
    // Read straight from the disk, with the application still alive: nothing is pending.
    LibrarySnapshot fromDisk;
    fromDisk.recordings.push_back(app->recordings().last()->entry());
    fromDisk.categories = {};
    for (const auto& c : app->categories())
        fromDisk.categories << c->name();
    EXPECT_EQ(readFile(docs() + "/recordings.plist"), LibrarySaver::recordingsArchive(fromDisk));
    EXPECT_EQ(readFile(docs() + "/categories.plist"), LibrarySaver::categoriesArchive(fromDisk));
}

TEST_F(LibrarySaving, ASaveThatChangesNothingLeavesTheFilesAlone)
{
    auto app = launch();
    app->addRecording();
    ASSERT_TRUE(app->waitForSaves());
    const auto inode = [this](const char* name) {
        struct stat info
        {
        };
        return ::stat(QFile::encodeName(docs() + "/" + name).constData(), &info) == 0 ? info.st_ino
                                                                                      : 0;
    };
    const ino_t recordings = inode("recordings.plist");
    const ino_t categories = inode("categories.plist");
    ASSERT_NE(recordings, 0u);

    // Quit with nothing changed: the same files, not new ones renamed over them.
    app->applicationWillTerminate();
    EXPECT_EQ(inode("recordings.plist"), recordings);
    EXPECT_EQ(inode("categories.plist"), categories);

    // A changed name is written, and only the archive it is in.
    app->recordings().last()->setName(QStringLiteral("Renamed"));
    app->persist();
    ASSERT_TRUE(app->waitForSaves());
    EXPECT_NE(inode("recordings.plist"), recordings);
    EXPECT_EQ(inode("categories.plist"), categories);
    EXPECT_EQ(start()->recordings().last()->name(), "Renamed");

    // Files another program changed or removed since are written again, though the library
    // itself did not change.
    const QByteArray saved = readFile(docs() + "/recordings.plist");
    {
        QFile damaged(docs() + "/recordings.plist");
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("not an archive");
    }
    ASSERT_TRUE(QFile::remove(docs() + "/categories.plist"));
    app->applicationWillTerminate();
    EXPECT_EQ(readFile(docs() + "/recordings.plist"), saved);
    EXPECT_EQ(start()->recordings().last()->name(), "Renamed");
    EXPECT_EQ(start()->categories().size(), app->categories().size());
}

// Another program removes the categories file over and over while changes are saved (the file
// vanishes while the other archive is written): once it stops, a save with nothing changed
// still finds the file gone and writes it.
TEST_F(LibrarySaving, AFileRemovedWhileASaveRunsIsWrittenByTheNextSave)
{
    auto app = launch();
    app->addRecording();
    ASSERT_TRUE(app->waitForSaves());
    const QString categories = docs() + "/categories.plist";
    for (int round = 0; round < 30; ++round) {
        app->recordings().last()->setName(QStringLiteral("Take %1").arg(round));
        std::atomic<bool> saving = true;
        std::thread remover([&] {
            while (saving)
                QFile::remove(categories);
        });
        app->persist();
        const bool saved = app->waitForSaves();
        saving = false;
        remover.join();
        ASSERT_TRUE(saved);
        QFile::remove(categories);
        app->persist();
        ASSERT_TRUE(app->waitForSaves());
        ASSERT_TRUE(QFile::exists(categories)) << "round " << round;
    }
}

TEST_F(LibrarySaving, SnapshotsCarryFileSizesMeasuredAgainWhenATakeEnds)
{
    dir.write("Documents/known.wav", QByteArray(1000, 'x'));
    {
        auto app = start(); // adopts known.wav
        app->addRecording();
    }
    auto app = start();
    ASSERT_EQ(app->recordings().size(), 2);
    auto known = app->recordings()[0];
    auto take = app->recordings()[1];
    ASSERT_EQ(known->filename(), "known.wav");
    EXPECT_EQ(known->knownFileSize(), 1000) << "told by the start-up walk";
    EXPECT_EQ(app->librarySnapshot()->recordings[0].fileSize, 1000);
    EXPECT_EQ(app->librarySnapshot()->recordings[1].fileSize, 0) << "no file yet";

    // The take is written, then its length is set: the next snapshot measures it.
    dir.write("Documents/" + take->filename(), QByteArray(4444, 'y'));
    app->libraryEdited(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(app->librarySnapshot()->recordings[1].fileSize, 0) << "not measured again";
    take->setDuration(2.5);
    app->libraryEdited(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(app->librarySnapshot()->recordings[1].fileSize, 4444);
    const uint64_t version = app->librarySnapshot()->version;
    app->persist();
    EXPECT_GT(app->librarySnapshot()->version, version) << "every snapshot has a new number";
}
