#include "platform/os/windows_support.h"

namespace tessaro::os {

std::error_code markSystem(const Path& folder)
{
    // A trailing backslash before the closing quote would escape it for the child's
    // argument parser; only a drive root keeps its one.
    std::wstring target = folder.native();
    while (target.size() > 3 && isSeparator(target.back()))
        target.pop_back();

    std::wstring commandLine = L"Attrib +s \"" + target + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};

    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return lastError();

    // The caller refreshes the folder next: the attribute has to be there by then.
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {};
}

} // namespace tessaro::os
