// The timing harness the bench programs share: run a step until the figures settle, print them
// as one table.
#pragma once

#include <algorithm>
#include <chrono>
#include <concepts>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace Bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// A figure is one row of the table: how many timed iterations, their median and minimum in
// milliseconds, and a note (sizes, or a word saying the row did not time the path it names).
struct Figure {
    std::string name;
    int iterations = 0;
    double medianMs = 0;
    double minMs = 0;
    std::string note;
};

inline Figure summarise(std::string name, std::vector<double> samplesMs, std::string note = {})
{
    Figure f{std::move(name), int(samplesMs.size()), 0, 0, std::move(note)};
    if (samplesMs.empty())
        return f;
    std::sort(samplesMs.begin(), samplesMs.end());
    const size_t n = samplesMs.size();
    f.medianMs = n % 2 ? samplesMs[n / 2] : (samplesMs[n / 2 - 1] + samplesMs[n / 2]) / 2;
    f.minMs = samplesMs.front();
    return f;
}

// One warm-up, then at least minRuns and until half a second has gone (or maxRuns); `between`
// runs after each, untimed. Constrained so that a note in third place picks the overload below.
template <class Body, std::invocable Between>
Figure measure(std::string name, Body&& body, Between&& between, std::string note = {}, int minRuns = 20,
               int maxRuns = 2000)
{
    body();
    between();
    std::vector<double> samples;
    const Clock::time_point start = Clock::now();
    while (int(samples.size()) < minRuns
           || (int(samples.size()) < maxRuns && Clock::now() - start < std::chrono::milliseconds(500))) {
        const Clock::time_point t0 = Clock::now();
        body();
        samples.push_back(msSince(t0));
        between();
    }
    return summarise(std::move(name), std::move(samples), std::move(note));
}

template <class Body>
Figure measure(std::string name, Body&& body, std::string note = {}, int minRuns = 20, int maxRuns = 2000)
{
    return measure(std::move(name), std::forward<Body>(body), [] {}, std::move(note), minRuns, maxRuns);
}

// Nanoseconds below a microsecond: a single position mapping takes tens of them.
inline std::string formatTime(double ms)
{
    char buf[32];
    if (ms < 0.001)
        std::snprintf(buf, sizeof buf, "%.1f ns", ms * 1e6);
    else if (ms < 1.0)
        std::snprintf(buf, sizeof buf, "%.1f us", ms * 1000.0);
    else
        std::snprintf(buf, sizeof buf, "%.2f ms", ms);
    return buf;
}

inline void printTable(const std::vector<Figure>& figures)
{
    std::printf("%-52s %6s %12s %12s  %s\n", "benchmark", "iters", "median", "min", "note");
    for (const Figure& f : figures)
        std::printf("%-52s %6d %12s %12s  %s\n", f.name.c_str(), f.iterations, formatTime(f.medianMs).c_str(),
                    formatTime(f.minMs).c_str(), f.note.c_str());
    std::fflush(stdout);
}

} // namespace Bench
