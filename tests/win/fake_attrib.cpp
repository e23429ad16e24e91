// Stands in for attrib.exe: appends the arguments after its own name, as the C runtime
// split them and as CommandLineToArgvW splits the raw command line, as two tab-separated
// UTF-8 lines to the file that TESSARO_FAKE_ATTRIB_LOG names.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

void writeLine(FILE* log, int argc, wchar_t** argv)
{
    std::wstring line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? L"\t" : L"") + std::wstring(argv[i]);
    line += L"\n";
    std::string bytes(line.size() * 3, '\0');
    bytes.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                                                bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    std::fputs(bytes.c_str(), log);
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
    writeLine(log, argc, argv);
    writeLine(log, shellCount, shellArgs);
    std::fclose(log);
    ::LocalFree(shellArgs);
    return 0;
}
