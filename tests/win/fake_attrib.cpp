// Stands in for attrib.exe: appends the arguments it received after its own name, as the
// C runtime split them and as CommandLineToArgvW splits the raw command line, as two
// tab-separated UTF-8 lines to the file that TESSARO_FAKE_ATTRIB_LOG names.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring& text)
{
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::string joined(int argc, wchar_t** argv)
{
    std::wstring line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? L"\t" : L"") + std::wstring(argv[i]);
    return utf8(line) + "\n";
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    int shellCount = 0;
    wchar_t** shellArgs = ::CommandLineToArgvW(::GetCommandLineW(), &shellCount);
    const wchar_t* logName = _wgetenv(L"TESSARO_FAKE_ATTRIB_LOG");
    FILE* log = logName ? _wfopen(logName, L"ab") : nullptr;
    if (!log || !shellArgs)
        return 2;
    std::fputs(joined(argc, argv).c_str(), log);
    std::fputs(joined(shellCount, shellArgs).c_str(), log);
    std::fclose(log);
    ::LocalFree(shellArgs);
    return 0;
}
