#include "platform/os/os_services.h"

#include <cerrno>
#include <string>

#include <iconv.h>
#include <langinfo.h>

namespace tessaro::os {
namespace {

// `input` converted by iconv; empty when a byte sequence is invalid or a character has no
// representation in the target. Without //TRANSLIT glibc refuses such a character (EILSEQ)
// instead of substituting one, though some it maps one way without a word (below).
std::optional<std::string> convert(std::string_view input, const char* to, const char* from)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string in(input);
    std::string output(in.size() * 2 + 16, '\0');
    char* inAt = in.data();
    std::size_t inLeft = in.size();
    std::size_t written = 0;
    // Called once more without input, iconv writes what returns a stateful encoding to its
    // initial shift state.
    const auto step = [&](char** source, std::size_t* sourceLeft) {
        for (;;) {
            char* out = output.data() + written;
            std::size_t outLeft = output.size() - written;
            const bool done = iconv(converter, source, sourceLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
            written = output.size() - outLeft;
            if (done || errno != E2BIG)
                return done;
            output.resize(output.size() * 2);
        }
    };
    const bool ok = step(&inAt, &inLeft) && step(nullptr, nullptr);
    iconv_close(converter);
    if (!ok)
        return std::nullopt;
    output.resize(written);
    return output;
}

std::string toUtf16Le(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::u16string fromUtf16Le(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}

} // namespace

std::string systemEncoding()
{
    return nl_langinfo(CODESET);
}

// glibc maps some characters one way without an error (EUC-JP writes U+00A5 as 5C, which
// reads back as a backslash): only a round trip proves the conversion exact, in both
// directions.
std::optional<std::string> encodeExactly(std::u16string_view text, const std::string& encoding)
{
    const std::string wide = toUtf16Le(text);
    auto bytes = convert(wide, encoding.c_str(), "UTF-16LE");
    if (!bytes || convert(*bytes, "UTF-16LE", encoding.c_str()) != wide)
        return std::nullopt;
    return bytes;
}

std::optional<std::u16string> decodeExactly(std::string_view bytes, const std::string& encoding)
{
    const auto wide = convert(bytes, "UTF-16LE", encoding.c_str());
    if (!wide || convert(*wide, encoding.c_str(), "UTF-16LE") != bytes)
        return std::nullopt;
    return fromUtf16Le(*wide);
}

std::string readerEncoding()
{
    // Never the locale's: Windows reads the file in its own ANSI code page, whatever this
    // machine uses. glibc's CP932 reads every byte sequence as Windows' code page 932 does,
    // but 0x80, which it refuses.
    return "CP932";
}

bool readerEncodingCertain()
{
    return false;
}

std::bitset<256> leadBytes(const std::string& encoding)
{
    std::bitset<256> leads;
    iconv_t converter = iconv_open("UTF-16LE", encoding.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return leads;
    const auto converts = [converter](std::string bytes) {
        char out[8];
        char* inAt = bytes.data();
        char* outAt = out;
        std::size_t inLeft = bytes.size(), outLeft = sizeof out;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        return iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != static_cast<std::size_t>(-1) ? 0 : errno;
    };
    // A lead byte is an incomplete character on its own (EINVAL), whether or not its row holds
    // any character (Windows takes the next byte with it all the same). UTF-8 has such bytes
    // too, but none of its characters has a second byte below 0x80, as every double-byte
    // page's have.
    bool pairs = false;
    for (int byte = 0x80; byte < 0x100; ++byte) {
        const std::string lead(1, static_cast<char>(byte));
        if (converts(lead) != EINVAL)
            continue;
        leads.set(static_cast<std::size_t>(byte));
        for (char second = 0x40; second < 0x7F && !pairs; ++second)
            pairs = converts(lead + second) == 0;
    }
    if (!pairs)
        leads.reset();
    iconv_close(converter);
    return leads;
}

} // namespace tessaro::os
