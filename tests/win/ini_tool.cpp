// The desktop.ini functions on the command line (built for this machine, with the reader's code
// page as the program has it on Linux), so that reader.sh can hold them against the Windows
// reader under Wine:
//   ini_tool read FILE                 prints "image=<value> text=<value>" as reader.exe does
//   ini_tool merge FILE IMAGE TEXT     writes the merged file to standard output
//   ini_tool remove FILE               writes the file without the decoration to standard output
// A file the functions refuse prints "refused <number>" on standard error and exits with 1.

#include "decoration/desktop_ini.h"
#include "decoration/reader_codec.h"
#include "platform/os/os_services.h"
#include "tests/win/result_line.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace ini = tessaro::ini;

namespace {

std::u16string fromUtf8(std::string_view bytes)
{
    return tessaro::os::decodeExactly(bytes, "UTF-8").value_or(u"");
}

// As reader.exe prints a value; one holding a lone surrogate (U+FFFD there) as U+FFFD alone.
std::string escaped(std::u16string_view text)
{
    return escapedValue(tessaro::os::encodeExactly(text, "UTF-8").value_or("\xEF\xBF\xBD"));
}

// Writes what `result` holds, as `bytesOf` gives it, or says why the file was refused.
template <typename Result, typename BytesOf>
int give(const Result& result, BytesOf bytesOf)
{
    if (!result) {
        std::fprintf(stderr, "refused %d\n", static_cast<int>(result.refusal));
        return 1;
    }
    const std::string out = bytesOf(*result.value);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 2 ? argv[1] : "";
    if (!((command == "read" && argc == 3) || (command == "merge" && argc == 5) || (command == "remove" && argc == 3))) {
        std::fputs("usage: ini_tool read FILE | merge FILE IMAGE TEXT | remove FILE\n", stderr);
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const ini::Codec& codec = tessaro::readerCodec();
    if (command == "read") {
        return give(ini::read(bytes, codec), [](const auto& values) {
            return "image=" + escaped(values.image.value_or(u"")) + " text=" + escaped(values.text.value_or(u"")) + "\n";
        });
    }
    if (command == "merge")
        return give(ini::merge(bytes, fromUtf8(argv[3]), fromUtf8(argv[4]), codec), [](const auto& merged) { return merged.bytes; });
    return give(ini::remove(bytes, codec), [](const auto& removed) { return removed.file.bytes; });
}
