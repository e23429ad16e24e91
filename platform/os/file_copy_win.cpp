#include "platform/os/windows_support.h"

#include <shellapi.h>

namespace tessaro::os {
namespace {

// The shell's double-NUL-terminated path list with one entry.
std::wstring shellPathList(const Path& path)
{
    std::wstring list = path.native();
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

} // namespace

std::error_code copyToFolder(const Path& source, const Path& folder, const ConfirmReplace& /*confirm*/)
{
    // The shell asks about an existing file itself, with the dialog users know.
    const std::wstring from = shellPathList(fullPath(source));
    const std::wstring to = shellPathList(fullPath(folder));

    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = 0;
    operation.fAnyOperationsAborted = FALSE;
    operation.hNameMappings = nullptr;
    operation.lpszProgressTitle = L"\uFF8C\uFF67\uFF72\uFF99\uFF7A\uFF8B\uFF9F\uFF70";

    // The shell has already shown the user any failure; there is nothing to add.
    ::SHFileOperationW(&operation);
    return {};
}

} // namespace tessaro::os
