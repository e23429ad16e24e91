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

int refused(ini::Refusal why)
{
    std::fprintf(stderr, "refused %d\n", static_cast<int>(why));
    return 1;
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
    std::string out;
    if (command == "read") {
        const auto values = ini::read(bytes, codec);
        if (!values)
            return refused(values.refusal);
        out = "image=" + escaped(values.value->image.value_or(u"")) + " text=" + escaped(values.value->text.value_or(u"")) + "\n";
    } else if (command == "merge") {
        const auto merged = ini::merge(bytes, fromUtf8(argv[3]), fromUtf8(argv[4]), codec);
        if (!merged)
            return refused(merged.refusal);
        out = merged.value->bytes;
    } else {
        const auto removed = ini::remove(bytes, codec);
        if (!removed)
            return refused(removed.refusal);
        out = removed.value->file.bytes;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
