#pragma once

// Starting the programs the benchmark times. Everything is spawned the same way, with
// posix_spawn and the clock read just before it, so that Tessaro and its floors carry the
// same cost of being started.

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tessaro::bench {

struct Child {
    pid_t pid = -1;
    int out = -1;             // the read end of its stdout, when captured
    long long spawnedNs = 0;  // CLOCK_MONOTONIC just before the spawn
    std::string pending;      // read but not yet returned as a line
};

enum class Stdout { Capture, Discard };

// Starts `argv` (looked up in PATH) in the driver's environment and working folder; its
// standard error goes to the end of `errorLog`. Throws std::runtime_error when it cannot.
Child spawn(const std::vector<std::string>& argv, Stdout out, const std::string& errorLog);

// The next line of the child's stdout, without its newline; empty at end of output or after
// `timeoutMs`.
std::optional<std::string> readLine(Child& child, int timeoutMs);

// Waits for the child to end and returns its exit status (-1 for a signal). A child still
// running after `timeoutMs` is killed; a negative timeout waits as long as it takes.
int waitExit(Child& child, int timeoutMs);

// Ends a child that idles until told (SIGTERM) and reaps it.
void stop(Child& child);

// Runs `argv` to its end with stdout discarded; the time from spawn to exit in nanoseconds.
// Throws std::runtime_error when it fails.
long long timeToExit(const std::vector<std::string>& argv, const std::string& errorLog);

// Everything `argv` writes to stdout, for checking that a floor does the work it stands for.
std::string outputOf(const std::vector<std::string>& argv, const std::string& errorLog);

} // namespace tessaro::bench
