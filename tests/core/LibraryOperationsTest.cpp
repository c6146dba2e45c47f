// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryFixture.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <atomic>

using Library = LibraryFixture;

TEST_F(Library, AddRecordingStampsNamesAndFilesIt)
{
    auto app = start();
    EXPECT_EQ(app->getNewRecordingName(), "New Memo 1");
    app->setCategoryIndex(0); // the all-recordings category
    app->addRecording();
    const auto first = app->recordings().last();
    EXPECT_EQ(first->filename(), "REC20090415093012.wav");
    EXPECT_EQ(first->category(), "*****");
    EXPECT_EQ(first->quality(), "HQ");
    EXPECT_EQ(first->channels(), 1);
    EXPECT_EQ(first->date(), now);
    EXPECT_EQ(app->recordingIndex(), -1) << "adding does not select";

    // A second add within the same second waits for the next one.
    app->addRecording();
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(app->recordings().last()->filename(), "REC20090415093013.wav");

    // Filed under "*****", it shows in the all-recordings category only.
    app->setCategoryIndex(1);
    EXPECT_TRUE(app->recArrayFilter(QString()).isEmpty());
    app->waitForSaves();
    EXPECT_TRUE(QFile::exists(docs() + "/recordings.plist"));

    // Names count up across categories; a free number is used again, compared exactly.
    app->setCategoryIndex(2);
    app->addRecording();
    EXPECT_EQ(names(app->recordings()), (QStringList{"New Memo 1", "New Memo 2", "New Memo 3"}));
    app->recordings()[1]->setName(QStringLiteral("new memo 2")); // differs in case only
    EXPECT_EQ(app->getNewRecordingName(), "New Memo 2");
}

TEST_F(Library, FiltersByNamePlaceDateAndDuration)
{
    auto app = start();
    auto add = [&](const QString& name, const QString& category, double duration,
                   const QString& place) {
        app->addRecording();
        now = now.addSecs(60);
        auto r = app->recordings().last();
        r->setName(name);
        r->setCategory(category);
        r->setDuration(duration);
        r->setLocationString(place);
    };
    add("My Kitchen Notes", "Ideas", 7, QString());
    add("Call Bob", "Ideas", 125, QStringLiteral("Kitchener ON N2G 1A1 CA"));
    add("Song", "Music", 3725, QString());
    add("Other", "Ideas", 1, QString());

    app->setCategoryIndex(0);
    EXPECT_EQ(names(app->recArrayFilter(QStringLiteral("kitchen"))),
              (QStringList{"My Kitchen Notes", "Call Bob"}));
    EXPECT_EQ(names(app->recArrayFilter(QStringLiteral("05s"))), (QStringList{"Call Bob", "Song"}));
    EXPECT_EQ(names(app->recArrayFilter(QStringLiteral("1h 02m"))), QStringList{"Song"});
    EXPECT_EQ(app->recArrayFilter(QString()).size(), 4);
    EXPECT_EQ(app->recArrayFilter(QStringLiteral("")).size(), 4);
    EXPECT_TRUE(app->recArrayFilter(QStringLiteral("zzz")).isEmpty());
    // Dates match as the short date/time text of the user's locale.
    const QString dateText = app->formatDate(app->recordings()[2]->date());
    EXPECT_TRUE(names(app->recArrayFilter(dateText)).contains("Song"));

    // Category rule: exact names; the text filter applies within the category.
    EXPECT_EQ(names(app->recordingsForCategory(QStringLiteral("Ideas"))),
              (QStringList{"My Kitchen Notes", "Call Bob", "Other"}));
    EXPECT_TRUE(app->recordingsForCategory(QStringLiteral("ideas")).isEmpty());
    EXPECT_EQ(names(app->recordingsForCategoryWithTextFilter(QStringLiteral("Music"),
                                                             QStringLiteral("KITCHEN"))),
              QStringList{});
    // The category, quality and file name are not searched.
    EXPECT_TRUE(
        app->recordingsForCategoryWithTextFilter(QStringLiteral("Ideas"), QStringLiteral("Ideas"))
            .isEmpty());
    EXPECT_TRUE(app->recArrayFilter(QStringLiteral("REC2009")).isEmpty());
}

// Latin-1 records are searched in a folded byte key, the rest in their texts: either way the
// result must be that of a case-insensitive search of each text, for every kind of text.
TEST_F(Library, FilterMatchesCaseInsensitiveSearchOfEveryText)
{
    auto app = start();
    const QStringList texts = {"Kitchen",
                               "KITCHEN SINK",
                               "Zürich",
                               "ZÜRICH",
                               "Straße",
                               "STRASSE",
                               "µ-law",
                               "Μ Greek",
                               "İstanbul",
                               "ÿes",
                               "Ÿ",
                               "tab\tname",
                               "",
                               QString(),
                               QString::fromUcs4(U"\U00010400 Deseret"),
                               QString::fromUcs4(U"x\U00010428y"),
                               QString::fromUtf16(u"lone \xdc00 low"),
                               "\u212a kelvin",
                               "long \u017f s"};
    for (int i = 0; i < texts.size(); ++i) {
        app->addRecording();
        now = now.addSecs(61);
        auto r = app->recordings().last();
        r->setName(texts[i]);
        r->setLocationString(texts[(i * 7 + 3) % texts.size()]);
        r->setDuration(i * 631);
    }
    app->setCategoryIndex(0);
    const QStringList needles = {"kitchen",
                                 "ü",
                                 "Ü",
                                 "zür",
                                 "ß",
                                 "ss",
                                 "µ",
                                 "μ",
                                 "Μ",
                                 "\u212a",
                                 "k",
                                 "\u017f",
                                 "s",
                                 "S",
                                 "ÿ",
                                 "Ÿ",
                                 "İ",
                                 "i",
                                 "\t",
                                 " ",
                                 "05s",
                                 "h 10m",
                                 QString::fromUcs4(U"\U00010428"),
                                 QString::fromUcs4(U"\U00010400"),
                                 QString::fromUtf16(u"\xdc28"),
                                 QString::fromUtf16(u"\xdc00"),
                                 QString(QChar(0)),
                                 QString("n") + QChar(0),
                                 app->formatDate(app->recordings()[4]->date()).toUpper()};
    const auto reference = [&](const QString& needle) {
        QStringList found;
        for (const auto& r : app->recordings()) {
            const QString fields[] = {r->name(), r->locationString(), app->formatDate(r->date()),
                                      AppDelegate::makeTimeStringFromSamps(r->duration(), 0, 1)};
            if (std::any_of(std::begin(fields), std::end(fields), [&](const QString& f) {
                    return f.contains(needle, Qt::CaseInsensitive);
                }))
                found << r->name();
        }
        return found;
    };
    const auto checkAll = [&] {
        for (const QString& needle : needles)
            EXPECT_EQ(names(app->recArrayFilter(needle)), reference(needle))
                << "needle " << needle.toStdString();
    };
    checkAll();
    // Edits are searched at once: names and places swap between Latin-1 and other text.
    auto& all = app->recordings();
    all[0]->setName(QStringLiteral("Μικρό"));
    all[2]->setName(QStringLiteral("plain kitchen"));
    all[7]->setLocationString(QStringLiteral("Zürich ZH"));
    all[8]->setLocationString(QStringLiteral("Zurich"));
    all[5]->setDuration(3725);
    all[6]->setDate(QDateTime(QDate(2011, 3, 2), QTime(17, 45), Qt::UTC));
    checkAll();
    EXPECT_TRUE(names(app->recArrayFilter(QStringLiteral("1H 02M 05S"))).contains(all[5]->name()));
}

TEST_F(Library, KeptTextsAndEntriesFollowEveryEdit)
{
    auto app = start();
    app->addRecording();
    now = now.addSecs(1);
    app->addRecording();
    auto edited = app->recordings()[0];
    auto untouched = app->recordings()[1];
    edited->setDuration(125);
    app->setCategoryIndex(0);
    EXPECT_EQ(names(app->recArrayFilter(QStringLiteral("02m 05s"))), QStringList{"New Memo 1"});

    // A new duration or date is searched at once, the old text no longer.
    edited->setDuration(3661);
    EXPECT_TRUE(app->recArrayFilter(QStringLiteral("02m 05s")).isEmpty());
    EXPECT_EQ(names(app->recArrayFilter(QStringLiteral("1h 01m"))), QStringList{"New Memo 1"});
    const QDateTime later = QDateTime(QDate(2011, 3, 2), QTime(17, 45), Qt::UTC);
    const QString laterText = app->formatDate(later);
    ASSERT_NE(laterText, app->formatDate(untouched->date()));
    edited->setDate(later);
    EXPECT_EQ(names(app->recArrayFilter(laterText)), QStringList{"New Memo 1"});

    // A snapshot shares the entries of records that did not change since the last one; an
    // edited record gets a new entry with every field, the date text and the file size current.
    app->persist();
    const LibrarySnapshotPtr first = app->librarySnapshot();
    dir.write("Documents/" + edited->filename(), "twelve bytes");
    edited->setName(QStringLiteral("Renamed"));
    edited->setDuration(2); // the file is measured again
    app->persist();
    const LibrarySnapshotPtr second = app->librarySnapshot();
    EXPECT_EQ(first->recordings.shared(1), second->recordings.shared(1));
    EXPECT_NE(first->recordings.shared(0), second->recordings.shared(0));
    EXPECT_EQ(first->recordings[0].name, "New Memo 1") << "a published snapshot never changes";
    EXPECT_EQ(second->recordings[0].name, "Renamed");
    EXPECT_EQ(second->recordings[0].duration, 2);
    EXPECT_EQ(second->recordings[0].dateText, laterText);
    EXPECT_EQ(second->recordings[0].fileSize, 12);
    app->waitForSaves();
    EXPECT_EQ(start()->recordings()[0]->name(), "Renamed");
}

TEST_F(Library, DeleteRecordingRemovesItsFilesAndRecord)
{
    auto app = start();
    for (const char* name : {"keep", "target one", "target two"}) {
        app->addRecording();
        app->recordings().last()->setName(QString::fromUtf8(name));
        now = now.addSecs(1);
    }
    const auto victim = app->recordings()[2];
    dir.write("Documents/" + victim->filename(), "audio");
    dir.write("Documents/" + victim->photoFilename(), "photo");
    app->setSearchText(QStringLiteral("target"));
    app->deleteRecording(1); // the second of the filtered list
    EXPECT_FALSE(QFile::exists(docs() + "/" + victim->filename()));
    EXPECT_FALSE(QFile::exists(docs() + "/" + victim->photoFilename()));
    EXPECT_EQ(names(app->recordings()), (QStringList{"keep", "target one"}));

    // Missing files are no error; the record goes all the same.
    app->deleteRecording(0);
    EXPECT_EQ(names(app->recordings()), QStringList{"keep"});
    auto reloaded = start();
    EXPECT_EQ(names(reloaded->recordings()), QStringList{"keep"});
}

TEST_F(Library, DeleteCategoryRefilesItsRecordings)
{
    auto app = start();
    app->setCategoryIndex(5); // Music
    app->addRecording();
    now = now.addSecs(1);
    app->addRecording();
    app->addCategory();
    EXPECT_EQ(app->categories().last()->name(), "New Category");

    app->setCategoryIndex(3);
    app->deleteCategory(5);
    EXPECT_EQ(app->categoryIndex(), 0);
    EXPECT_EQ(categoryNames(*app), (QStringList{"*****", "Business", "Ideas", "Interviews",
                                                "Lectures", "Personal", "To Do", "New Category"}));
    for (const auto& r : app->recordings())
        EXPECT_EQ(r->category(), "From Deleted Category");
    EXPECT_EQ(app->recArrayFilter(QString()).size(), 2) << "still listed under *****";
    auto reloaded = start();
    EXPECT_EQ(reloaded->categories().size(), 8);
}

TEST_F(Library, SnapshotIsPublishedAfterEachChangeAndReadableFromAnotherThread)
{
    auto app = start();
    LibrarySnapshotPtr before = app->librarySnapshot();
    ASSERT_TRUE(before);
    EXPECT_EQ(before->categories.first(), "*****");
    EXPECT_TRUE(before->recordings.empty());
    EXPECT_EQ(before->documentsPath, docs());

    app->addRecording();
    app->recordings().last()->setLocationString(QStringLiteral("Zürich ZH 8001 CH"));
    app->recordings().last()->setHideFromWebSharing(true);
    app->persist();
    LibrarySnapshotPtr after = app->librarySnapshot();
    ASSERT_EQ(after->recordings.size(), 1u);
    const auto& entry = after->recordings[0];
    EXPECT_EQ(entry.name, "New Memo 1");
    EXPECT_EQ(entry.filename, "REC20090415093012.wav");
    EXPECT_EQ(entry.dateText, app->formatDate(now));
    EXPECT_EQ(entry.locationString, "Zürich ZH 8001 CH");
    EXPECT_TRUE(entry.hideFromWebSharing);
    EXPECT_TRUE(before->recordings.empty()) << "an old snapshot never changes";

    // A reader thread sees only whole snapshots while the main thread keeps changing the library.
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    QThread* reader = QThread::create([&] {
        while (!done) {
            LibrarySnapshotPtr s = app->librarySnapshot();
            for (const auto& r : s->recordings)
                if (r.filename.isEmpty() || r.name.isEmpty())
                    ++torn;
        }
    });
    reader->start();
    for (int i = 0; i < 50; ++i) {
        now = now.addSecs(1);
        app->addRecording();
    }
    done = true;
    reader->wait();
    delete reader;
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(app->librarySnapshot()->recordings.size(), 51u);
}
