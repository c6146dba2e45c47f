// The two generated page documents: the category list and the table of recordings.
#include "SharingTestSupport.h"

#include "sharing/SharingPageCache.h"
#include "sharing/SharingPages.h"

#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

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
