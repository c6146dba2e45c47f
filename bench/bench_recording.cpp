// SPDX-License-Identifier: GPL-3.0-or-later
// bench_recording [ROUNDS [SECONDS [PROGRAM]]]: what a take costs. Starts the real
// `sonavell --record` (or PROGRAM, another build of it; a new recording, its window shown) and,
// beside it on the same PulseAudio source, parecord writing the same format (11025 Hz mono 16-bit
// WAV, 20 ms fragments, as sonavell asks for), and prints the CPU seconds per minute of take of
// each and their ratio; then sonavell's CPU while it sits idle on the recorder screen (no take,
// nothing playing). Each is measured on the offscreen platform and on xcb under a private Xvfb, the
// two taking turns, ROUNDS times (3 by default); the medians are checked against the goals.
//
// CPU time is read from the kernel's per-thread clocks of the running processes, from a
// moment after the take has started until SECONDS later (20 by default), so start-up and
// shutdown are left out. sonavell runs over an empty library in a scratch folder.
//
// PulseAudio: the server the environment names (PULSE_SERVER, else the user's) when one
// answers; otherwise, with SONAVELL_BENCH_SERVICES=1, a private one from
// scripts/pulse-test-service (a null sink whose monitor is the microphone); otherwise the
// recording figures are not measured, which counts as a miss.
#include "BenchGoals.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* g_program = SONAVELL_PATH;

constexpr double kSettleSeconds = 2.0;
constexpr double kIdleSettleSeconds = 3.0;
constexpr double kIdleSeconds = 10.0;
constexpr double kRatioGoal = 3.0;
constexpr double kIdleGoalMsPerSecond = 5.0;

// CPU time of every thread of a running process, in seconds.
double cpuSeconds(qint64 pid)
{
    qint64 total = 0;
    QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(pid), QDir::Dirs | QDir::NoDotAndDotDot);
    while (tasks.hasNext()) {
        QFile stat(tasks.next() + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly))
            total += stat.readAll().split(' ').value(0).toLongLong();
    }
    return double(total) / 1e9;
}

void sleepSeconds(double seconds)
{
    QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
}

// Reads a process's merged output until `marker` shows or `timeoutMs` passes.
bool waitForLine(QProcess& process, const QByteArray& marker, int timeoutMs, QByteArray* output)
{
    QElapsedTimer clock;
    clock.start();
    while (!output->contains(marker) && clock.elapsed() < timeoutMs) {
        if (process.state() == QProcess::NotRunning)
            break;
        process.waitForReadyRead(100);
        *output += process.readAll();
    }
    return output->contains(marker);
}

void stop(QProcess& process, int signal)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), signal);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// A private X server for the xcb runs, on the first free display.
class PrivateXServer
{
public:
    bool start()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            m_why = "Xvfb is not installed";
            return false;
        }
        m_process.start(xvfb, {"-displayfd", "1", "-noreset", "-screen", "0", "1920x1080x24",
                               "-nolisten", "tcp"});
        QByteArray number;
        QElapsedTimer clock;
        clock.start();
        while (!number.contains('\n') && clock.elapsed() < 10000 &&
               m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            number += m_process.readAllStandardOutput();
        }
        if (!number.contains('\n')) {
            m_why = "Xvfb did not start";
            return false;
        }
        m_display = ":" + QString::fromLatin1(number.trimmed());
        return true;
    }
    ~PrivateXServer() { stop(m_process, SIGTERM); }
    QString display() const { return m_display; }
    std::string why() const { return m_why; }

private:
    QProcess m_process;
    QString m_display;
    std::string m_why;
};

// The sound server the runs record from, and the source sonavell records from by default.
class SoundServer
{
public:
    bool find(const QString& scratch)
    {
        if (answers()) {
            m_source = defaultSource();
            return true;
        }
        if (qEnvironmentVariable("SONAVELL_BENCH_SERVICES") != QLatin1String("1")) {
            m_why = "no PulseAudio server answers (SONAVELL_BENCH_SERVICES=1 starts a private one)";
            return false;
        }
        m_dir = scratch + QStringLiteral("/pulse");
        const QString script = QStringLiteral(SONAVELL_SOURCE_DIR "/scripts/pulse-test-service");
        QProcess service;
        service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        service.start(script, {"start", m_dir});
        if (!service.waitForFinished(60000) || service.exitCode() != 0) {
            m_why = "scripts/pulse-test-service could not start a server";
            m_dir.clear();
            return false;
        }
        qputenv("PULSE_SERVER", ("unix:" + m_dir + "/native").toUtf8());
        if (!answers()) {
            m_why = "the private PulseAudio server does not answer";
            return false;
        }
        m_source = defaultSource();
        return true;
    }
    ~SoundServer()
    {
        if (!m_dir.isEmpty())
            QProcess::execute(QStringLiteral(SONAVELL_SOURCE_DIR "/scripts/pulse-test-service"),
                              {"stop", m_dir});
    }
    QString source() const { return m_source; }
    std::string why() const { return m_why; }

private:
    static bool answers()
    {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {"info"});
        return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit &&
               pactl.exitCode() == 0;
    }
    static QString defaultSource()
    {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {"info"});
        pactl.waitForFinished(5000);
        for (const QByteArray& line : pactl.readAllStandardOutput().split('\n'))
            if (line.startsWith("Default Source: "))
                return QString::fromUtf8(line.mid(16)).trimmed();
        return {};
    }

    QString m_dir;
    QString m_source;
    std::string m_why;
};

struct Platform
{
    const char* name;
    QString display; // for xcb
};

QProcessEnvironment sonavellEnvironment(const QString& scratch, const Platform& platform)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", platform.name);
    if (!platform.display.isEmpty())
        env.insert("DISPLAY", platform.display);
    env.insert("XDG_CONFIG_HOME", scratch + "/config");
    env.insert("XDG_DATA_HOME", scratch + "/data");
    env.insert("SONAVELL_RESOURCES", SONAVELL_RESOURCE_DIR);
    env.insert("SONAVELL_REPORT_FIRST_FRAME", "1");
    env.insert("AVAHI_COMPAT_NOWARN", "1");
    // The media controls never reach the caller's session bus.
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + scratch + "/no-session-bus");
    env.remove("SONAVELL_AUDIO");
    env.remove("SONAVELL_DOCUMENTS");
    return env;
}

struct TakeRun
{
    double sonavellPerMinute = 0;
    double parecordPerMinute = 0;
};

// One take: sonavell --record and parecord side by side, the CPU of each over `seconds`.
std::optional<TakeRun> takeOnce(const Platform& platform, const QString& source, double seconds,
                                std::string* why)
{
    QTemporaryDir scratch;
    QProcess sonavell;
    sonavell.setProcessEnvironment(sonavellEnvironment(scratch.path(), platform));
    sonavell.setProcessChannelMode(QProcess::MergedChannels);
    sonavell.start(g_program, {"--documents", scratch.filePath("Documents"), "--record"});
    QByteArray output;
    if (!waitForLine(sonavell, "recording just started.", 30000, &output)) {
        stop(sonavell, SIGTERM);
        *why = "sonavell did not start its take: " + output.right(400).toStdString();
        return std::nullopt;
    }
    QProcess parecord;
    QStringList args = {"--latency-msec=20", "--rate=11025", "--channels=1", "--format=s16le",
                        "--file-format=wav"};
    if (!source.isEmpty())
        args << "--device=" + source;
    args << scratch.filePath("parecord.wav");
    parecord.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    parecord.start(QStringLiteral("parecord"), args);
    if (!parecord.waitForStarted(5000)) {
        stop(sonavell, SIGTERM);
        *why = "parecord could not be started";
        return std::nullopt;
    }
    sleepSeconds(kSettleSeconds);
    sonavell.readAll();
    const double sonavellBefore = cpuSeconds(sonavell.processId());
    const double parecordBefore = cpuSeconds(parecord.processId());
    QElapsedTimer clock;
    clock.start();
    sleepSeconds(seconds);
    const double sonavellAfter = cpuSeconds(sonavell.processId());
    const double parecordAfter = cpuSeconds(parecord.processId());
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const bool bothRan =
        sonavell.state() == QProcess::Running && parecord.state() == QProcess::Running;
    output += sonavell.readAll();
    stop(parecord, SIGINT);
    stop(sonavell, SIGTERM);
    if (!bothRan || output.contains("recording just stopped.")) {
        *why = "a recorder ended before its time";
        return std::nullopt;
    }
    return TakeRun{(sonavellAfter - sonavellBefore) / elapsed * 60.0,
                   (parecordAfter - parecordBefore) / elapsed * 60.0};
}

// sonavell on the recorder screen with nothing to do: its CPU in milliseconds per second.
std::optional<double> idleOnce(const Platform& platform, std::string* why)
{
    QTemporaryDir scratch;
    QProcess sonavell;
    sonavell.setProcessEnvironment(sonavellEnvironment(scratch.path(), platform));
    sonavell.setProcessChannelMode(QProcess::MergedChannels);
    sonavell.start(g_program, {"--documents", scratch.filePath("Documents")});
    QByteArray output;
    if (!waitForLine(sonavell, "first-frame ", 30000, &output)) {
        stop(sonavell, SIGTERM);
        *why = "sonavell did not show its window: " + output.right(400).toStdString();
        return std::nullopt;
    }
    sleepSeconds(kIdleSettleSeconds);
    const double before = cpuSeconds(sonavell.processId());
    QElapsedTimer clock;
    clock.start();
    sleepSeconds(kIdleSeconds);
    const double after = cpuSeconds(sonavell.processId());
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const bool ran = sonavell.state() == QProcess::Running;
    stop(sonavell, SIGTERM);
    if (!ran) {
        *why = "sonavell ended by itself";
        return std::nullopt;
    }
    return (after - before) * 1000.0 / elapsed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const double seconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 20.0;
    if (argc > 3)
        g_program = argv[3];
    BenchGoals goals;
    QTemporaryDir scratch;

    std::vector<Platform> platforms = {{"offscreen", {}}};
    PrivateXServer xserver;
    const bool haveX = xserver.start();
    if (haveX)
        platforms.push_back({"xcb", xserver.display()});

    SoundServer sound;
    const bool haveSound = sound.find(scratch.path());
    std::printf("Recording: sonavell --record beside parecord on %s, %.0f s each, median of %d\n",
                haveSound ? qPrintable(sound.source().isEmpty() ? QStringLiteral("the default "
                                                                                 "source")
                                                                : sound.source())
                          : "no source",
                seconds, rounds);

    struct Figures
    {
        std::vector<double> sonavell, parecord, ratio, idle;
        std::string takeFailure, idleFailure;
    };
    std::vector<Figures> figures(platforms.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t p = 0; p < platforms.size(); ++p) {
            if (!haveSound)
                break;
            std::string why;
            if (auto run = takeOnce(platforms[p], sound.source(), seconds, &why)) {
                figures[p].sonavell.push_back(run->sonavellPerMinute);
                figures[p].parecord.push_back(run->parecordPerMinute);
                if (run->parecordPerMinute > 0)
                    figures[p].ratio.push_back(run->sonavellPerMinute / run->parecordPerMinute);
            } else {
                figures[p].takeFailure = why;
            }
        }
        for (size_t p = 0; p < platforms.size(); ++p) {
            std::string why;
            if (auto idle = idleOnce(platforms[p], &why))
                figures[p].idle.push_back(*idle);
            else
                figures[p].idleFailure = why;
        }
    }

    for (size_t p = 0; p < platforms.size(); ++p) {
        const Figures& f = figures[p];
        const std::string name = platforms[p].name;
        std::printf("%s\n", name.c_str());
        const std::string ratioGoal = "recording CPU / parecord, " + name;
        if (!haveSound) {
            goals.unmeasured(ratioGoal, sound.why());
        } else if (f.ratio.empty()) {
            goals.unmeasured(ratioGoal, f.takeFailure.empty() ? "no run" : f.takeFailure);
        } else {
            std::printf("  sonavell --record    %7.3f CPU s per minute\n", median(f.sonavell));
            std::printf("  parecord             %7.3f CPU s per minute\n", median(f.parecord));
            goals.atMost(ratioGoal, median(f.ratio), kRatioGoal, "x");
        }
        const std::string idleGoal = "idle CPU, " + name;
        if (f.idle.empty())
            goals.unmeasured(idleGoal, f.idleFailure.empty() ? "no run" : f.idleFailure);
        else
            goals.atMost(idleGoal, median(f.idle), kIdleGoalMsPerSecond, "ms/s");
    }
    if (!haveX) {
        goals.unmeasured("recording CPU / parecord, xcb", xserver.why());
        goals.unmeasured("idle CPU, xcb", xserver.why());
    }
    return goals.exitCode();
}
