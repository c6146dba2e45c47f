// The two generated page documents: the category list and the table of recordings.
#include "SharingTestSupport.h"

#include "sharing/SharingPages.h"

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
