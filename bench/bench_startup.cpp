// SPDX-License-Identifier: GPL-3.0-or-later
// bench_startup [ROUNDS [PROGRAM]]: starts sonavell (or PROGRAM, another build of it) and a Qt
// Widgets hello-world built the same way, in turns, on the offscreen platform, and prints for each
// the median time from the start of the process to its first painted frame, their ratio, and when
// sonavell goes idle: the end of the last 50 ms stretch in which its main thread used more than a
// tenth of a core (read from the kernel's per-thread CPU clocks, so measuring costs the program
// nothing; the same for all its threads is printed beside it). The ratio (goal at most 2.5) and
// the main thread's start to idle (goal at most 300 ms) are goals: the program exits non-zero
// when one is missed.
// Beside the wall-clock figures it prints the CPU time both had used by their first frame, on
// the main thread and in all threads: on a machine shared with other work the wall clock mostly
// measures the waits for a free core, the CPU time what the program itself does.
// sonavell runs over an empty library in a scratch folder with the virtual audio device. Then it
// starts over a library of 100,000 recordings with their WAV files (built once by the library
// code itself), in turns with the hello-world again: the first frame there is a goal of its own,
// at most 1 s, as the whole library is read and checked before the list can be shown.
#include "BenchGoals.h"
#include "BenchLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kWatchSeconds = 1.5;
constexpr double kWindowSeconds = 0.05;
constexpr double kBusyShare = 0.10;

int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// CPU time of one thread, in nanoseconds; 0 when it is gone.
int64_t threadCpuNs(pid_t pid, pid_t tid)
{
    QFile stat(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    return stat.readAll().split(' ').value(0).toLongLong();
}

// CPU time of every thread of the process, in nanoseconds.
int64_t cpuNs(pid_t pid)
{
    int64_t total = 0;
    QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(pid), QDir::Dirs | QDir::NoDotAndDotDot);
    while (tasks.hasNext()) {
        QFile stat(tasks.next() + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly))
            total += stat.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

struct Run
{
    double firstFrameMs = -1;
    // The end of the last busy stretch: of the main thread, and of all threads together.
    double idleMs = -1;
    double allIdleMs = -1;
    // CPU time used by the first frame: the main thread's and all threads'.
    double mainCpuMs = -1;
    double cpuMs = -1;
};

// Starts `program` and watches it for `watchSeconds` (so that it can go idle), or only until its
// first frame when `untilFirstFrame` is set.
std::optional<Run> runOnce(const char* program, const std::vector<std::string>& environment,
                           double watchSeconds = kWatchSeconds, bool untilFirstFrame = false)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    const int64_t start = monotonicNs();
    const pid_t pid = fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        for (const std::string& entry : environment)
            putenv(const_cast<char*>(entry.c_str()));
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);

    Run run;
    std::string pending;
    struct Sample
    {
        int64_t wall; // ns since start
        int64_t mainCpu;
        int64_t cpu;
    };
    std::vector<Sample> samples;
    while (monotonicNs() - start < int64_t(watchSeconds * 1e9) &&
           !(untilFirstFrame && run.firstFrameMs > 0)) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        poll(&fd, 1, 5);
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            pending.append(buffer, size_t(n));
            size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (line.rfind("first-frame ", 0) == 0 && run.firstFrameMs < 0) {
                    run.firstFrameMs = double(std::stoll(line.substr(12)) - start) / 1e6;
                    // Read as soon as the report arrives; the little used since is noise.
                    run.mainCpuMs = double(threadCpuNs(pid, pid)) / 1e6;
                    run.cpuMs = double(cpuNs(pid)) / 1e6;
                }
            }
        }
        samples.push_back({monotonicNs() - start, threadCpuNs(pid, pid), cpuNs(pid)});
    }
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        usleep(10000);
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    close(pipeFds[0]);

    // The end of the last busy 50 ms stretch.
    const auto lastBusy = [&samples](int64_t Sample::*clock) {
        const int64_t window = int64_t(kWindowSeconds * 1e9);
        size_t from = 0;
        double end = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            while (samples[i].wall - samples[from].wall > window)
                ++from;
            const int64_t wall = samples[i].wall - samples[from].wall;
            const int64_t cpu = samples[i].*clock - samples[from].*clock;
            if (wall > window / 2 && double(cpu) > kBusyShare * double(wall))
                end = double(samples[i].wall) / 1e6;
        }
        return end;
    };
    run.idleMs = lastBusy(&Sample::mainCpu);
    run.allIdleMs = lastBusy(&Sample::cpu);
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    passOnlyLibraryWarnings();
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const char* sonavellPath = argc > 2 ? argv[2] : SONAVELL_PATH;
    QTemporaryDir scratch;
    const std::string base = scratch.path().toStdString();
    QDir().mkpath(scratch.filePath(QStringLiteral("config")));
    QDir().mkpath(scratch.filePath(QStringLiteral("data")));
    const std::vector<std::string> common = {
        "QT_QPA_PLATFORM=offscreen",
        "SONAVELL_REPORT_FIRST_FRAME=1",
        "XDG_CONFIG_HOME=" + base + "/config",
        "XDG_DATA_HOME=" + base + "/data",
    };
    const auto sonavellEnvironmentFor = [&common](const std::string& documents) {
        std::vector<std::string> environment = common;
        environment.push_back("SONAVELL_AUDIO=virtual");
        environment.push_back("SONAVELL_DOCUMENTS=" + documents);
        environment.push_back("SONAVELL_RESOURCES=" SONAVELL_RESOURCE_DIR);
        environment.push_back("AVAHI_COMPAT_NOWARN=1");
        return environment;
    };
    const std::vector<std::string> sonavellEnvironment =
        sonavellEnvironmentFor(base + "/Documents");

    std::vector<double> sonavellFrames, helloFrames, sonavellIdle, helloIdle, sonavellAllIdle,
        helloAllIdle;
    std::vector<double> sonavellMainCpu, helloMainCpu, sonavellCpu, helloCpu;
    // A first start of each warms the file cache; it is not counted.
    runOnce(sonavellPath, sonavellEnvironment);
    runOnce(HELLO_PATH, common);
    for (int round = 0; round < rounds; ++round) {
        if (auto run = runOnce(sonavellPath, sonavellEnvironment); run && run->firstFrameMs > 0) {
            sonavellFrames.push_back(run->firstFrameMs);
            sonavellIdle.push_back(run->idleMs);
            sonavellAllIdle.push_back(run->allIdleMs);
            sonavellMainCpu.push_back(run->mainCpuMs);
            sonavellCpu.push_back(run->cpuMs);
        }
        if (auto run = runOnce(HELLO_PATH, common); run && run->firstFrameMs > 0) {
            helloFrames.push_back(run->firstFrameMs);
            helloIdle.push_back(run->idleMs);
            helloAllIdle.push_back(run->allIdleMs);
            helloMainCpu.push_back(run->mainCpuMs);
            helloCpu.push_back(run->cpuMs);
        }
    }
    BenchGoals goals;
    if (sonavellFrames.empty() || helloFrames.empty()) {
        const char* which = sonavellFrames.empty() ? "sonavell" : "the Qt hello-world";
        const std::string why = std::string(which) + " did not report its first frame";
        goals.unmeasured("first frame / Qt hello-world", why);
        goals.unmeasured("start to idle, main thread", why);
        return goals.exitCode();
    }
    const double sonavell = median(sonavellFrames);
    const double hello = median(helloFrames);
    std::printf("GUI start-up to the first frame (median of %d, interleaved, offscreen)\n", rounds);
    std::printf("  sonavell            %7.1f ms\n", sonavell);
    std::printf("  Qt hello-world      %7.1f ms\n", hello);
    goals.atMost("first frame / Qt hello-world", sonavell / hello, 2.5, "x");
    std::printf("CPU time to the first frame (median): main thread, all threads\n");
    std::printf("  sonavell            %7.1f ms %7.1f ms\n", median(sonavellMainCpu),
                median(sonavellCpu));
    std::printf("  Qt hello-world      %7.1f ms %7.1f ms\n", median(helloMainCpu),
                median(helloCpu));
    std::printf("  ratio               %7.2f x  %7.2f x\n",
                median(sonavellMainCpu) / median(helloMainCpu),
                median(sonavellCpu) / median(helloCpu));
    std::printf(
        "Start to idle (end of the last 50 ms with more than 10%% of a core busy, median):\n"
        "main thread, all threads\n");
    std::printf("  sonavell            %7.1f ms %7.1f ms\n", median(sonavellIdle),
                median(sonavellAllIdle));
    std::printf("  Qt hello-world      %7.1f ms %7.1f ms\n", median(helloIdle),
                median(helloAllIdle));
    goals.atMost("start to idle, main thread", median(sonavellIdle), 300.0, "ms");

    // The same start over 100,000 recordings, until the first frame.
    constexpr int kLargeLibrary = 100000;
    const QString largeDocuments = scratch.filePath(QStringLiteral("Documents100000"));
    QDir().mkpath(largeDocuments);
    AppDelegate::Environment builderEnvironment;
    builderEnvironment.documentsPath = largeDocuments;
    builderEnvironment.userDefaults = std::make_shared<QSettings>(
        scratch.filePath(QStringLiteral("builder.ini")), QSettings::IniFormat);
    const QDateTime first(QDate(2009, 1, 1), QTime(0, 0, 0));
    builderEnvironment.now = [first] { return first; };
    if (!writeBenchLibrary(builderEnvironment, first, kLargeLibrary)) {
        goals.unmeasured("first frame, 100000 recordings", "the library could not be written");
        return goals.exitCode();
    }
    const std::vector<std::string> largeEnvironment =
        sonavellEnvironmentFor(largeDocuments.toStdString());
    constexpr double kLargeWatchSeconds = 10;
    const int largeRounds = std::max(3, rounds / 2 + 1);
    std::vector<double> largeFrames, largeMainCpu, largeHelloFrames;
    runOnce(sonavellPath, largeEnvironment, kLargeWatchSeconds, true);
    for (int round = 0; round < largeRounds; ++round) {
        if (auto run = runOnce(sonavellPath, largeEnvironment, kLargeWatchSeconds, true);
            run && run->firstFrameMs > 0) {
            largeFrames.push_back(run->firstFrameMs);
            largeMainCpu.push_back(run->mainCpuMs);
        }
        if (auto run = runOnce(HELLO_PATH, common, kLargeWatchSeconds, true);
            run && run->firstFrameMs > 0)
            largeHelloFrames.push_back(run->firstFrameMs);
    }
    if (largeFrames.empty()) {
        goals.unmeasured("first frame, 100000 recordings",
                         "sonavell did not report its first frame");
        return goals.exitCode();
    }
    std::printf("GUI start-up over %d recordings with their WAV files (median of %d, "
                "interleaved)\n",
                kLargeLibrary, largeRounds);
    std::printf("  sonavell            %7.1f ms (main-thread CPU %.1f ms)\n", median(largeFrames),
                median(largeMainCpu));
    std::printf("  Qt hello-world      %7.1f ms\n", median(largeHelloFrames));
    goals.atMost("first frame, 100000 recordings", median(largeFrames), 1000.0, "ms");
    return goals.exitCode();
}
