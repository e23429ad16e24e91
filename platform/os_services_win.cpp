// The Windows services: standard library and Windows SDK only, wide APIs throughout, so
// this file builds with MSVC and mingw-w64 and its tests run under Wine without Qt.

#include "platform/os_services.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cwctype>

namespace tessaro::os {

namespace {

// A drive without a medium (an empty card reader, a floppy) otherwise makes the system
// put up "There is no disk in the drive" and wait for the user.
class QuietDriveErrors {
public:
    QuietDriveErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_); }
    ~QuietDriveErrors() { ::SetThreadErrorMode(previous_, nullptr); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    DWORD previous_ = 0;
};

std::wstring toWide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

// The shell's double-NUL-terminated path list with one entry.
std::wstring shellPathList(const Path& path)
{
    std::wstring list = path.native();
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

// The shell copy wants full paths; a relative one is resolved against the current
// directory, which is process-wide state another thread may change.
Path fullPath(const Path& path)
{
    std::error_code ignored;
    Path full = std::filesystem::absolute(path, ignored);
    return full.empty() ? path : full;
}

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

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

// These code pages reject every conversion flag and report substitutions through no
// flag either; the round trip below is what keeps them honest.
bool takesNoUsedDefaultFlag(UINT codePage)
{
    return codePage == CP_UTF7 || codePage == CP_UTF8;
}

std::error_code lastError()
{
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

} // namespace

bool displayAvailable()
{
    // A Windows session always has a desktop to show windows on.
    return true;
}

std::vector<Volume> volumes()
{
    std::vector<Volume> result;
    std::wstring buffer(128, L'\0');
    for (;;) {
        DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0)
            return result;
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.assign(length + 1, L'\0');
    }

    QuietDriveErrors quiet;
    for (std::size_t start = 0; start < buffer.size();) {
        std::size_t end = buffer.find(L'\0', start);
        if (end == std::wstring::npos)
            end = buffer.size();
        if (end > start) {
            std::wstring root = buffer.substr(start, end - start);
            wchar_t label[MAX_PATH + 1] = {};
            if (!::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
                label[0] = L'\0';
            std::wstring_view name(label);
            result.push_back({Path(root), std::u16string(name.begin(), name.end())});
        }
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

std::optional<Path> documentsFolder()
{
    return specialFolder(CSIDL_PERSONAL);
}

std::optional<Path> picturesFolder()
{
    return specialFolder(CSIDL_MYPICTURES);
}

std::string systemEncoding()
{
    return std::to_string(::GetACP());
}

std::optional<std::string> encodeExactly(std::u16string_view text, const std::string& encoding)
{
    UINT codePage = 0;
    const char* first = encoding.data();
    const char* last = first + encoding.size();
    auto [end, error] = std::from_chars(first, last, codePage);
    if (error != std::errc{} || end != last || encoding.empty())
        return std::nullopt;
    if (text.empty())
        return std::string();

    const std::wstring wide = toWide(text);
    const int wideLength = static_cast<int>(wide.size());

    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = takesNoUsedDefaultFlag(codePage) ? nullptr : &usedDefault;
    DWORD flags = takesNoUsedDefaultFlag(codePage) ? 0 : WC_NO_BEST_FIT_CHARS;

    int length = ::WideCharToMultiByte(codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, usedDefaultOut);
    if (length == 0 && flags != 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        // The ISO-2022 family, ISCII and the symbol page take no flags at all.
        flags = 0;
        length = ::WideCharToMultiByte(codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, usedDefaultOut);
    }
    if (length <= 0 || usedDefault)
        return std::nullopt;

    std::string bytes(static_cast<std::size_t>(length), '\0');
    length = ::WideCharToMultiByte(codePage, flags, wide.data(), wideLength, bytes.data(), length, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault)
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length));

    // Best-fit tables and lone surrogates slip past the flags on some code pages (UTF-8
    // turns a lone surrogate into U+FFFD without a word): reading the bytes back is the proof.
    const int backLength = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (backLength != wideLength)
        return std::nullopt;
    std::wstring back(static_cast<std::size_t>(backLength), L'\0');
    if (::MultiByteToWideChar(codePage, 0, bytes.data(), length, back.data(), backLength) != backLength || back != wide)
        return std::nullopt;
    return bytes;
}

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

std::error_code openFolder(const Path& folder, NativeWindow owner)
{
    HINSTANCE instance = ::ShellExecuteW(reinterpret_cast<HWND>(owner), L"open", folder.c_str(), L"", L"", SW_SHOW);
    const auto code = reinterpret_cast<INT_PTR>(instance);
    if (code > 32)
        return {};

    // ShellExecute's own numbers; the low ones are Win32 error codes already.
    int error = ERROR_GEN_FAILURE;
    switch (code) {
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
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        error = ERROR_NO_ASSOCIATION;
        break;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        error = ERROR_DDE_FAIL;
        break;
    case SE_ERR_DLLNOTFOUND:
        error = ERROR_DLL_NOT_FOUND;
        break;
    default:
        break;
    }
    return {error, std::system_category()};
}

std::optional<ColourRef> chooseColour(NativeWindow owner, CustomColours& custom)
{
    COLORREF colours[16] = {};
    for (std::size_t i = 0; i < 16; ++i) {
        colours[i] = static_cast<COLORREF>(custom[4 * i]) | static_cast<COLORREF>(custom[4 * i + 1]) << 8 |
                     static_cast<COLORREF>(custom[4 * i + 2]) << 16 | static_cast<COLORREF>(custom[4 * i + 3]) << 24;
    }

    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof(CHOOSECOLORW);
    dialog.hwndOwner = reinterpret_cast<HWND>(owner);
    dialog.hInstance = reinterpret_cast<HWND>(::GetModuleHandleW(nullptr));  // typed HWND in the SDK
    dialog.rgbResult = 0;
    dialog.lpCustColors = colours;
    dialog.Flags = 0;
    dialog.lCustData = 0;
    dialog.lpfnHook = nullptr;
    dialog.lpTemplateName = nullptr;

    if (!::ChooseColorW(&dialog))
        return std::nullopt;

    for (std::size_t i = 0; i < 16; ++i) {
        for (std::size_t b = 0; b < 4; ++b)
            custom[4 * i + b] = static_cast<std::uint8_t>(colours[i] >> (8 * b));
    }
    return static_cast<ColourRef>(dialog.rgbResult);
}

} // namespace tessaro::os
