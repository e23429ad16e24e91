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

#include <string>
#include <string_view>
#include <system_error>

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

} // namespace tessaro::os
