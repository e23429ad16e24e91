#pragma once

// The arithmetic of the benchmark, kept apart from processes and windows so that it can be
// checked on its own (test_measure.cpp).

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro::bench {

// CLOCK_MONOTONIC, which is one clock for every process on the machine: a child's report of
// when it painted is compared with the driver's reading from just before the spawn.
inline long long monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Summary {
    double median = 0;
    double min = 0;
    double max = 0;
    std::size_t runs = 0;
};

// Median (the mean of the middle two for an even count), minimum and maximum. All zero for
// no values.
Summary summarise(std::vector<double> values);

// The longest time the event loop went without running a timer that should have run every
// few milliseconds, over [from, to]: the longest interval between consecutive ticks that
// overlaps it. `ticks` are in increasing order. Empty when no two ticks enclose any of it,
// which means the ticker did not run long enough to tell.
std::optional<long long> longestGap(const std::vector<long long>& ticks, long long from, long long to);

// The number of kilobytes on the line of /proc/PID/status or /proc/PID/smaps_rollup that
// starts with `key` ("VmRSS:", "Pss:"). Empty when the line is missing or malformed.
std::optional<long long> kilobytesOf(std::string_view procText, std::string_view key);

// The whole of a small file such as /proc/PID/status; empty when it cannot be read.
std::string readSmallFile(const std::string& path);

} // namespace tessaro::bench
