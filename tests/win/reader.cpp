// A Windows reader of a folder's decoration, reading as the file manager does: the two keys
// through the profile API from <folder>\desktop.ini, a relative picture path joined to the
// folder, the picture loaded through OLE, the colour parsed by wcstol, and the attributes the
// shell looks at. Run under Wine on any folder, it prints one UTF-8 line for a script to
// compare:
//
//   image=<value> path=<joined path> picture=<loaded|failed|none> size=<WxH|-> text=<value>
//   colour=<0xBBGGRR|invalid|none> folder_system=<yes|no|missing> ini_hidden=... ini_system=...
//
// Given a section and a key after the folder (`reader FOLDER .ShellClassInfo InfoTip`), it adds
// " extra=<their value>", to see that other settings are still read.
//
// Values are escaped as result_line.h says.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <ole2.h>
#include <olectl.h>
#include <shlwapi.h>

#include "result_line.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const wchar_t section[] = L"{BE098140-A513-11D0-A3A4-00C04FD706EC}";

std::string escaped(const std::wstring& text)
{
    std::string utf8(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.pop_back();
    return escapedValue(utf8);
}

// What GetPrivateProfileStringW hands over, then trimmed as the shell trims it.
std::wstring profileValue(const std::wstring& ini, const wchar_t* key, bool trim, const wchar_t* from = section)
{
    wchar_t value[MAX_PATH * 2] = L"";
    ::GetPrivateProfileStringW(from, key, L"", value, MAX_PATH * 2, ini.c_str());
    if (trim)
        ::StrTrimW(value, L" \t");
    return value;
}

// "picture=... size=...".
std::string picture(const std::wstring& path)
{
    if (path.empty())
        return "picture=none size=-";
    IStream* stream = nullptr;
    if (FAILED(::SHCreateStreamOnFileW(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, &stream)))
        return "picture=failed size=-";
    IPicture* loaded = nullptr;
    const HRESULT result = ::OleLoadPicture(stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&loaded));
    stream->Release();
    if (FAILED(result) || !loaded)
        return "picture=failed size=-";
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    loaded->get_Width(&width);
    loaded->get_Height(&height);
    loaded->Release();
    // HIMETRIC to pixels at 96 dots per inch, as the picture was made.
    return "picture=loaded size=" + std::to_string(::MulDiv(width, 96, 2540)) + "x" + std::to_string(::MulDiv(height, 96, 2540));
}

std::string colour(const std::wstring& text)
{
    if (text.empty())
        return "none";
    wchar_t* end = nullptr;
    const long value = std::wcstol(text.c_str(), &end, 0);
    if (end == text.c_str() || *end != L'\0')
        return "invalid";
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%06lx", static_cast<unsigned long>(value) & 0xFFFFFFul);
    return hex;
}

std::string attribute(const std::wstring& path, DWORD bit)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "missing";
    return attributes & bit ? "yes" : "no";
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 2 && argc != 4) {
        std::fputs("usage: reader FOLDER [SECTION KEY]\n", stderr);
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring folder = argv[1];
    wchar_t ini[MAX_PATH];
    ::lstrcpynW(ini, folder.c_str(), MAX_PATH);
    ::PathAppendW(ini, L"desktop.ini");

    const std::wstring image = profileValue(ini, L"IconArea_Image", false);
    std::wstring path = profileValue(ini, L"IconArea_Image", true);
    if (!path.empty() && ::PathIsRelativeW(path.c_str())) {
        wchar_t joined[MAX_PATH * 2];
        ::lstrcpynW(joined, folder.c_str(), MAX_PATH * 2);
        ::PathAppendW(joined, path.c_str());
        path = joined;
    }
    const std::wstring text = profileValue(ini, L"IconArea_Text", false);

    const std::string line = "image=" + escaped(image) + " path=" + escaped(path) + " " + picture(path)
        + " text=" + escaped(text) + " colour=" + colour(profileValue(ini, L"IconArea_Text", true))
        + " folder_system=" + attribute(folder, FILE_ATTRIBUTE_SYSTEM) + " ini_hidden=" + attribute(ini, FILE_ATTRIBUTE_HIDDEN)
        + " ini_system=" + attribute(ini, FILE_ATTRIBUTE_SYSTEM) + (argc == 4 ? " extra=" + escaped(profileValue(ini, argv[3], false, argv[2])) : "")
        + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    ::CoUninitialize();
    return 0;
}
