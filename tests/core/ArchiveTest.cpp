// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryFixture.h"

#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/archive/XmlArchive.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTimeZone>

namespace {

using sonavell::test::uid;
using sonavell::test::xmlArchive;

QByteArray jpeg(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

} // namespace

using Archives = LibraryFixture;

TEST_F(Archives, RoundTripKeepsEveryField)
{
    auto app = start();
    app->addRecording();
    auto r = app->recordings().last();
    r->setName(QStringLiteral("Besprechung über Dächer — 日本"));
    r->setDuration(125.25);
    r->setCategory(QStringLiteral("Interviews"));
    r->setLocationString(QStringLiteral("Malmö M 211 19 SE"));
    r->setQuality(QStringLiteral("MQ"));
    r->setChannels(2);
    r->setLastPlayTime(12.5f);
    r->setHideFromWebSharing(true);
    app->recordings()[0]->setDate(QDateTime(QDate(2009, 4, 15), QTime(9, 30, 12, 250)));
    app->mutableCategories()[1]->setName(QStringLiteral("Geschäft"));
    app->persist();

    auto reloaded = start();
    ASSERT_EQ(reloaded->recordings().size(), 1);
    const auto& d = *reloaded->recordings()[0];
    EXPECT_EQ(d.filename(), r->filename());
    EXPECT_EQ(d.name(), r->name());
    EXPECT_EQ(d.date(), r->date());
    EXPECT_EQ(d.duration(), 125.25);
    EXPECT_EQ(d.category(), "Interviews");
    EXPECT_FALSE(d.location());
    EXPECT_EQ(d.locationString(), r->locationString());
    EXPECT_EQ(d.quality(), "MQ");
    EXPECT_EQ(d.channels(), 2);
    EXPECT_EQ(d.lastPlayTime(), 12.5f);
    EXPECT_TRUE(d.hideFromWebSharing());
    EXPECT_EQ(reloaded->categories()[1]->name(), "Geschäft");
}

TEST_F(Archives, WrittenFilesHaveTheKeyedArchiveShape)
{
    // Read back by an independent reader: Python's plistlib.
    auto app = start();
    app->addRecording();
    app->persist();
    app->waitForSaves();
    QProcess python;
    python.start("/usr/bin/python3", {"-c", R"(
import plistlib, sys
a = plistlib.load(open(sys.argv[1], 'rb'))
assert a['$archiver'] == 'NSKeyedArchiver' and a['$version'] == 100000, a
o = a['$objects']
assert o[0] == '$null'
root = o[a['$top']['root'].data]
assert o[root['$class'].data]['$classname'] == 'NSMutableArray'
rec = o[root['NS.objects'][0].data]
assert o[rec['$class'].data] == {'$classname': 'Recording', '$classes': ['Recording', 'NSObject']}
keys = [k for k in rec if k != '$class']
assert keys == ['fileName', 'name', 'date', 'duration', 'category', 'location', 'locationString',
                'quality', 'channels', 'playtime', 'hideweb'], keys
assert o[rec['fileName'].data] == 'REC20090415093012.wav'
assert rec['location'].data == 0 and rec['locationString'].data == 0
assert isinstance(rec['duration'], float) and rec['channels'] == 1 and rec['hideweb'] is False
assert o[o[rec['date'].data]['$class'].data]['$classname'] == 'NSDate'
print(o[rec['date'].data]['NS.time'])
)",
                                      docs() + "/recordings.plist"});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    // 2009-04-15 09:30:12 local time, as seconds since 2001-01-01 UTC.
    const double expected = (now.toMSecsSinceEpoch() - 978307200000LL) / 1000.0;
    EXPECT_DOUBLE_EQ(python.readAllStandardOutput().trimmed().toDouble(), expected);
}

TEST_F(Archives, ForeignArchiveLoadsAndKeepsItsLocationObject)
{
    const QString fixtures = sonavell::test::sourceDir() + "/tests/core/fixtures/";
    dir.write("Documents/recordings.plist", readFile(fixtures + "foreign-recordings.plist"));
    dir.write("Documents/categories.plist", readFile(fixtures + "foreign-categories.plist"));
    auto app = start();
    EXPECT_EQ(categoryNames(*app), (QStringList{"*****", "Interviews", "Groceries & Errands"}));
    ASSERT_EQ(app->recordings().size(), 2);
    const auto& first = *app->recordings()[0];
    EXPECT_EQ(first.name(), "Interview mit Jürgen"); // a mutable string entry
    EXPECT_EQ(first.duration(), 125.25);
    EXPECT_EQ(first.quality(), "MQ");
    EXPECT_EQ(first.lastPlayTime(), 12.5f);
    EXPECT_TRUE(first.hideFromWebSharing());
    EXPECT_EQ(first.date().toUTC(),
              QDateTime(QDate(2009, 4, 15), QTime(9, 30, 12), QTimeZone::utc()));
    ASSERT_TRUE(first.location());
    EXPECT_EQ(first.location()->className(), "CLLocation");

    // Older records lack channels, playtime and hideweb: they read as 0, 0 and NO.
    const auto& second = *app->recordings()[1];
    EXPECT_EQ(second.channels(), 0);
    EXPECT_EQ(second.lastPlayTime(), 0.0f);
    EXPECT_FALSE(second.hideFromWebSharing());
    EXPECT_FALSE(second.location());
    EXPECT_TRUE(second.locationString().isNull());
    EXPECT_EQ(second.duration(), 7.0) << "an integer where a real is expected";

    // Written back and read again, the unknown object is the same graph.
    app->persist();
    auto reloaded = start();
    EXPECT_TRUE(
        ArchivedObject::equivalent(reloaded->recordings()[0]->location(), first.location()));
    EXPECT_EQ(reloaded->recordings()[0]->location()->children().size(), 2u); // class and timestamp
}

TEST_F(Archives, LegacyPhotoBecomesAFileAndLeavesTheArchive)
{
    const QString portrait = jpeg(480, 640).toBase64();
    dir.write("Documents/recordings.plist", xmlArchive(uid(2), QStringLiteral(R"(
<dict><key>$class</key>%1<key>fileName</key>%2<key>photo</key><data>%3</data></dict>
<dict><key>$classname</key><string>Recording</string></dict>
<string>REC20090415093012.wav</string>)")
                                                                   .arg(uid(3), uid(4), portrait)));
    auto app = start();
    ASSERT_EQ(app->recordings().size(), 1);
    EXPECT_TRUE(QFile::exists(docs() + "/REC20090415093012.jpg"));
    const QImage thumb = app->recordings()[0]->getPhotoImage(docs());
    EXPECT_EQ(thumb.size(), QSize(120, 121));
    app->persist();
    app->waitForSaves();
    EXPECT_FALSE(readFile(docs() + "/recordings.plist").contains("photo"));
}

TEST_F(Archives, ThumbnailSizes)
{
    Recording r(QStringLiteral("x"), QStringLiteral("20090415093012"), QStringLiteral("*****"));
    EXPECT_TRUE(r.getPhotoImage(docs()).isNull()) << "no photo file";
    dir.write("Documents/REC20090415093012.jpg", "not an image");
    EXPECT_TRUE(r.getPhotoImage(docs()).isNull());
    for (auto [w, h, tw, th] :
         {std::tuple{480, 640, 120, 121}, {640, 480, 120, 90}, {500, 500, 120, 90}}) {
        dir.write("Documents/REC20090415093012.jpg", jpeg(w, h));
        EXPECT_EQ(r.getPhotoImage(docs()).size(), QSize(tw, th)) << w << "x" << h;
    }
    EXPECT_EQ(r.photoFilename(), "REC20090415093012.jpg");
    r.setFilename(QStringLiteral("old.dir/take"));
    EXPECT_EQ(r.photoFilename(), "old.dir/take.jpg");
}

TEST(HostileArchives, DecodeWhatIsSoundAndNeverCrash)
{
    const QString recordingClass =
        QStringLiteral("<dict><key>$classname</key><string>Recording</string></dict>");
    struct Case
    {
        const char* what;
        QByteArray data;
        bool valid;
        int records;
    };
    const QByteArray good = KeyedArchiver::archivedDataWithRootArray({});
    const Case cases[] = {
        {"empty", QByteArray(), false, 0},
        {"truncated", good.left(good.size() / 2), false, 0},
        {"random bytes", QByteArray(4096, '\x7f'), false, 0},
        {"not an archive", "<plist><array/></plist>", false, 0},
        {"root is not an array", xmlArchive("", "").replace("NS.objects", "NS.other"), false, 0},
        {"reference out of range",
         xmlArchive(uid(99) + uid(2),
                    "<dict><key>$class</key>" + uid(3) + "</dict>" + recordingClass),
         true, 1},
        {"element is a plain string", xmlArchive(uid(2), "<string>hello</string>"), true, 0},
        {"wrong class",
         xmlArchive(uid(2), "<dict><key>$class</key>" + uid(3) +
                                "</dict><dict><key>$classname</key><string>NSDate</string></dict>"),
         true, 0},
        {"class reference loops",
         xmlArchive(uid(2), "<dict><key>$class</key>" + uid(2) + "</dict>"), true, 0},
        {"wrong value types",
         xmlArchive(uid(2), "<dict><key>$class</key>" + uid(3) +
                                "<key>name</key><real>3</real><key>date</key><string>x</"
                                "string><key>channels</key><string>2</string>"
                                "<key>duration</key><true/><key>playtime</key><real>1e300</"
                                "real><key>fileName</key>" +
                                uid(2) + "</dict>" + recordingClass),
         true, 1},
    };
    for (const Case& c : cases) {
        KeyedUnarchiver coder(c.data);
        EXPECT_EQ(coder.isValid(), c.valid) << c.what;
        int records = 0;
        coder.decodeRootArray([&](const QString& className) {
            if (className == "Recording") {
                Recording r(coder, QString());
                ++records;
                EXPECT_TRUE(r.name().isNull()) << c.what;
            }
        });
        EXPECT_EQ(records, c.records) << c.what;
    }
}
