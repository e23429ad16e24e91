#include "process.h"

#include "measure.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessaro::bench {

Child spawn(const std::vector<std::string>& argv, Stdout out, const std::string& errorLog)
{
    int pipeFds[2] = {-1, -1};
    if (out == Stdout::Capture && pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out == Stdout::Capture)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);

    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    Child child;
    child.spawnedNs = monotonicNs();
    const int error = posix_spawnp(&child.pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (out == Stdout::Capture)
        close(pipeFds[1]);
    if (error != 0) {
        if (out == Stdout::Capture)
            close(pipeFds[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    }
    child.out = pipeFds[0];
    return child;
}

std::optional<std::string> readLine(Child& child, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const std::size_t end = child.pending.find('\n'); end != std::string::npos) {
            std::string line = child.pending.substr(0, end);
            child.pending.erase(0, end + 1);
            return line;
        }
        if (child.out < 0)
            return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        pollfd fd{child.out, POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = read(child.out, buffer, sizeof buffer);
        if (n <= 0) {
            close(child.out);
            child.out = -1;
            continue;
        }
        child.pending.append(buffer, static_cast<std::size_t>(n));
    }
}

int waitExit(Child& child, int timeoutMs)
{
    if (child.pid < 0)
        return -1;
    int status = 0;
    if (timeoutMs < 0) {
        while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
        }
    } else {
        // Not on a timed path: polling costs nothing that is measured.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (waitpid(child.pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child.pid, SIGKILL);
                waitpid(child.pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    child.pid = -1;
    if (child.out >= 0) {
        close(child.out);
        child.out = -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void stop(Child& child)
{
    if (child.pid < 0)
        return;
    kill(child.pid, SIGTERM);
    waitExit(child, 10000);
}

long long timeToExit(const std::vector<std::string>& argv, const std::string& errorLog)
{
    Child child = spawn(argv, Stdout::Discard, errorLog);
    const int status = waitExit(child, -1);
    const long long elapsed = monotonicNs() - child.spawnedNs;
    if (status != 0)
        throw std::runtime_error(argv[0] + " failed with status " + std::to_string(status) + ", see " + errorLog);
    return elapsed;
}

std::string outputOf(const std::vector<std::string>& argv, const std::string& errorLog)
{
    Child child = spawn(argv, Stdout::Capture, errorLog);
    std::string all;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(child.out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        all.append(buffer, static_cast<std::size_t>(n));
    }
    if (waitExit(child, 60000) != 0)
        throw std::runtime_error(argv[0] + " failed, see " + errorLog);
    return all;
}

} // namespace tessaro::bench
