// SPDX-License-Identifier: GPL-3.0-or-later
// The web server's Opus and FLAC copies of shared memos, over real TCP on 127.0.0.1: what they
// are served as, what is never converted, and how the cache follows the library.
#include "SharingTestSupport.h"

#include "support/DecodedAudio.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <future>

using namespace sonavell::test;

namespace {

class SharingCopies : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeToneWav(fixture.documents.file("a.wav"), 22050, 3.0);
        fixture.library->categories = {QStringLiteral("*****")};
        fixture.library->recordings = {recordingEntry("a.wav", "Tone", "*****")};
    }

    SharingController& start(std::chrono::milliseconds copyWait = std::chrono::seconds(15))
    {
        SharingController::Environment env = fixture.environment();
        env.cacheFolder = cache.path();
        env.copyWait = copyWait;
        env.announce = false;
        server = std::make_unique<SharingController>(env);
        server->toggleSharing(true);
        waitFor([this] { return server->tcpPort() != 0; });
        return *server;
    }
    QByteArray get(const char* path)
    {
        return exchange(server->tcpPort(), QByteArray("GET ") + path + " HTTP/1.1\r\n\r\n", 60000);
    }
    static QByteArray body(const QByteArray& answer)
    {
        return answer.mid(answer.indexOf("\r\n\r\n") + 4);
    }
    // The decoded audio of an answer's body.
    DecodedAudio decoded(const QByteArray& answer)
    {
        QFile file(scratch.filePath("answer"));
        file.open(QIODevice::WriteOnly);
        file.write(body(answer));
        file.close();
        return decodeAudio(file.fileName());
    }
    QStringList cached() const { return QDir(cache.path()).entryList(QDir::Files | QDir::Hidden); }
    // Replaces the library, as the main thread publishes a new snapshot after a change.
    void publish(std::initializer_list<LibrarySnapshot::RecordingEntry> recordings)
    {
        auto next = std::make_shared<LibrarySnapshot>(*fixture.library);
        next->recordings = recordings;
        fixture.library = next;
    }

    ServerFixture fixture;
    QTemporaryDir cache;
    QTemporaryDir scratch;
    std::unique_ptr<SharingController> server;
};

const QByteArray kNotFoundStart = "HTTP/1.1 404 Not Found\r\n";

} // namespace

TEST_F(SharingCopies, OpusAndFlacAreServedWithTheirTypesAndByteRanges)
{
    start();
    const QByteArray opus = get("/Documents/a.opus");
    ASSERT_TRUE(opus.startsWith("HTTP/1.1 200 OK\r\n")) << opus.left(200).toStdString();
    EXPECT_TRUE(opus.contains("\r\nContent-Type: audio/ogg\r\n"));
    EXPECT_TRUE(opus.contains("\r\nAccept-Ranges: bytes\r\n"));
    EXPECT_TRUE(body(opus).startsWith("OggS"));
    const DecodedAudio audio = decoded(opus);
    EXPECT_NEAR(audio.seconds(), 3.0, 0.020);
    EXPECT_NEAR(toneFrequency(audio.samples, audio.rate), 1000.0, 2.0);

    const QByteArray flac = get("/Documents/a.flac");
    EXPECT_TRUE(flac.contains("\r\nContent-Type: audio/flac\r\n"));
    EXPECT_TRUE(body(flac).startsWith("fLaC"));
    EXPECT_NEAR(decoded(flac).seconds(), 3.0, 1e-9);

    // Made once, then served from the cache like any file, in ranges too.
    int exitCode = -1;
    const QString url =
        QStringLiteral("http://127.0.0.1:%1/Documents/a.opus").arg(server->tcpPort());
    EXPECT_EQ(runCurl({QStringLiteral("-r"), QStringLiteral("100-1099"), url}, &exitCode),
              body(opus).mid(100, 1000));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(cached().size(), 2) << cached().join(' ').toStdString();
    // The WAV itself is served as before.
    EXPECT_TRUE(get("/Documents/a.wav").contains("\r\nContent-Type: audio/wav\r\n"));
}

TEST_F(SharingCopies, HiddenUnknownMissingAndDamagedMemosAreNotFoundAndLeaveNothing)
{
    auto hidden = recordingEntry("hidden.wav", "Private", "*****");
    hidden.hideFromWebSharing = true;
    writeToneWav(fixture.documents.file("hidden.wav"), 22050, 1.0);
    fixture.documents.write(QStringLiteral("damaged.wav"),
                            QByteArray("RIFF\x10\0\0\0WAVEjunk", 16) + patterned(4000));
    writeToneWav(fixture.documents.file("unlisted.wav"), 22050, 1.0);
    fixture.library->recordings = {recordingEntry("a.wav", "Tone", "*****"), hidden,
                                   recordingEntry("damaged.wav", "Damaged", "*****"),
                                   recordingEntry("gone.wav", "Gone", "*****")};
    start();
    for (const char* path :
         {"/Documents/hidden.opus", "/Documents/hidden.flac", "/Documents/unlisted.opus",
          "/Documents/gone.opus", "/Documents/damaged.opus", "/Documents/damaged.flac",
          "/Documents/damaged.opus", "/Documents/a.OPUS"})
        EXPECT_TRUE(get(path).startsWith(kNotFoundStart)) << path;
    EXPECT_TRUE(cached().isEmpty()) << cached().join(' ').toStdString();
}

TEST_F(SharingCopies, TheCacheFollowsAChangedMemoAndForgetsARemovedOne)
{
    start();
    EXPECT_NEAR(decoded(get("/Documents/a.opus")).seconds(), 3.0, 0.020);
    // An append makes the memo longer: its next copy is made from the new file.
    QThread::msleep(20);
    writeToneWav(fixture.documents.file("a.wav"), 22050, 5.0);
    publish({recordingEntry("a.wav", "Tone", "*****")});
    EXPECT_NEAR(decoded(get("/Documents/a.opus")).seconds(), 5.0, 0.020);
    const QStringList copies = cached();
    EXPECT_EQ(copies.size(), 1) << copies.join(' ').toStdString();

    // Another change to the library (a new name) keeps the copy of the unchanged file.
    publish({recordingEntry("a.wav", "Renamed", "*****")});
    get("/");
    EXPECT_EQ(cached(), copies);

    // Deleted from the library: its copies go with the server's next answer.
    publish({});
    EXPECT_TRUE(get("/Documents/a.opus").startsWith(kNotFoundStart));
    EXPECT_TRUE(cached().isEmpty()) << cached().join(' ').toStdString();
}

TEST_F(SharingCopies, FirstRequestsWaitForOneConversionAndALongOneIsToldToComeBack)
{
    writeToneWav(fixture.documents.file("long.wav"), 44100, 300.0);
    fixture.library->recordings = {recordingEntry("a.wav", "Tone", "*****"),
                                   recordingEntry("long.wav", "Long", "*****")};
    start(std::chrono::milliseconds(1));
    // Two requests at once while the copy is made: neither gets a part of it.
    auto first = std::async(std::launch::async, [this] { return get("/Documents/long.opus"); });
    auto second = std::async(std::launch::async, [this] { return get("/Documents/long.opus"); });
    for (QByteArray answer : {first.get(), second.get()})
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 503 Service Unavailable\r\n"))
            << answer.left(100).toStdString();
    // The conversion goes on; once made, the copy is served whole.
    QByteArray answer;
    ASSERT_TRUE(waitFor(
        [&] { return (answer = get("/Documents/long.opus")).startsWith("HTTP/1.1 200 OK"); },
        60000));
    EXPECT_NEAR(decoded(answer).seconds(), 300.0, 0.020);
    EXPECT_EQ(cached().size(), 1) << cached().join(' ').toStdString();
}

TEST_F(SharingCopies, RequestsArrivingDuringTheConversionGetTheWholeCopy)
{
    writeToneWav(fixture.documents.file("long.wav"), 22050, 120.0);
    fixture.library->recordings = {recordingEntry("long.wav", "Long", "*****")};
    start();
    auto first = std::async(std::launch::async, [this] { return get("/Documents/long.opus"); });
    auto second = std::async(std::launch::async, [this] { return get("/Documents/long.opus"); });
    const QByteArray a = first.get(), b = second.get();
    ASSERT_TRUE(a.startsWith("HTTP/1.1 200 OK\r\n")) << a.left(100).toStdString();
    EXPECT_EQ(a, b);
    EXPECT_NEAR(decoded(a).seconds(), 120.0, 0.020);
}
