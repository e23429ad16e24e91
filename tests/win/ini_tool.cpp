// The desktop.ini functions on the command line (built for this machine, with the reader's code
// page as the program has it on Linux), so that reader.sh can hold them against the Windows
// reader under Wine:
//   ini_tool read FILE                 prints "image=<value> text=<value>" as reader.exe does
//   ini_tool merge FILE IMAGE TEXT     writes the merged file to standard output
//   ini_tool remove FILE               writes the file without the decoration to standard output
// A file the functions refuse prints "refused <number>" on standard error and exits with 1.

#include "decoration/desktop_ini.h"
#include "decoration/reader_codec.h"
#include "tests/win/result_line.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace ini = tessaro::ini;

namespace {

std::u16string fromUtf8(std::string_view bytes)
{
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < bytes.size(); ++k)
            c = c << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        i += length;
        if (c >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(c);
        }
    }
    return text;
}

// As reader.exe prints a value.
std::string escaped(std::u16string_view text)
{
    std::string utf8;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            utf8 += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            utf8 += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                     static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return escapedValue(utf8);
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
