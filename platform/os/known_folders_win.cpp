#include "platform/os/windows_support.h"

#include <shlobj.h>
#include <algorithm>

namespace tessaro::os {
namespace {

std::optional<Path> specialFolder(int csidl)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
        return std::nullopt;
    std::wstring folder(buffer, std::find(buffer, buffer + MAX_PATH, L'\0'));
    if (folder.empty())
        return std::nullopt;
    return Path(folder);
}

} // namespace

std::optional<Path> documentsFolder()
{
    return specialFolder(CSIDL_PERSONAL);
}

std::optional<Path> picturesFolder()
{
    return specialFolder(CSIDL_MYPICTURES);
}

} // namespace tessaro::os
