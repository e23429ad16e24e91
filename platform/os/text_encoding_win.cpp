#include "platform/os/windows_support.h"

#include <charconv>

namespace tessaro::os {
namespace {

// These code pages reject every conversion flag and report substitutions through no
// flag either; the round trip below is what keeps them honest.
bool takesNoUsedDefaultFlag(UINT codePage)
{
    return codePage == CP_UTF7 || codePage == CP_UTF8;
}

std::wstring toWide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

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

} // namespace tessaro::os
