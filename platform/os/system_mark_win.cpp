#include "platform/os/system_mark_win.h"

#include "platform/os/windows_support.h"

namespace tessaro::os {

std::wstring attribCommandLine(const Path& folder)
{
    // A backslash before the closing quote escapes it for the child's argument parser
    // ("D:\" reads as D:"), so trailing separators go, except the one that makes a drive's
    // root a root.
    std::wstring target = folder.native();
    while (target.size() > 1 && isSeparator(target.back()) && target[target.size() - 2] != L':')
        target.pop_back();
    // A drive's root holds no space to quote: unquoted, no parser can misread it.
    if (!target.empty() && isSeparator(target.back()))
        return L"Attrib +s " + target;
    return L"Attrib +s \"" + target + L"\"";
}

std::error_code runHiddenAndWait(const Path& program, std::wstring commandLine)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};

    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process))
        return lastError();

    // The caller refreshes the folder next: the attribute has to be there by then.
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {};
}

std::error_code markSystem(const Path& folder)
{
    // By its full path: a bare "Attrib" is looked for in the program's folder and the
    // current folder before the system's, and whoever can write there could put another.
    std::wstring system(MAX_PATH, L'\0');
    UINT length = ::GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    if (length >= system.size()) {
        system.resize(length);
        length = ::GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    }
    if (length == 0)
        return lastError();
    if (length >= system.size())
        return {ERROR_INSUFFICIENT_BUFFER, std::system_category()};
    system.resize(length);
    return runHiddenAndWait(Path(system) / L"attrib.exe", attribCommandLine(folder));
}

std::error_code readOnly(const Path& file, bool& readOnly)
{
    const DWORD attributes = ::GetFileAttributesW(fullPath(file).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastError();
    readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return {};
}

std::error_code markHiddenSystem(const Path& file)
{
    const Path full = fullPath(file);
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastError();
    // SetFileAttributesW would pass the attributes on to what a link points at.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return {ERROR_INVALID_PARAMETER, std::system_category()};
    constexpr DWORD wanted = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((attributes & wanted) == wanted)
        return {};
    // Only these can be set; FILE_ATTRIBUTE_NORMAL is valid alone only.
    constexpr DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (!::SetFileAttributesW(full.c_str(), (attributes & settable) | wanted))
        return lastError();
    return {};
}

} // namespace tessaro::os
