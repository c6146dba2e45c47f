// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryFixture.h"
#include "platform/system/LocalTime.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QTimeZone>

#include <filesystem>

namespace {
const QStringList kDefaultCategories = {"*****",    "Business", "Ideas",    "Interviews",
                                        "Lectures", "Music",    "Personal", "To Do"};
const QString kTip = QStringLiteral(
    "Tip: To ensure interruption-free recordings, change your phone settings to Airplane mode.");
const QString kRecovered = QStringLiteral(
    "Sonavell: Sonavell found a recording that was not saved in the database.  Any recordings the "
    "have been reconnected to the database are now renamed \"Recovered Memo.\"");
} // namespace

using Startup = LibraryFixture;

TEST_F(Startup, FirstRunSuppliesDefaultsAndShowsTipOnce)
{
    auto app = launch();
    EXPECT_EQ(categoryNames(*app), kDefaultCategories);
    EXPECT_TRUE(app->recordings().isEmpty());
    EXPECT_EQ(app->recordingIndex(), -1);
    EXPECT_EQ(AlertView::history(), QStringList{kTip});
    // Nothing was written yet; the first change or the shutdown writes the library.
    app->applicationWillTerminate();
    EXPECT_TRUE(QFile::exists(docs() + "/categories.plist"));
    EXPECT_TRUE(QFile::exists(docs() + "/recordings.plist"));
    EXPECT_EQ(settings->value("RestoreIndex").toInt(), -1);

    AlertView::clearHistory();
    auto again = launch();
    EXPECT_TRUE(AlertView::history().isEmpty());
    EXPECT_EQ(categoryNames(*again), kDefaultCategories);
}

TEST_F(Startup, EmptyArchivesAreNotAFirstRun)
{
    Recording r(QStringLiteral("Kept"), QStringLiteral("20090101120000"), QStringLiteral("Music"));
    dir.write("Documents/categories.plist", archiveOf({}));
    dir.write("Documents/recordings.plist", archiveOf({&r}));
    {
        auto app = start();
        EXPECT_EQ(categoryNames(*app), kDefaultCategories);
        ASSERT_EQ(app->recordings().size(), 1);
        EXPECT_EQ(app->recordings()[0]->name(), "Kept");
        EXPECT_EQ(app->recordingIndex(), 0);
    }
    dir.write("Documents/recordings.plist", archiveOf({}));
    auto app = launch();
    EXPECT_TRUE(app->recordings().isEmpty());
    EXPECT_EQ(app->recordingIndex(), -1);
    EXPECT_TRUE(AlertView::history().isEmpty());
}

TEST_F(Startup, RestoresAndClampsTheSelection)
{
    auto app = start();
    app->setCategoryIndex(5); // Music
    for (int i = 0; i < 3; ++i) {
        app->addRecording();
        now = now.addSecs(1);
    }
    app->applicationWillTerminate();

    struct Case
    {
        QVariant category, index;
        int expectCategory, expectIndex;
    };
    const Case cases[] = {
        {5, 50, 5, 2},  // past the end: the last recording
        {5, -1, 5, 2},  // none stored: the last recording
        {5, 1, 5, 1},   // valid
        {12, 1, 0, 0},  // category out of range: category 0, first recording
        {-3, 2, 0, 0},  // negative category
        {1, 0, 1, -1},  // empty category
        {{}, {}, 0, 0}, // absent keys read as 0
    };
    for (const Case& c : cases) {
        settings->clear();
        if (c.category.isValid())
            settings->setValue("RestoreCategory", c.category);
        if (c.index.isValid())
            settings->setValue("RestoreIndex", c.index);
        // A second name for the settings file as it stands: a write replaces the file.
        settings->sync();
        const std::string file = settings->fileName().toStdString();
        std::filesystem::remove(file + ".before");
        std::filesystem::create_hard_link(file, file + ".before");
        auto restored = launch();
        EXPECT_EQ(restored->categoryIndex(), c.expectCategory) << c.category.toInt();
        EXPECT_EQ(restored->recordingIndex(), c.expectIndex) << c.index.toInt();
        EXPECT_TRUE(restored->searchText().isNull());
        // The clamped values are written back at once.
        EXPECT_EQ(settings->value("RestoreCategory").toInt(), c.expectCategory);
        EXPECT_EQ(settings->value("RestoreIndex").toInt(), c.expectIndex);
        // Values that stand as they were stored are not written again.
        const bool kept = c.category.isValid() && c.index.isValid() &&
                          c.category.toInt() == c.expectCategory &&
                          c.index.toInt() == c.expectIndex;
        EXPECT_EQ(std::filesystem::equivalent(file, file + ".before"), kept)
            << c.category.toInt() << " " << c.index.toInt();
    }
}

TEST_F(Startup, ShutdownStoresTheUnfilteredPosition)
{
    auto app = start();
    const QStringList titles = {"alpha", "beta", "kitchen one", "gamma", "delta", "kitchen two"};
    for (const QString& t : titles) {
        app->addRecording();
        app->recordings().last()->setName(t);
        now = now.addSecs(1);
    }
    app->setSearchText(QStringLiteral("kitchen"));
    app->setRecordingIndex(1); // "kitchen two", position 5 unfiltered
    app->applicationWillTerminate();
    EXPECT_EQ(settings->value("RestoreIndex").toInt(), 5);
    EXPECT_EQ(settings->value("RestoreCategory").toInt(), 0);

    auto next = launch();
    EXPECT_EQ(next->recArrayFilter(next->searchText())[next->recordingIndex()]->name(),
              "kitchen two");

    next->setRecordingIndex(-1);
    next->applicationWillTerminate();
    EXPECT_EQ(settings->value("RestoreIndex").toInt(), -1);
    next->setRecordingIndex(17); // not a valid position either
    next->applicationWillTerminate();
    EXPECT_EQ(settings->value("RestoreIndex").toInt(), -1);
}

TEST_F(Startup, IntegrityCheckAdoptsUnknownWavFiles)
{
    Recording known(QStringLiteral("Known"), QStringLiteral("20090101000000"),
                    QStringLiteral("Music"));
    dir.write("Documents/recordings.plist", archiveOf({&known}));
    dir.write("Documents/REC20090101000000.wav", "known");
    dir.write("Documents/REC20090101120000.wav", "orphan");
    dir.write("Documents/Notes.rtfd/x.wav", "inside a bundle");
    dir.write("Documents/Take.WAV", "upper case");
    dir.write("Documents/old/Mein Lied ü.wav", "in a subfolder");
    dir.write("Documents/notes.txt", "not audio");
    dir.write("Documents/folder.wav/in.wav", "a folder named like a WAV file is searched");
    QFile::link(docs(), docs() + "/loop"); // a link back to the top must not trap the walk

    sonavell::test::LogCapture log("sonavell.core");
    auto app = start();
    // The walk logs what it adopted and one summary, not a line per file it looked at (the
    // repair's copy of the archive follows).
    EXPECT_EQ(log.linesWith("IntegrityCheck:").mid(0, 4),
              (QStringList{"IntegrityCheck: adopted REC20090101120000.wav",
                           "IntegrityCheck: adopted folder.wav/in.wav",
                           "IntegrityCheck: adopted old/Mein Lied ü.wav",
                           "IntegrityCheck: 4 WAV files, 3 adopted, 0 lengths corrected"}));
    QStringList adopted;
    for (const auto& r : app->recordings()) {
        if (r->name() == "Recovered Memo") {
            adopted << r->filename();
            EXPECT_EQ(r->duration(), 0);
            EXPECT_EQ(r->quality(), "HQ");
            EXPECT_EQ(r->channels(), 1);
            EXPECT_EQ(r->category(), "*****");
            EXPECT_EQ(r->date(), now);
        }
    }
    adopted.sort();
    EXPECT_EQ(adopted,
              (QStringList{"REC20090101120000.wav", "folder.wav/in.wav", "old/Mein Lied ü.wav"}));
    EXPECT_EQ(app->recordingIndex(), app->recordings().size() - 1);
    EXPECT_EQ(AlertView::history(), QStringList{kRecovered});

    // The repaired library was written: the next start adopts nothing.
    AlertView::clearHistory();
    auto again = start();
    EXPECT_EQ(again->recordings().size(), 4);
    EXPECT_TRUE(AlertView::history().isEmpty());
}

TEST_F(Startup, TipComesBeforeTheRecoveredFilesAlert)
{
    dir.write("Documents/REC20090101120000.wav", "orphan");
    auto app = start();
    EXPECT_EQ(AlertView::history(), (QStringList{kTip, kRecovered}));
    EXPECT_EQ(app->recordingIndex(), 0);
}

TEST_F(Startup, UndecodableArchivesAreSetAsideNeverOverwritten)
{
    const QByteArray garbage = "bplist00 this is not a property list";
    dir.write("Documents/recordings.plist", garbage);
    dir.write("Documents/categories.plist", QByteArray());
    auto app = start();
    EXPECT_EQ(categoryNames(*app), kDefaultCategories);
    EXPECT_EQ(app->recordingIndex(), -1);
    app->addRecording();

    const QStringList aside = QDir(docs()).entryList({"recordings.plist.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(docs() + "/" + aside[0]), garbage);
    EXPECT_EQ(QDir(docs()).entryList({"categories.plist.unreadable-*"}).size(), 1);
}

TEST_F(Startup, IntegrityCheckAdoptsInNameOrderAndShowsLocalDates)
{
    // Files are adopted as the walk meets them: by name, case-sensitive, a folder's files at the
    // folder's place.
    for (const char* name : {"b.wav", "a.wav", "B.wav", "Z/x.wav", "Z/a.wav", "c/d.wav"})
        dir.write(QStringLiteral("Documents/") + QString::fromLatin1(name), "x");
    auto app = start();
    QStringList adopted;
    for (const auto& r : app->recordings())
        adopted << r->filename();
    EXPECT_EQ(adopted, (QStringList{"B.wav", "Z/a.wav", "Z/x.wav", "a.wav", "b.wav", "c/d.wav"}));

    // Dates read as the short local date and time, also either side of a change of summer time.
    const QByteArray zone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    LocalTime::readZone();
    const QTimeZone utc = QTimeZone::utc();
    for (const QDateTime& date : {QDateTime(QDate(2021, 3, 28), QTime(0, 59, 59), utc),
                                  QDateTime(QDate(2021, 3, 28), QTime(1, 0, 0), utc),
                                  QDateTime(QDate(2021, 10, 31), QTime(0, 30, 0), utc),
                                  QDateTime(QDate(2021, 10, 31), QTime(1, 30, 0), utc)})
        EXPECT_EQ(app->formatDate(date),
                  QLocale().toString(date.toLocalTime(), QLocale::ShortFormat));
    if (hadZone)
        qputenv("TZ", zone);
    else
        qunsetenv("TZ");
    LocalTime::readZone();
}
