#pragma once

// Small pieces shared by the Windows service files. Standard library and Windows SDK only.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/os/os_services.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tessaro::os {

// A drive without a medium (an empty card reader, a floppy) otherwise makes the system
// put up "There is no disk in the drive" and wait for the user.
class QuietDriveErrors {
public:
    QuietDriveErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &m_previous); }
    ~QuietDriveErrors() { ::SetThreadErrorMode(m_previous, nullptr); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    DWORD m_previous = 0;
};

inline std::error_code lastError()
{
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

inline bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The shell wants full paths; a relative one is resolved against the current directory,
// which is process-wide state another thread may change.
inline Path fullPath(const Path& path)
{
    std::error_code ignored;
    Path full = std::filesystem::absolute(path, ignored);
    return full.empty() ? path : full;
}

// A handle closed when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    HANDLE release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

private:
    HANDLE m_handle;
};

// Bits for a name that only needs to be unlikely to collide.
inline std::uint64_t randomBits()
{
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

// Gives the file open as `handle` (with DELETE access) the full path `to`, never over what is
// there: ERROR_ALREADY_EXISTS when it is taken.
inline std::error_code renameOpen(HANDLE handle, const Path& to)
{
    const std::wstring& name = to.native();
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    name.copy(info->FileName, name.size());
    if (!::SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
        return lastError();
    return {};
}

// Deletes the file open as `handle` (with DELETE access) once the handle is closed.
inline std::error_code deleteOpen(HANDLE handle)
{
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info))
        return lastError();
    return {};
}

} // namespace tessaro::os
