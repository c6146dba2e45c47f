// SPDX-License-Identifier: GPL-3.0-or-later
// The two generated page documents: the category list and the table of recordings.
#include "SharingTestSupport.h"

#include "sharing/SharingPageCache.h"
#include "sharing/SharingPages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <iomanip>
#include <sys/stat.h>
#include <unistd.h>

using sonavell::test::recordingEntry;
using sonavell::test::ScratchDir;

namespace {

const QByteArray kTableStart =
    "<html><body><div id=\"files\">\n<table>\n<caption>%1</caption>\n<tr><th>Track Name:</th>"
    "<th>Recorded:</th><th>Duration:</th><th>Size:</th><th>Category:</th><th>Location:</th>"
    "<th>Quality:</th><th>File Type:</th><th>Channels:</th></tr>\n";
const QByteArray kTableEnd = "</table></div></body></html>\n";

QByteArray tableStart(const QByteArray& caption)
{
    QByteArray start = kTableStart;
    return start.replace("%1", caption);
}

} // namespace

TEST(SharingPages, CategoryListShowsAllAndEncodesLinks)
{
    LibrarySnapshot library;
    library.categories = {QStringLiteral("*****"), QStringLiteral("Business"),
                          QStringLiteral("My Memos"), QStringLiteral("R&D <new>"),
                          QStringLiteral("Büro")};
    EXPECT_EQ(
        SharingPages::categoriesContent(library),
        QByteArray("<html><body><div id=\"categories\"><ul>\n"
                   "<li><a href=\"/Category/All\">All</a></li>\n"
                   "<li><a href=\"/Category/Business\">Business</a></li>\n"
                   "<li><a href=\"/Category/My%20Memos\">My Memos</a></li>\n"
                   "<li><a href=\"/Category/R%26D%20%3Cnew%3E\">R&amp;D &lt;new&gt;</a></li>\n"
                   "<li><a href=\"/Category/B%C3%BCro\">B\xc3\xbcro</a></li>\n"
                   "</ul></div></body></html>\n"));

    EXPECT_EQ(SharingPages::categoriesContent(LibrarySnapshot()),
              QByteArray("<html><body><div id=\"categories\"><ul>\n</ul></div></body></html>\n"));
}

TEST(SharingPages, FileTableRowsFollowLibraryOrderAndFilters)
{
    ScratchDir documents;
    documents.write(QStringLiteral("REC1.wav"), QByteArray(1234, 'x'));
    documents.write(QStringLiteral("REC3.wav"), QByteArray(10, 'x'));
    LibrarySnapshot library;
    auto first = recordingEntry("REC1.wav", "Meeting", "Business", 65.04);
    first.locationString = QStringLiteral("Berlin, Germany");
    auto hidden = recordingEntry("REC2.wav", "Secret", "Business", 1);
    hidden.hideFromWebSharing = true;
    auto filedUnderAll = recordingEntry("REC3.wav", "Idea", "*****", 5);
    auto missing = recordingEntry("REC4.wav", "Gone", "business", 0.26);
    library.recordings = {first, hidden, filedUnderAll, missing};

    const QByteArray firstRow = "<tr><td><a href=\"/Documents/REC1.wav\">Meeting</a></td>\n"
                                "<td>12/6/26, 9:15 PM</td>\n<td>65.0s</td>\n<td>1234</td>\n"
                                "<td>Business</td>\n<td>Berlin, Germany</td>\n<td>HQ</td>\n"
                                "<td>wav</td>\n<td>mono</td>\n</tr>\n";
    const QByteArray thirdRow = "<tr><td><a href=\"/Documents/REC3.wav\">Idea</a></td>\n"
                                "<td>12/6/26, 9:15 PM</td>\n<td>5.0s</td>\n<td>10</td>\n"
                                "<td>All</td>\n<td>unknown</td>\n<td>HQ</td>\n"
                                "<td>wav</td>\n<td>mono</td>\n</tr>\n";
    const QByteArray fourthRow = "<tr><td><a href=\"/Documents/REC4.wav\">Gone</a></td>\n"
                                 "<td>12/6/26, 9:15 PM</td>\n<td>0.3s</td>\n<td>0</td>\n"
                                 "<td>business</td>\n<td>unknown</td>\n<td>HQ</td>\n"
                                 "<td>wav</td>\n<td>mono</td>\n</tr>\n";

    // "All": every recording not hidden, in library order; a missing file shows size 0.
    EXPECT_EQ(SharingPages::filesContent(library, documents.path(), "All"),
              tableStart("All") + firstRow + thirdRow + fourthRow + kTableEnd);
    // Category names match exactly, case included; hidden recordings never show.
    EXPECT_EQ(SharingPages::filesContent(library, documents.path(), "Business"),
              tableStart("Business") + firstRow + kTableEnd);
    EXPECT_EQ(SharingPages::filesContent(library, documents.path(), "Nothing"),
              tableStart("Nothing") + kTableEnd);
    // No category (the index pages): the head only.
    EXPECT_EQ(SharingPages::filesContent(library, documents.path(), QString()),
              tableStart("(no category selected)") + kTableEnd);
}

TEST(SharingPages, UnsafeNamesAreTextAndLinksStayUsable)
{
    LibrarySnapshot library;
    auto script = recordingEntry("<script>alert(1).wav", "<script>alert(1)</script>", "A & B", 1);
    script.locationString = QStringLiteral("\"Quoted\" <place>");
    script.quality = QStringLiteral("<b>HQ</b>");
    auto spaced = recordingEntry("My Memo #1 100%.wav", "Tschüß & <b>", "A & B", 2);
    library.recordings = {script, spaced};

    const QByteArray page =
        SharingPages::filesContent(library, QStringLiteral("/nonexistent"), "A & B");
    EXPECT_FALSE(page.contains("<script>"));
    EXPECT_FALSE(page.contains("<b>"));
    EXPECT_TRUE(page.contains("<caption>A &amp; B</caption>"));
    EXPECT_TRUE(page.contains("<a href=\"/Documents/%3Cscript%3Ealert%281%29.wav\">"
                              "&lt;script&gt;alert(1)&lt;/script&gt;</a>"));
    EXPECT_TRUE(page.contains("<td>&quot;Quoted&quot; &lt;place&gt;</td>"));
    EXPECT_TRUE(page.contains("<td>&lt;b&gt;HQ&lt;/b&gt;</td>"));
    EXPECT_TRUE(page.contains("<a href=\"/Documents/My%20Memo%20%231%20100%25.wav\">"
                              "Tsch\xc3\xbc\xc3\x9f &amp; &lt;b&gt;</a>"));
}

namespace {

// The pages as the first version of the server wrote them, through Qt's escaping and encoding
// and one file-size lookup per row. The faster writer must give the very same bytes.
QString referenceEncodedPath(const QString& path)
{
    QStringList segments = path.split(QLatin1Char('/'));
    for (QString& segment : segments)
        segment = QString::fromLatin1(QUrl::toPercentEncoding(segment));
    return segments.join(QLatin1Char('/'));
}

QString referenceShown(const QString& name)
{
    return name == QLatin1String("*****") ? QStringLiteral("All") : name;
}

QByteArray referencePage(const LibrarySnapshot& library, const QString& documentsPath,
                         const QString& category)
{
    QString html = QStringLiteral("<html><body><div id=\"categories\"><ul>\n");
    for (const QString& name : library.categories) {
        const QString shown = referenceShown(name);
        html += QStringLiteral("<li><a href=\"/Category/%1\">%2</a></li>\n")
                    .arg(referenceEncodedPath(shown), shown.toHtmlEscaped());
    }
    html += QStringLiteral("</ul></div></body></html>\n");
    html += QStringLiteral("<html><body><div id=\"files\">\n<table>\n<caption>%1</caption>\n<tr>"
                           "<th>Track Name:</th><th>Recorded:</th><th>Duration:</th><th>Size:</th>"
                           "<th>Category:</th><th>Location:</th><th>Quality:</th><th>File Type:"
                           "</th><th>Channels:</th></tr>\n")
                .arg((category.isNull() ? QStringLiteral("(no category selected)") : category)
                         .toHtmlEscaped());
    if (!category.isNull()) {
        for (const auto& r : library.recordings) {
            if (r.hideFromWebSharing || (category != "All" && r.category != category))
                continue;
            const qint64 size = QFileInfo(documentsPath + QLatin1Char('/') + r.filename).size();
            html += "<tr><td><a href=\"/Documents/" + referenceEncodedPath(r.filename) + "\">" +
                    r.name.toHtmlEscaped() + "</a></td>\n<td>" + r.dateText.toHtmlEscaped() +
                    "</td>\n<td>" + QString::asprintf("%0.1fs", r.duration) + "</td>\n<td>" +
                    QString::number(size) + "</td>\n<td>" +
                    referenceShown(r.category).toHtmlEscaped() + "</td>\n<td>" +
                    (r.locationString.isNull() ? QStringLiteral("unknown")
                                               : r.locationString.toHtmlEscaped()) +
                    "</td>\n<td>" + r.quality.toHtmlEscaped() +
                    "</td>\n<td>wav</td>\n<td>mono</td>\n</tr>\n";
        }
    }
    html += QStringLiteral("</table></div></body></html>\n");
    return html.toUtf8();
}

} // namespace

TEST(SharingPages, BytesAreThoseOfTheFirstWriterWithSizesFromTheSnapshotOrTheDisk)
{
    ScratchDir documents;
    LibrarySnapshot library;
    library.categories = {"*****", "Business", "My Memos", "R&D <new>", "Büro", "日本語 \"q\""};
    const QStringList names = {"Plain memo",   "Tschüß & <b>", "a\"b'c", "emoji \xF0\x9F\x8E\xA4",
                               "100% sure #1", "~tilde_-.",    ""};
    const QStringList files = {"REC1.wav",   "sub/dir/REC2.wav", "My Memo #1 100%.wav",
                               "Büro/ß.wav", "x?y=z&w.wav",      "a+b c.wav",
                               "~_-..wav"};
    // Durations on both sides of the rounding of one decimal, ties included.
    const double durations[] = {0,   0.05,  0.25,  0.26,    0.35,       0.45,   1.25,
                                2.5, 65.04, 99.95, 3599.99, 1e6 + 0.05, 123.456};
    int i = 0;
    for (const double duration : durations) {
        for (int k = 0; k < 7; ++k, ++i) {
            auto e = recordingEntry(QStringLiteral("%1-%2").arg(i).arg(files[k]), names[k],
                                    library.categories[(i + k) % 6], duration);
            if (i % 3 == 0)
                e.locationString = names[(k + 1) % 7];
            if (i % 11 == 0)
                e.hideFromWebSharing = true;
            e.quality = i % 4 ? QStringLiteral("HQ") : QStringLiteral("<LQ>");
            if (i % 2)
                documents.write(e.filename, QByteArray(i * 13, 'x'));
            library.recordings.push_back(e);
        }
    }
    for (const QString& category :
         {QString(), QStringLiteral("All"), QStringLiteral("Business"), QStringLiteral("Büro"),
          QStringLiteral("日本語 \"q\""), QStringLiteral("R&D <new>"), QStringLiteral("none")}) {
        const QByteArray expected = referencePage(library, documents.path(), category);
        // Sizes measured from the disk (a snapshot made without them)...
        EXPECT_EQ(SharingPages::categoriesContent(library) +
                      SharingPages::filesContent(library, documents.path(), category),
                  expected)
            << category.toStdString();
        // ...and carried in the snapshot, as the application's snapshots do.
        LibrarySnapshot sized = library;
        for (size_t i = 0; i < sized.recordings.size(); ++i)
            sized.recordings[i].fileSize =
                QFileInfo(documents.path() + "/" + sized.recordings[i].filename).size();
        ASSERT_EQ(library.recordings.front().fileSize, -1) << "the copy's changes stay its own";
        EXPECT_EQ(SharingPages::categoriesContent(sized) +
                      SharingPages::filesContent(sized, QStringLiteral("/nonexistent"), category),
                  expected)
            << category.toStdString();
    }
}

TEST(SharingPages, TheCacheKeepsPagesPerSnapshotVersionOnly)
{
    ScratchDir documents;
    LibrarySnapshot library;
    library.categories = {"*****", "Ideas"};
    library.recordings = {recordingEntry("REC1.wav", "One", "Ideas", 1)};
    library.recordings[0].fileSize = 10;
    library.version = 7;
    SharingPageCache cache;
    auto page = [&](const QString& category) {
        return cache.documents(library, documents.path(), category);
    };
    const QByteArray first = page("All");
    EXPECT_EQ(first, SharingPages::categoriesContent(library) +
                         SharingPages::filesContent(library, documents.path(), "All"));
    EXPECT_NE(page(QString()), page(QStringLiteral("")));

    // The same version is taken from the cache even if the snapshot were (wrongly) changed...
    library.recordings[0].name = QStringLiteral("Two");
    EXPECT_EQ(page("All"), first);
    // ...a new version is built anew, and a hand-made snapshot (version 0) every time.
    library.version = 8;
    EXPECT_TRUE(page("All").contains(">Two</a>"));
    library.version = 0;
    library.recordings[0].name = QStringLiteral("Three");
    EXPECT_TRUE(page("All").contains(">Three</a>"));

    // With a head, the page is handed out as one shared buffer while the head stays the same.
    library.version = 9;
    const QByteArray head = "<p>head</p>\n";
    const QByteArray headed = cache.page(library, documents.path(), "All", head);
    EXPECT_EQ(headed, head + page("All"));
    EXPECT_TRUE(headed.isSharedWith(cache.page(library, documents.path(), "All", head)));
    EXPECT_EQ(cache.page(library, documents.path(), "All", "<p>new</p>"),
              "<p>new</p>" + page("All"));

    // Made-up categories cannot make it grow without end.
    library.version = 9;
    for (int i = 0; i < 3 * SharingPageCache::kMaxEntries; ++i)
        EXPECT_TRUE(page(QStringLiteral("c%1").arg(i))
                        .contains(QStringLiteral("<caption>c%1<").arg(i).toUtf8()));
}

namespace {

// A name as the first writer escaped it: through Qt's HTML escaping, then UTF-8.
QByteArray referenceEscaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

// The one recording's row of the "All" table, from the name to the closing tag of its link.
QByteArray shownName(const QString& name)
{
    LibrarySnapshot library;
    library.recordings = {recordingEntry("a.wav", name, "Ideas")};
    library.recordings[0].fileSize = 1;
    const QByteArray table = SharingPages::filesContent(library, QString(), "All");
    const QByteArray start = "<a href=\"/Documents/a.wav\">";
    const qsizetype from = table.indexOf(start) + start.size();
    return table.mid(from, table.indexOf("</a></td>", from) - from);
}

} // namespace

// &, <, > and " become the entities QString::toHtmlEscaped writes and ' stays as it is, wherever
// they stand in a name: in short names and long ones (which are copied in runs), beside letters
// that are not ASCII, and after characters that do not pair up as UTF-16.
TEST(SharingPages, NamesAreEscapedAsQtEscapesThem)
{
    EXPECT_EQ(shownName(QStringLiteral("Tom & Jerry's <\"best\"> take")),
              QByteArray("Tom &amp; Jerry's &lt;&quot;best&quot;&gt; take"));
    EXPECT_EQ(shownName(QStringLiteral("'")), QByteArray("'"));
    EXPECT_EQ(shownName(QStringLiteral("&&<<>>\"\"''")),
              QByteArray("&amp;&amp;&lt;&lt;&gt;&gt;&quot;&quot;''"));

    const QString specials = QStringLiteral("&<>\"'");
    const QString others[] = {QStringLiteral("a"),      QStringLiteral("\u00fc"),
                              QStringLiteral("\u65e5"), QStringLiteral("\U0001F3A4"),
                              QString(QChar(0xd800)),   QString(QChar(0xdc00)),
                              QString(QChar(0)),        QStringLiteral("~")};
    // Every special character at every place of names of 1 to 20 characters.
    for (int length = 1; length <= 20; ++length) {
        for (int at = 0; at < length; ++at) {
            for (const QChar special : specials) {
                for (const QString& other : others) {
                    QString name;
                    for (int i = 0; i < length; ++i)
                        name += i == at ? QString(special) : (i % 3 ? QStringLiteral("m") : other);
                    ASSERT_EQ(shownName(name), referenceEscaped(name))
                        << name.toStdString() << " (length " << length << ", at " << at << ")";
                }
            }
        }
    }
    // A lone surrogate at the end, a pair split by a special character, one in reverse order.
    for (const QString& name :
         {QStringLiteral("abcdefghij") + QChar(0xd83c),
          QString(QChar(0xd83c)) + QStringLiteral("&") + QChar(0xdfa4),
          QString(QChar(0xdfa4)) + QChar(0xd83c) + QStringLiteral("xxxxxxxxxx")})
        EXPECT_EQ(shownName(name), referenceEscaped(name));
}

// Link targets are encoded as QUrl encodes each path segment, long names and short alike.
TEST(SharingPages, LinksAreEncodedAsQtEncodesThem)
{
    const QStringList names = {
        QStringLiteral("REC20260101000000.wav"),
        QStringLiteral("a-b.c_d~e/f/g0123456789.wav"),
        QStringLiteral("My Memo #1 100%.wav"),
        QStringLiteral("Z\u00fcrich/\u65e5\u672c.wav"),
        QStringLiteral("abcdefgh\U0001F3A4ijklmnop.wav"),
        QStringLiteral("abcdefg") + QChar(0xd800) + QStringLiteral("hijklmnop"),
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz`@[{^|}]:;<=>?"),
        QStringLiteral("//lead and trail//")};
    for (const QString& file : names) {
        LibrarySnapshot library;
        library.recordings = {recordingEntry(file, "n", "Ideas")};
        library.recordings[0].fileSize = 1;
        const QByteArray expected =
            "<a href=\"/Documents/" + referenceEncodedPath(file).toUtf8() + "\">";
        EXPECT_TRUE(SharingPages::filesContent(library, QString(), "All").contains(expected))
            << file.toStdString();
    }
}

// Durations are written as QByteArray::number(seconds, 'f', 1) writes them: to the nearest
// tenth of the exact value, a value exactly halfway rounded up.
TEST(SharingPages, DurationsAreRoundedAsQtRoundsThem)
{
    std::vector<double> values = {0,
                                  0.04999999,
                                  0.05,
                                  0.0500001,
                                  0.15,
                                  0.25,
                                  0.35,
                                  0.45,
                                  0.75,
                                  1.25,
                                  2.5,
                                  1e14 + 0.25,
                                  999999999999999.9,
                                  1e15 - 0.25,
                                  1e15,
                                  1e16,
                                  123456789.05,
                                  5e-324,
                                  1e-300};
    for (int k = 0; k < 40000; ++k) {
        values.push_back(k / 100.0);
        values.push_back(k / 4.0 + 0.125 * (k % 2));
        values.push_back(k * 0.37);
        values.push_back(std::nextafter(k / 20.0, 0.0));
        values.push_back(std::nextafter(k / 20.0, 1e9));
    }
    for (double scale = 1; scale < 1e15; scale *= 7.3)
        values.push_back(scale * 0.123456789);
    LibrarySnapshot library;
    for (const double value : values) {
        library.recordings.push_back(recordingEntry("a.wav", "n", "Ideas", value));
        library.recordings.back().fileSize = 1;
    }
    const QByteArray table = SharingPages::filesContent(library, QString(), "All");
    qsizetype at = 0;
    for (const double value : values) {
        at = table.indexOf("</td>\n<td>", table.indexOf("</a></td>\n<td>", at) + 14) + 10;
        const qsizetype end = table.indexOf("</td>", at);
        ASSERT_EQ(table.mid(at, end - at), QByteArray::number(value, 'f', 1) + 's')
            << std::setprecision(17) << value;
    }
}

// The page in one buffer is the head and the two documents one after the other.
TEST(SharingPages, ThePageIsTheHeadAndBothDocuments)
{
    LibrarySnapshot library;
    library.categories = {"*****", "R&D <new>"};
    library.recordings = {recordingEntry("REC1.wav", "Tom & Jerry's", "R&D <new>", 2.25)};
    for (const QString& category : {QString(), QStringLiteral("All"), QStringLiteral("R&D <new>")})
        EXPECT_EQ(
            SharingPages::page("<p>head</p>\n", library, QStringLiteral("/nonexistent"), category),
            "<p>head</p>\n" + SharingPages::categoriesContent(library) +
                SharingPages::filesContent(library, QStringLiteral("/nonexistent"), category));
    // Large enough that the buffer has to grow past its first guess.
    library.categories.clear();
    for (int i = 0; i < 200; ++i)
        library.categories.push_back(QStringLiteral("&\"<>").repeated(40) + QString::number(i));
    library.recordings.clear();
    for (int i = 0; i < 300; ++i)
        library.recordings.push_back(recordingEntry(QStringLiteral("\u65e5").repeated(30) + ".wav",
                                                    QStringLiteral("\"").repeated(300), "Ideas"));
    EXPECT_EQ(SharingPages::page("head", library, QString(), "All"),
              "head" + SharingPages::categoriesContent(library) +
                  SharingPages::filesContent(library, QString(), "All"));
}

// A kept page is also handed out as a file of its own, in the file folder or in memory, with the
// very bytes of the page; a snapshot made by hand has none.
TEST(SharingPages, TheCacheHandsOutAKeptPageAsAFile)
{
    ScratchDir folder;
    LibrarySnapshot library;
    library.categories = {"*****", "Ideas"};
    library.recordings = {recordingEntry("REC1.wav", "One & two", "Ideas", 1)};
    library.recordings[0].fileSize = 10;
    const QByteArray head = "<p>head</p>\n";
    const QByteArray page = SharingPages::page(head, library, QString(), "All");
    for (const bool inFolder : {true, false}) {
        SharingPageCache cache;
        if (inFolder)
            cache.setFileFolder(folder.file("pages"));
        library.version = inFolder ? 3 : 4;
        // Each answer gets a device of its own on the one file, read by offset.
        const auto file = cache.pageFile(library, QString(), "All", head);
        const auto again = cache.pageFile(library, QString(), "All", head);
        ASSERT_TRUE(file && again);
        EXPECT_NE(file->handle(), again->handle());
        for (const auto* device : {file.get(), again.get()}) {
            QByteArray bytes(page.size(), '\0');
            EXPECT_EQ(::pread(device->handle(), bytes.data(), size_t(bytes.size()), 0),
                      page.size());
            EXPECT_EQ(bytes, page);
            EXPECT_EQ(device->size(), page.size());
        }
        EXPECT_EQ(cache.page(library, QString(), "All", head), page);
        // The file has no name in the folder.
        if (inFolder) {
            EXPECT_TRUE(QDir(folder.file("pages"))
                            .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                     QDir::System));
        }
        library.version = 0;
        EXPECT_EQ(cache.pageFile(library, QString(), "All", head), nullptr);
    }
}

// The head file is read again only when it changed: a file left alone is the same shared buffer
// every time; a new modification time, size or file (even of the same size) is read again, and
// so is a file changed just now, whose change may not show in its modification time.
TEST(SharingPages, TheCacheReadsAHeadFileAgainOnlyWhenItChanged)
{
    ScratchDir web;
    const QString path = web.file("index.html");
    const auto writeWithTime = [&](const QByteArray& bytes, qint64 secondsAgo) {
        web.write("index.html", bytes);
        const qint64 when = QDateTime::currentSecsSinceEpoch() - secondsAgo;
        const timespec times[2] = {{time_t(when), 0}, {time_t(when), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    };
    SharingPageCache cache;
    writeWithTime("<p>one</p>\n", 100);
    const QByteArray first = cache.headFile(path);
    EXPECT_EQ(first, "<p>one</p>\n");
    EXPECT_EQ(cache.headFileReads(), 1);
    // Its change time is the moment of the write: it is read until it has settled.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(cache.headFile(path), "<p>one</p>\n");
    const int readsBeforeSettled = cache.headFileReads();

    SharingPageCache settled;
    QThread::sleep(SharingPageCache::kSettleSeconds + 1);
    const QByteArray kept = settled.headFile(path);
    EXPECT_TRUE(settled.headFile(path).isSharedWith(kept));
    EXPECT_EQ(settled.headFileReads(), 1);
    EXPECT_GE(readsBeforeSettled, 4);

    // Changed to bytes of the same length, with another time that is just as old: read again.
    writeWithTime("<p>two</p>\n", 90);
    EXPECT_EQ(settled.headFile(path), "<p>two</p>\n");
    // Replaced by another file, then gone.
    web.write("other.html", "<p>three</p>\n");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(web.file("other.html"), path));
    EXPECT_EQ(settled.headFile(path), "<p>three</p>\n");
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(settled.headFile(path).isEmpty());
    EXPECT_TRUE(settled.headFile(web.path()).isEmpty()) << "a folder is no head";
}
