// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// The goals one benchmark program checks. Each figure is printed beside its peer and its goal;
// the program's exit status is non-zero when any goal was missed, and the misses are named last.
// `peer`, when given, says what the figure was measured against ("ours 0.37 s, sox 0.88 s").
class BenchGoals
{
public:
    // `figure` must be at most `goal` (a time, a ratio to the peer, a share of a core).
    void atMost(const std::string& what, double figure, double goal, const char* unit,
                const std::string& peer = {})
    {
        check(what, figure, goal, unit, figure <= goal, "<=", peer);
    }

    // `figure` must be at least `goal` (a throughput, a speed-up).
    void atLeast(const std::string& what, double figure, double goal, const char* unit,
                 const std::string& peer = {})
    {
        check(what, figure, goal, unit, figure >= goal, ">=", peer);
    }

    // A figure that could not be measured at all (a peer missing, a step failing) is a miss.
    void unmeasured(const std::string& what, const std::string& why)
    {
        ++m_checked;
        std::printf("  GOAL NOT MEASURED  %s: %s\n", what.c_str(), why.c_str());
        m_missed.push_back(what + " (not measured: " + why + ")");
    }

    // A figure printed for information, with no goal (a throughput bound by the client, a peer's
    // own figure).
    void info(const std::string& what, double figure, const char* unit,
              const std::string& peer = {})
    {
        std::printf("  %-11s %s: %.3f %s%s%s\n", "no goal", what.c_str(), figure, unit,
                    peer.empty() ? "" : "; ", peer.c_str());
    }

    // Prints the summary and returns the exit status for main().
    int exitCode() const
    {
        if (m_missed.empty()) {
            std::printf("All %d goals met.\n", m_checked);
            return 0;
        }
        std::printf("%zu of %d goals missed:\n", m_missed.size(), m_checked);
        for (const std::string& miss : m_missed)
            std::printf("  - %s\n", miss.c_str());
        return 1;
    }

private:
    void check(const std::string& what, double figure, double goal, const char* unit, bool met,
               const char* relation, const std::string& peer)
    {
        ++m_checked;
        std::printf("  %-11s %s: %.3f %s (goal %s %.3f %s)%s%s\n", met ? "goal met" : "GOAL MISSED",
                    what.c_str(), figure, unit, relation, goal, unit, peer.empty() ? "" : "; ",
                    peer.c_str());
        if (!met) {
            char line[256];
            std::snprintf(line, sizeof line, "%s: %.3f %s, goal %s %.3f %s", what.c_str(), figure,
                          unit, relation, goal, unit);
            m_missed.emplace_back(line);
        }
    }

    int m_checked = 0;
    std::vector<std::string> m_missed;
};

// The median of a set of runs (the upper middle one for an even count); 0 for none.
inline double median(std::vector<double> runs)
{
    if (runs.empty())
        return 0;
    std::nth_element(runs.begin(), runs.begin() + runs.size() / 2, runs.end());
    return runs[runs.size() / 2];
}
