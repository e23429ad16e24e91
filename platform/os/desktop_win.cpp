#include "platform/os/windows_support.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

namespace tessaro::os {

bool displayAvailable()
{
    // A Windows session always has a desktop to show windows on.
    return true;
}

void endProgram(int code)
{
    std::fflush(nullptr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    std::_Exit(code); // not reached
}

std::error_code openFolder(const Path& folder, NativeWindow owner)
{
    HINSTANCE instance = ::ShellExecuteW(reinterpret_cast<HWND>(owner), L"open", folder.c_str(), L"", L"", SW_SHOW);
    const auto code = reinterpret_cast<INT_PTR>(instance);
    if (code > 32)
        return {};

    // ShellExecute's own numbers; the low ones are Win32 error codes already.
    int error = ERROR_GEN_FAILURE;
    switch (code) {
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return make_error_code(Failure::NoFileManager);
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
    case SE_ERR_DLLNOTFOUND:
        return make_error_code(Failure::OpenerFailed);
    case 0:
    case SE_ERR_OOM:
        error = ERROR_NOT_ENOUGH_MEMORY;
        break;
    case SE_ERR_FNF:
        error = ERROR_FILE_NOT_FOUND;
        break;
    case SE_ERR_PNF:
        error = ERROR_PATH_NOT_FOUND;
        break;
    case SE_ERR_ACCESSDENIED:
        error = ERROR_ACCESS_DENIED;
        break;
    case ERROR_BAD_FORMAT:
        error = ERROR_BAD_FORMAT;
        break;
    case SE_ERR_SHARE:
        error = ERROR_SHARING_VIOLATION;
        break;
    default:
        break;
    }
    return {error, std::system_category()};
}

void notifyFolderChanged(const Path& folder)
{
    // A window of the file manager that shows the folder reads its decoration only when told.
    ::SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSHNOWAIT, fullPath(folder).c_str(), nullptr);
}

} // namespace tessaro::os
