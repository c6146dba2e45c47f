// SPDX-License-Identifier: GPL-3.0-or-later
// The uploader against a stand-in upload server: the exact requests, their order and sizes, the
// progress it reports, and every way an upload can fail reaching the error outcome.
#include "FakeUploadServer.h"
#include "SharingTestSupport.h"

#include "sharing/Uploader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sonavell::test;

namespace {

struct Outcome
{
    std::vector<float> progress;
    int done = 0;
    int errors = 0;
    std::unique_ptr<Uploader> uploader;
};

// Uploads `bytes` (as REC1.wav) to the server and waits for the outcome and the final progress.
std::unique_ptr<Outcome> upload(FakeUploadServer& server, const ScratchDir& dir,
                                const QByteArray& bytes, int timeoutMs = 5000,
                                const QString& file = QStringLiteral("REC1.wav"))
{
    dir.write(file, bytes);
    auto run = std::make_unique<Outcome>();
    Outcome* r = run.get();
    r->uploader = std::make_unique<Uploader>(
        QUrl(server.url()), dir.file(file), [r](float p) { r->progress.push_back(p); },
        [r](Uploader*) { ++r->done; }, [r](Uploader*) { ++r->errors; }, nullptr,
        QStringLiteral("to@example.org"), QStringLiteral("from@example.org"),
        QStringLiteral("Subject"), QStringLiteral("Text"), timeoutMs);
    waitFor([r] { return r->done + r->errors > 0; }, 30000);
    pumpEvents(50);
    return run;
}

QByteArray uploadedPart(const QByteArray& body)
{
    const QByteArray start = "Content-Type: application/octet-stream\r\n\r\n";
    const qsizetype from = body.indexOf(start) + start.size();
    const qsizetype to = body.lastIndexOf(
        "\r\n--0xKhTmLbOuNdArY\r\nContent-Disposition: form-data; name=\"fileName\"");
    return body.mid(from, to - from);
}

} // namespace

TEST(Uploader, RequestsAreExactlyTheProtocolsBytes)
{
    FakeUploadServer server;
    ScratchDir dir;
    auto run = upload(server, dir, "RIFF\x01\x02", 5000, QStringLiteral("REC20261208.wav"));
    ASSERT_EQ(run->done, 1);
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].path, "/snv/uploadRandomName.php");

    const auto& part = server.requests()[1];
    EXPECT_EQ(part.method, "POST");
    EXPECT_EQ(part.path, "/snv/uploadParts.php");
    EXPECT_EQ(part.headers.value("content-type"), "multipart/form-data; boundary=0xKhTmLbOuNdArY");
    EXPECT_EQ(part.body, QByteArray("--0xKhTmLbOuNdArY\r\n"
                                    "Content-Disposition: form-data; name=\"uploadedFile\"; "
                                    "filename=\"REC20261208.wav\"\r\n"
                                    "Content-Type: application/octet-stream\r\n\r\n"
                                    "RIFF\x01\x02"
                                    "\r\n--0xKhTmLbOuNdArY\r\n"
                                    "Content-Disposition: form-data; name=\"fileName\"\r\n\r\n"
                                    "abcwav\r\n--0xKhTmLbOuNdArY--\r\n"));

    const auto& mail = server.requests()[2];
    EXPECT_EQ(mail.path, "/snv/uploadEmail.php");
    EXPECT_EQ(mail.headers.value("content-type"), "multipart/form-data; boundary=0xKhTmLbOuNdArY");
    EXPECT_EQ(
        mail.body,
        QByteArray("--0xKhTmLbOuNdArY\r\n"
                   "Content-Disposition: form-data; name=\"fileName\"\r\n\r\nabcwav\r\n"
                   "--0xKhTmLbOuNdArY\r\n"
                   "Content-Disposition: form-data; name=\"mailTo\"\r\n\r\nto@example.org\r\n"
                   "--0xKhTmLbOuNdArY\r\n"
                   "Content-Disposition: form-data; name=\"mailFrom\"\r\n\r\nfrom@example.org\r\n"
                   "--0xKhTmLbOuNdArY\r\n"
                   "Content-Disposition: form-data; name=\"mailText\"\r\n\r\nText\r\n"
                   "--0xKhTmLbOuNdArY\r\n"
                   "Content-Disposition: form-data; name=\"mailSubject\"\r\n\r\nSubject\r\n"
                   "--0xKhTmLbOuNdArY--\r\n"));
    // A file name cannot end its field early.
    EXPECT_TRUE(
        Uploader::partRequestBody("a\"b\r\n.wav", "abc", "x").contains("filename=\"a_b__.wav\""));
    // Text fields travel as UTF-8.
    EXPECT_TRUE(Uploader::emailRequestBody("abc", "to@example.org", "", QStringLiteral("Grüße"), "")
                    .contains("Gr\xC3\xBC\xC3\x9F"
                              "e"));
}

TEST(Uploader, PartsFollowTheFileAndTheMailComesOnceAfterTheLastPartWasAccepted)
{
    struct Case
    {
        qsizetype size;
        std::vector<qsizetype> parts;
        std::vector<float> progress;
    };
    const std::vector<Case> cases{
        {40000, {16384, 16384, 7232}, {0.0f, 0.4096f, 0.8192f, 1.0f, 0.0f}},
        {16384, {16384}, {0.0f, 1.0f, 0.0f}},
        {16385, {16384, 1}, {0.0f, float(16384.0 / 16385.0), 1.0f, 0.0f}},
        {0, {}, {1.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        FakeUploadServer server;
        // The last part is answered late: the mail request must still wait for it.
        const int lastPart = 1 + int(c.parts.size()) - 1;
        server.handler = [lastPart](const FakeUploadServer::Request& request, int index) {
            if (request.path.endsWith("uploadRandomName.php"))
                return FakeUploadServer::Answer{200, "abc"};
            return FakeUploadServer::Answer{200, "SUCCESS\n", index == lastPart ? 300 : 0};
        };
        ScratchDir dir;
        const QByteArray bytes = patterned(c.size);
        auto run = upload(server, dir, bytes);
        EXPECT_EQ(run->done, 1);
        EXPECT_EQ(run->errors, 0);
        EXPECT_EQ(run->progress, c.progress);

        const auto parts = server.requestsTo("uploadParts.php");
        ASSERT_EQ(parts.size(), c.parts.size());
        QByteArray joined;
        for (size_t i = 0; i < parts.size(); ++i) {
            const QByteArray data = uploadedPart(parts[i].body);
            EXPECT_EQ(data.size(), c.parts[i]);
            EXPECT_TRUE(parts[i].body.contains("name=\"fileName\"\r\n\r\nabcwav\r\n"));
            joined += data;
        }
        EXPECT_EQ(joined, bytes);
        const auto mails = server.requestsTo("uploadEmail.php");
        ASSERT_EQ(mails.size(), 1u);
        EXPECT_TRUE(mails[0].body.contains("name=\"fileName\"\r\n\r\nabcwav\r\n"));
        if (!parts.empty()) {
            EXPECT_GE(mails[0].arrivedNs, parts.back().answeredNs);
        }
    }
}

TEST(Uploader, EveryFailureEndsTheUploadWithTheErrorOutcome)
{
    using Answer = FakeUploadServer::Answer;
    struct Case
    {
        const char* what;
        std::function<Answer(const FakeUploadServer::Request&, int)> handler;
        int expectedMails;
    };
    auto byPath = [](Answer name, Answer part, Answer mail, int failingPart = -1) {
        return [=](const FakeUploadServer::Request& request, int index) {
            if (request.path.endsWith("uploadRandomName.php"))
                return name;
            if (request.path.endsWith("uploadParts.php"))
                return failingPart < 0 || index == failingPart ? part : Answer{200, "SUCCESS"};
            return mail;
        };
    };
    const Answer ok{200, "SUCCESS"};
    const std::vector<Case> cases{
        {"name fetch refused", byPath({500, "oops"}, ok, ok), 0},
        {"empty name", byPath({200, ""}, ok, ok), 0},
        {"name with a line break", byPath({200, "ab\r\nc"}, ok, ok), 0},
        {"server gone at the name fetch", byPath({200, "", 0, true}, ok, ok), 0},
        {"second part refused by status", byPath({200, "abc"}, {500, "SUCCESS"}, ok, 2), 0},
        {"second part not SUCCESS", byPath({200, "abc"}, {200, "ERROR: disk full"}, ok, 2), 0},
        // (Qt sends a request once more when the connection closes before any answer, so the
        // server hangs up on every part here.)
        {"connection lost on the parts", byPath({200, "abc"}, {200, "", 0, true}, ok), 0},
        {"no answer to a part", byPath({200, "abc"}, {200, "", 0, false, true}, ok, 1), 0},
        {"mail refused by status", byPath({200, "abc"}, ok, {502, "ERROR: not sent"}), 1},
        {"mail answered without SUCCESS", byPath({200, "abc"}, ok, {200, "queued?"}), 1},
        {"mail never answered", byPath({200, "abc"}, ok, {200, "", 0, false, true}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeUploadServer server;
        server.handler = c.handler;
        ScratchDir dir;
        auto run = upload(server, dir, patterned(40000), 800);
        EXPECT_EQ(run->done, 0);
        EXPECT_EQ(run->errors, 1);
        ASSERT_FALSE(run->progress.empty());
        EXPECT_EQ(run->progress.back(), 0.0f);
        EXPECT_EQ(server.requestsTo("uploadEmail.php").size(), size_t(c.expectedMails));
        EXPECT_FALSE(run->uploader->failureReason().isEmpty());
    }

    // A file that is not there sends nothing at all.
    FakeUploadServer server;
    ScratchDir dir;
    Outcome run;
    Uploader uploader(
        QUrl(server.url()), dir.file("missing.wav"), [&](float p) { run.progress.push_back(p); },
        [&](Uploader*) { ++run.done; }, [&](Uploader*) { ++run.errors; }, nullptr, "to@example.org",
        "", "", "");
    EXPECT_EQ(run.errors, 0) << "the outcome arrives from the event loop";
    EXPECT_TRUE(waitFor([&] { return run.errors == 1; }, 5000));
    EXPECT_EQ(run.progress, std::vector<float>{0.0f});
    EXPECT_TRUE(server.requests().empty());
}

TEST(Uploader, TheEventLoopRunsWhileEachRequestWaitsForItsAnswer)
{
    // The name and the mail are answered late; a part is asked for only once the name has come,
    // and the mail only once the last part has been accepted, as before.
    FakeUploadServer server;
    server.handler = [](const FakeUploadServer::Request& request, int) {
        if (request.path.endsWith("uploadRandomName.php"))
            return FakeUploadServer::Answer{200, "abc", 400};
        if (request.path.endsWith("uploadEmail.php"))
            return FakeUploadServer::Answer{200, "SUCCESS", 400};
        return FakeUploadServer::Answer{200, "SUCCESS"};
    };
    ScratchDir dir;
    dir.write("REC1.wav", patterned(20000));
    Outcome run;
    int nameFetchEnded = 0;
    QElapsedTimer clock;
    clock.start();
    Uploader uploader(
        QUrl(server.url()), dir.file("REC1.wav"), [&](float p) { run.progress.push_back(p); },
        [&](Uploader*) { ++run.done; }, [&](Uploader*) { ++run.errors; }, nullptr, "to@example.org",
        "", "", "");
    QObject::connect(&uploader, &Uploader::nameFetchEnded, [&] { ++nameFetchEnded; });
    EXPECT_LT(clock.elapsed(), 200) << "creating the uploader does not wait for the server";

    // Timers fire during the name fetch, and again during the mail request.
    int ticks = 0;
    int ticksBeforeName = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        if (server.requests().size() == 1 && server.requests()[0].answeredNs < 0)
            ++ticksBeforeName;
    });
    ticker.start(20);
    ASSERT_TRUE(waitFor([&] { return nameFetchEnded == 1; }, 5000));
    EXPECT_GE(ticksBeforeName, 5);
    ASSERT_TRUE(waitFor([&] { return server.requestsTo("uploadEmail.php").size() == 1; }, 5000));
    const int ticksAtMail = ticks;
    ASSERT_TRUE(waitFor([&] { return run.done == 1; }, 5000));
    EXPECT_GE(ticks - ticksAtMail, 5);
    EXPECT_EQ(nameFetchEnded, 1);
    EXPECT_EQ(run.progress, (std::vector<float>{0.0f, float(16384.0 / 20000.0), 1.0f, 0.0f}));
    ASSERT_EQ(server.requests().size(), 4u);
    for (size_t i = 1; i < server.requests().size(); ++i)
        EXPECT_GE(server.requests()[i].arrivedNs, server.requests()[i - 1].answeredNs) << i;
}

TEST(Uploader, AnUploaderDeletedWhileARequestIsOutReportsNothing)
{
    for (const char* path : {"uploadRandomName.php", "uploadParts.php", "uploadEmail.php"}) {
        SCOPED_TRACE(path);
        FakeUploadServer server;
        server.handler = [path](const FakeUploadServer::Request& request, int) {
            FakeUploadServer::Answer answer{200, "SUCCESS", request.path.endsWith(path) ? 500 : 0};
            if (request.path.endsWith("uploadRandomName.php"))
                answer.body = "abc";
            return answer;
        };
        ScratchDir dir;
        dir.write("REC1.wav", patterned(20000));
        Outcome run;
        int nameFetchEnded = 0;
        auto uploader = std::make_unique<Uploader>(
            QUrl(server.url()), dir.file("REC1.wav"), [&](float p) { run.progress.push_back(p); },
            [&](Uploader*) { ++run.done; }, [&](Uploader*) { ++run.errors; }, nullptr,
            "to@example.org", "", "", "");
        QObject::connect(uploader.get(), &Uploader::nameFetchEnded, [&] { ++nameFetchEnded; });
        ASSERT_TRUE(waitFor([&] { return !server.requestsTo(path).empty(); }, 5000));
        const std::vector<float> progressBefore = run.progress;
        const int endedBefore = nameFetchEnded;
        uploader.reset();
        pumpEvents(800);
        EXPECT_EQ(run.done + run.errors, 0);
        EXPECT_EQ(run.progress, progressBefore);
        EXPECT_EQ(nameFetchEnded, endedBefore);
    }
}
