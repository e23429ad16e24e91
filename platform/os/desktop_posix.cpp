#include "platform/os/os_services.h"

#include "platform/os/posix_fd.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tessaro::os {
namespace {

// What xdg-open's exit status says, as its manual lists it.
std::error_code openerResult(int status)
{
    if (!WIFEXITED(status))
        return make_error_code(Failure::OpenerFailed);
    switch (WEXITSTATUS(status)) {
    case 0: return {};
    case 2: return systemError(ENOENT);
    case 3: return make_error_code(Failure::NoFileManager);
    default: return make_error_code(Failure::OpenerFailed);
    }
}

} // namespace

void endProgram(int code)
{
    std::exit(code);
}

bool displayAvailable()
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

std::error_code openFolder(const Path& folder, NativeWindow)
{
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec))
        return systemError(ENOENT);

    // xdg-open hands the folder to whatever file manager the desktop has set up.
    std::string opener = "xdg-open", target = folder.native();
    char* argv[] = {opener.data(), target.data(), nullptr};
    pid_t pid = 0;
    if (const int error = ::posix_spawnp(&pid, opener.c_str(), nullptr, nullptr, argv, environ)) {
        return error == ENOENT ? make_error_code(Failure::NoFileManager) : systemError(error);
    }

    // Most desktops' openers return as soon as the file manager has the folder. Without a
    // desktop of its own, xdg-open runs the file manager itself and stays until it closes:
    // still running after a moment means it got that far.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return openerResult(status);
        if (done < 0 && errno != EINTR)
            return lastError();
        std::this_thread::sleep_for(10ms);
    }
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return {};
}

void notifyFolderChanged(const Path&)
{
}

} // namespace tessaro::os
