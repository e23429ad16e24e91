#include "platform/os/os_services.h"

#include <iconv.h>
#include <langinfo.h>

namespace tessaro::os {

std::string systemEncoding()
{
    return nl_langinfo(CODESET);
}

std::optional<std::string> encodeExactly(std::u16string_view text, const std::string& encoding)
{
    iconv_t converter = iconv_open(encoding.c_str(), "UTF-16LE");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;

    std::string input;
    input.reserve(text.size() * 2);
    for (char16_t unit : text) {
        input += static_cast<char>(unit & 0xFF);
        input += static_cast<char>(unit >> 8);
    }
    std::string output(input.size() * 2 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    // Without //TRANSLIT glibc refuses a character the target lacks (EILSEQ) instead of
    // substituting one; the final call flushes any shift state.
    const bool ok = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)
        && iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    if (!ok)
        return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
}

} // namespace tessaro::os
