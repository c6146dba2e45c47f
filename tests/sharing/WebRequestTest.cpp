// SPDX-License-Identifier: GPL-3.0-or-later
// Answers to single requests, worked out with no socket: routes, exact answers, files by path,
// percent decoding and byte ranges.
#include "SharingTestSupport.h"

#include "sharing/SharingPageCache.h"
#include "sharing/SharingPages.h"
#include "sharing/WebRequest.h"

#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace sonavell::test;

namespace {

const QByteArray kBadRequest = "HTTP/1.1 400 Bad Request\r\n\r\n";
const QByteArray kNotFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 54\r\n"
                             "Content-Type: text/html\r\nConnection: close\r\n\r\n"
                             "<html><body><h1>Item was not found!</h1></body></html>";
const QByteArray kIndexHead = "<html><head><title>t</title></head><body>head</body></html>\n";

class WebRequestTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        web.write(QStringLiteral("index.html"), kIndexHead);
        web.write(QStringLiteral("myindex.html"), "<p>my head</p>\n");
        web.write(QStringLiteral("logo.png"), "PNGDATA");
        documents.write(QStringLiteral("a.wav"), patterned(3000));
        documents.write(QStringLiteral("x.WAV"), "upper");
        documents.write(QStringLiteral("hidden.wav"), "hidden bytes");
        documents.write(QStringLiteral("notes.txt"), "not a recording");
        documents.write(QStringLiteral("sub/inner.wav"), "inner");
        documents.write(QStringLiteral("<b>&.wav"), "odd name");
        library->categories = {QStringLiteral("*****"), QStringLiteral("My Memos"),
                               QStringLiteral("Küche")};
        library->recordings = {recordingEntry("a.wav", "First", "My Memos"),
                               recordingEntry("x.WAV", "Grüße", "Küche"),
                               recordingEntry("hidden.wav", "Hidden", "My Memos")};
        library->recordings.back().hideFromWebSharing = true;
    }

    // The bytes a connection sends for the answer: head, body, then the file's stretch.
    QByteArray serveFrom(const QString& documentsPath, const QString& webPath,
                         const QByteArray& request) const
    {
        HttpConnection::Answer answer = WebRequest(library, documentsPath, webPath).answer(request);
        QByteArray bytes = answer.head + answer.body;
        if (answer.file && answer.file->seek(answer.fileOffset))
            bytes += answer.file->read(answer.fileLength);
        return bytes;
    }
    QByteArray serve(const QByteArray& request) const
    {
        return serveFrom(documents.path(), web.path(), request);
    }
    QByteArray get(const QByteArray& target) const
    {
        return serve("GET " + target + " HTTP/1.1\r\n\r\n");
    }
    QByteArray generated(const QString& category) const
    {
        return SharingPages::categoriesContent(*library) +
               SharingPages::filesContent(*library, documents.path(), category);
    }

    ScratchDir web;
    ScratchDir documents;
    std::shared_ptr<LibrarySnapshot> library = std::make_shared<LibrarySnapshot>();
};

} // namespace

TEST_F(WebRequestTest, IndexRoutesSendHeadFileAndGeneratedDocuments)
{
    const QByteArray page = kIndexHead + generated(QString());
    EXPECT_EQ(serve("GET / HTTP/1.1\r\nHost: x\r\n\r\n"), pageHead(page.size()) + page);
    EXPECT_EQ(serve("GET /index.html HTTP/1.0\r\n\r\n"), pageHead(page.size()) + page);
    const QByteArray mine = "<p>my head</p>\n" + generated(QString());
    EXPECT_EQ(get("/myindex.html"), pageHead(mine.size()) + mine);
    // A head file that does not exist leaves the generated documents alone.
    EXPECT_EQ(get("/yourindex.html"), pageHead(generated(QString()).size()) + generated({}));
    // Bare line feeds with no header line: the request line still has three parts.
    EXPECT_EQ(serve("GET / HTTP/1.0\n\n"), pageHead(page.size()) + page);
    // Without a web folder pages have no head and nothing is read from outside it.
    EXPECT_EQ(serveFrom(documents.path(), QString(), "GET / HTTP/1.1\r\n\r\n"),
              pageHead(generated({}).size()) + generated({}));
    EXPECT_EQ(serveFrom(documents.path(), QString(), "GET /etc/hostname HTTP/1.1\r\n\r\n"),
              kNotFound);
}

// With the server's page cache, a page is sent from the kept page's file, and a head file that
// changes is picked up by the next request.
TEST_F(WebRequestTest, ACachedPageFollowsItsHeadFile)
{
    SharingPageCache cache;
    library->version = 5;
    const auto served = [&] {
        HttpConnection::Answer answer = WebRequest(library, documents.path(), web.path(), &cache)
                                            .answer("GET /Category/All HTTP/1.1\r\n\r\n");
        QByteArray bytes = answer.head + answer.body;
        if (answer.file && answer.file->seek(answer.fileOffset))
            bytes += answer.file->read(answer.fileLength);
        return bytes;
    };
    const QByteArray page = kIndexHead + generated(QStringLiteral("All"));
    EXPECT_EQ(served(), pageHead(page.size()) + page);
    web.write(QStringLiteral("index.html"), "<p>a new head</p>\n");
    const QByteArray changed = "<p>a new head</p>\n" + generated(QStringLiteral("All"));
    EXPECT_EQ(served(), pageHead(changed.size()) + changed);
    EXPECT_EQ(served(), pageHead(changed.size()) + changed);
}

TEST_F(WebRequestTest, CategoryPagesCountUtf8BytesAndDecodeNames)
{
    const QByteArray allBody = kIndexHead + generated(QStringLiteral("All"));
    EXPECT_EQ(get("/Category/All"), pageHead(allBody.size()) + allBody);
    // Content-Length counts bytes, not characters.
    EXPECT_NE(allBody.size(), QString::fromUtf8(allBody).size());

    const QByteArray memos = get("/Category/My%20Memos");
    EXPECT_TRUE(memos.contains("<caption>My Memos</caption>"));
    EXPECT_TRUE(memos.contains(">First<"));
    const QByteArray kitchen = get("/Category/K%C3%BCche");
    EXPECT_TRUE(kitchen.contains(">Gr\xc3\xbc\xc3\x9f"
                                 "e<"));
    EXPECT_FALSE(kitchen.contains(">First<"));
}

TEST_F(WebRequestTest, MalformedRequestsAndUnknownPaths)
{
    for (const QByteArray& request :
         {QByteArray("POST / HTTP/1.1\r\n\r\n"), QByteArray("GET /\r\n\r\n"),
          QByteArray("GET / HTTP/1.1 x\r\n\r\n"), QByteArray("get / HTTP/1.1\r\n\r\n"),
          QByteArray("GET / FTP/1.0\r\n\r\n"), QByteArray("GET /\xff\xfe HTTP/1.1\r\n\r\n"),
          QByteArray("GET / HTTP/1.0\nHost: a\n\n")})
        EXPECT_EQ(serve(request), kBadRequest) << request.toStdString();
    // Missing files, folders, and targets whose escapes are malformed, not UTF-8 or NUL.
    for (const QByteArray& target :
         {QByteArray("/?a=1"), QByteArray("/Documents/missing.wav"), QByteArray("/Documents"),
          QByteArray("/Documents/"), QByteArray("/Documents/sub"), QByteArray("/Category"),
          QByteArray("/Documents/%FF.wav"), QByteArray("/Documents/a%2"),
          QByteArray("/Documents/a%00.wav"), QByteArray(""), QByteArray("/nothing.gif")})
        EXPECT_EQ(get(target), kNotFound) << target.toStdString();
    // Without a documents folder there are no documents.
    EXPECT_EQ(serveFrom(QString(), web.path(), "GET /Documents/a.wav HTTP/1.1\r\n\r\n"), kNotFound);
}

TEST_F(WebRequestTest, FilesAreServedWithTypesByExtension)
{
    const QByteArray wav = patterned(3000);
    // ".." components are dropped, not followed.
    EXPECT_EQ(get("/../Documents/a.wav"), fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(get("/Documents/../../a.wav"), fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(get("/Documents/x.WAV"), fileHead(5, "text/plain") + "upper");
    // Any file of the documents folder, hidden recordings too.
    EXPECT_EQ(get("/Documents/hidden.wav"), fileHead(12, "audio/wav") + "hidden bytes");
    EXPECT_EQ(get("/Documents/notes.txt"), fileHead(15, "text/plain") + "not a recording");
    EXPECT_EQ(get("//Documents//sub/inner.wav/"), fileHead(5, "audio/wav") + "inner");
    // The link the page gives an awkward name leads to its file.
    EXPECT_EQ(get("/Documents/%3Cb%3E%26.wav"), fileHead(8, "audio/wav") + "odd name");
    // Everything else comes from the web folder.
    EXPECT_EQ(get("/logo.png"), fileHead(7, "image/png") + "PNGDATA");
}

TEST_F(WebRequestTest, RangesServeSlicesOfFiles)
{
    const QByteArray wav = patterned(3000);
    auto partialHead = [](qint64 first, qint64 last) {
        return "HTTP/1.1 206 Partial Content\r\nContent-Length: " +
               QByteArray::number(last - first + 1) +
               "\r\nContent-Type: audio/wav\r\nContent-Range: bytes " + QByteArray::number(first) +
               "-" + QByteArray::number(last) +
               "/3000\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n";
    };
    auto ranged = [this](const QByteArray& range) {
        return serve("GET /Documents/a.wav HTTP/1.1\r\nHost: x\r\nRange: " + range + "\r\n\r\n");
    };
    EXPECT_EQ(ranged("bytes=0-99"), partialHead(0, 99) + wav.left(100));
    EXPECT_EQ(ranged("bytes=2990-"), partialHead(2990, 2999) + wav.mid(2990));
    EXPECT_EQ(ranged("bytes=-10"), partialHead(2990, 2999) + wav.mid(2990));
    EXPECT_EQ(ranged("bytes=-5000"), partialHead(0, 2999) + wav);
    EXPECT_EQ(ranged("bytes=100-999999"), partialHead(100, 2999) + wav.mid(100));
    const QByteArray unsatisfiable = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n"
                                     "Content-Range: bytes */3000\r\nAccept-Ranges: bytes\r\n"
                                     "Connection: close\r\n\r\n";
    EXPECT_EQ(ranged("bytes=3000-"), unsatisfiable);
    EXPECT_EQ(ranged("bytes=-0"), unsatisfiable);
    // Several ranges or nonsense: the whole file, as without the header.
    EXPECT_EQ(ranged("bytes=0-1,5-6"), fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(ranged("bytes=9-2"), fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(ranged("lines=1-2"), fileHead(3000, "audio/wav") + wav);
}

TEST_F(WebRequestTest, OnlyRegularFilesInsideTheirFolderAreServed)
{
    ScratchDir outside;
    outside.write(QStringLiteral("passwd"), "root:x:0:0");
    ASSERT_TRUE(QFile::link(outside.file("passwd"), documents.file("passwd.wav")));
    ASSERT_TRUE(QFile::link(outside.path(), documents.file("up")));
    ASSERT_TRUE(QFile::link(outside.file("passwd"), web.file("style.css")));
    ASSERT_TRUE(QFile::link(outside.file("passwd"), web.file("evil-index.html")));
    ASSERT_TRUE(QFile::link(documents.file("a.wav"), documents.file("alias.wav")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(documents.file("x.wav")).constData(), 0600), 0);
    for (const QByteArray& target :
         {QByteArray("/Documents/passwd.wav"), QByteArray("/Documents/up/passwd"),
          QByteArray("/style.css"), QByteArray("/Documents/x.wav")})
        EXPECT_EQ(get(target), kNotFound) << target.toStdString();
    EXPECT_FALSE(get("/evil-index.html").contains("root:")) << "a linked head file is left out";
    EXPECT_EQ(get("/Documents/alias.wav"), fileHead(3000, "audio/wav") + patterned(3000))
        << "a link that stays inside is fine";
}

TEST_F(WebRequestTest, AHeadOverEightKibibytesIsABadRequest)
{
    const QByteArray line = "GET /Documents/notes.txt HTTP/1.1\r\n";
    const QByteArray served = fileHead(15, "text/plain") + "not a recording";
    auto withHeader = [&](qsizetype headSize) {
        const qsizetype filler = headSize - line.size() - 4 - 4; // "X: " and two line ends
        return line + "X: " + QByteArray(filler + 1, 'x') + "\r\n\r\n";
    };
    EXPECT_EQ(withHeader(8192).size(), 8192);
    EXPECT_EQ(serve(withHeader(8192)), served);
    EXPECT_EQ(serve(withHeader(8193)), kBadRequest);
    EXPECT_EQ(serve(line + QByteArray(9000, 'x')), kBadRequest) << "no end of head at all";
}
