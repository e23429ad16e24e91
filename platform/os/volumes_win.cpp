#include "platform/os/windows_support.h"

#include <algorithm>
#include <cwctype>

namespace tessaro::os {

std::vector<Path> volumes()
{
    std::wstring buffer(128, L'\0');
    for (;;) {
        DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.assign(length + 1, L'\0');
    }

    std::vector<Path> result;
    for (std::size_t start = 0; start < buffer.size();) {
        std::size_t end = buffer.find(L'\0', start);
        if (end == std::wstring::npos)
            end = buffer.size();
        if (end > start)
            result.push_back(Path(buffer.substr(start, end - start)));
        start = end + 1;
    }
    return result;
}

Path systemVolume()
{
    return Path(L"C:\\");
}

Path volumeOf(const Path& path)
{
    std::wstring text = path.native();
    const bool qualified = text.size() >= 3 && std::iswalpha(text[0]) && text[1] == L':' && isSeparator(text[2]);
    const bool unc = text.size() >= 2 && isSeparator(text[0]) && isSeparator(text[1]);
    if (!qualified && !unc)
        text = fullPath(path).native();  // "pics\a.jpg", "D:a.jpg" and "\a.jpg" name no root themselves

    std::replace(text.begin(), text.end(), L'/', L'\\');

    // "\\?\C:\..." and "\\?\UNC\server\share\..." are the long-path spellings of the same roots.
    constexpr std::wstring_view longPrefix = L"\\\\?\\";
    if (text.starts_with(longPrefix)) {
        std::wstring_view rest = std::wstring_view(text).substr(longPrefix.size());
        if (rest.size() >= 4 && (rest.starts_with(L"UNC\\") || rest.starts_with(L"unc\\")))
            text = L"\\\\" + std::wstring(rest.substr(4));
        else
            text = std::wstring(rest);
    }

    if (text.size() >= 2 && text[1] == L':' && std::iswalpha(text[0]))
        return Path(std::wstring{static_cast<wchar_t>(std::towupper(text[0])), L':', L'\\'});

    if (text.starts_with(L"\\\\")) {
        // \\server\share\ : the share is the volume.
        std::size_t server = text.find(L'\\', 2);
        if (server == std::wstring::npos)
            return Path(text + L'\\');
        std::size_t share = text.find(L'\\', server + 1);
        if (share == std::wstring::npos)
            return Path(text + L'\\');
        return Path(text.substr(0, share + 1));
    }
    return Path(text);
}

bool volumeReady(const Path& root)
{
    QuietDriveErrors quiet;
    return ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0) != FALSE;
}

bool readerMayBeElsewhere(const Path& folder)
{
    const Path root = volumeOf(folder);
    if (root.native().starts_with(L"\\\\"))
        return true;
    QuietDriveErrors quiet;
    switch (::GetDriveTypeW(root.c_str())) {
    case DRIVE_FIXED:
    case DRIVE_RAMDISK:
    case DRIVE_CDROM:
        return false;
    default:
        // Removable, remote, or unknown: a relative path serves a local reader as well.
        return true;
    }
}

std::u16string volumeLabel(const Path& root)
{
    QuietDriveErrors quiet;
    wchar_t label[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        return {};
    const std::wstring_view name(label);
    return std::u16string(name.begin(), name.end());
}

} // namespace tessaro::os
