// Library benchmark: start-up (archive decode + integrity walk), one filtered list and one
// persist, for a library of 10,000 recordings with 10,000 WAV files on disk. Beside them, the
// time Python's plistlib takes to load the same recordings.plist, as a ratio.
#include "BenchSupport.h"
#include "core/AppDelegate.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecordings = 10000;

// A valid WAV file of 100 silent samples.
QByteArray smallWav()
{
    return wavHeader(200) + QByteArray(200, '\0');
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    // The library logs a line per WAV file it checks; the figures are what this program is for.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtInfoMsg && type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString docs = dir.filePath("Documents");
    auto settings = std::make_shared<QSettings>(dir.filePath("settings.ini"), QSettings::IniFormat);
    QDateTime clock(QDate(2009, 1, 1), QTime(0, 0, 0));
    AppDelegate::Environment env;
    env.documentsPath = docs;
    env.userDefaults = settings;
    env.now = [&clock] { return clock; };
    env.waitOneSecond = [&clock] { clock = clock.addSecs(1); };

    {
        // Build the library: 10,000 records with varied fields, and their files.
        AppDelegate builder(env);
        AppDelegate::RecordingList list;
        const QStringList places = {"Kitchener ON N2G 1A1 CA", "Cupertino CA 95014 US",
                                    "Zürich ZH 8001 CH"};
        const QByteArray wav = smallWav();
        for (int i = 0; i < kRecordings; ++i) {
            auto r = std::make_shared<Recording>(
                QStringLiteral("Memo %1 about topic %2").arg(i).arg(i % 97),
                clock.addSecs(i).toString("yyyyMMddHHmmss"),
                builder.categories()[1 + i % 7]->name(), clock.addSecs(i));
            r->setDuration(1 + i % 3600);
            r->setLocationString(places[i % places.size()]);
            r->setLastPlayTime(float(i % 60));
            list.append(r);
            QFile f(QDir(docs).filePath(r->filename()));
            if (f.open(QIODevice::WriteOnly))
                f.write(wav);
        }
        builder.setRecordings(list);
        builder.persist();
    }
    const QString archive = QDir(docs).filePath("recordings.plist");
    std::printf("library: %d recordings, recordings.plist %lld bytes, %d WAV files\n", kRecordings,
                QFileInfo(archive).size(), kRecordings);

    std::vector<double> startup, filter, persist;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        AppDelegate library(env);
        startup.push_back(t.nsecsElapsed() / 1e6);
        if (library.recordings().size() != kRecordings) {
            std::fprintf(stderr, "library did not load whole: %lld\n",
                         (long long)library.recordings().size());
            return 1;
        }
        t.restart();
        const auto found = library.recArrayFilter(QStringLiteral("kitchen"));
        filter.push_back(t.nsecsElapsed() / 1e6);
        if (found.size() != kRecordings / 3 + 1) {
            std::fprintf(stderr, "unexpected filter result %lld\n", (long long)found.size());
            return 1;
        }
        t.restart();
        library.persist();
        persist.push_back(t.nsecsElapsed() / 1e6);
    }

    // The peer: Python's plistlib loading the same file (interpreter start-up excluded).
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import plistlib,sys,time\n"
                  "ts=[]\n"
                  "for _ in range(5):\n"
                  "  t=time.perf_counter(); plistlib.load(open(sys.argv[1],'rb')); "
                  "ts.append(time.perf_counter()-t)\n"
                  "print(sorted(ts)[2]*1000)\n",
                  archive});
    python.waitForFinished(120000);
    const double plistlibMs = python.readAllStandardOutput().trimmed().toDouble();

    std::printf("%-44s %9.1f ms  (target < 1000 ms)\n", "start-up (decode + integrity check)",
                median(startup));
    std::printf("%-44s %9.1f ms  (target < 30 ms)\n", "recArrayFilter(\"kitchen\")",
                median(filter));
    std::printf("%-44s %9.1f ms  (target < 50 ms)\n", "persist (both archives, fsync)",
                median(persist));
    std::printf("%-44s %9.1f ms\n", "peer: python3 plistlib.load(recordings.plist)", plistlibMs);
    if (plistlibMs > 0)
        std::printf("%-44s %9.2f x\n", "start-up / plistlib load", median(startup) / plistlibMs);
    return 0;
}
