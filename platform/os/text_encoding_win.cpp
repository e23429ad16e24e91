#include "platform/os/windows_support.h"

#include <charconv>
#include <climits>

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

// A code page as systemEncoding() names it: its number, nothing else.
std::optional<UINT> codePageOf(const std::string& encoding)
{
    UINT codePage = 0;
    const char* first = encoding.data();
    const char* last = first + encoding.size();
    auto [end, error] = std::from_chars(first, last, codePage);
    if (error != std::errc{} || end != last || encoding.empty())
        return std::nullopt;
    return codePage;
}

} // namespace

std::string systemEncoding()
{
    return std::to_string(::GetACP());
}

std::optional<std::string> encodeExactly(std::u16string_view text, const std::string& encoding)
{
    const auto codePage = codePageOf(encoding);
    if (!codePage)
        return std::nullopt;
    if (text.empty())
        return std::string();

    const std::wstring wide = toWide(text);
    const int wideLength = static_cast<int>(wide.size());

    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = takesNoUsedDefaultFlag(*codePage) ? nullptr : &usedDefault;
    DWORD flags = takesNoUsedDefaultFlag(*codePage) ? 0 : WC_NO_BEST_FIT_CHARS;

    int length = ::WideCharToMultiByte(*codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, usedDefaultOut);
    if (length == 0 && flags != 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        // The ISO-2022 family, ISCII and the symbol page take no flags at all.
        flags = 0;
        length = ::WideCharToMultiByte(*codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, usedDefaultOut);
    }
    if (length <= 0 || usedDefault)
        return std::nullopt;

    std::string bytes(static_cast<std::size_t>(length), '\0');
    length = ::WideCharToMultiByte(*codePage, flags, wide.data(), wideLength, bytes.data(), length, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault)
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length));

    // Best-fit tables and lone surrogates slip past the flags on some code pages (UTF-8
    // turns a lone surrogate into U+FFFD without a word): reading the bytes back is the proof.
    const int backLength = ::MultiByteToWideChar(*codePage, 0, bytes.data(), length, nullptr, 0);
    if (backLength != wideLength)
        return std::nullopt;
    std::wstring back(static_cast<std::size_t>(backLength), L'\0');
    if (::MultiByteToWideChar(*codePage, 0, bytes.data(), length, back.data(), backLength) != backLength || back != wide)
        return std::nullopt;
    return bytes;
}

std::optional<std::u16string> decodeExactly(std::string_view bytes, const std::string& encoding)
{
    const auto codePage = codePageOf(encoding);
    if (!codePage || bytes.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    if (bytes.empty())
        return std::u16string();

    const int byteLength = static_cast<int>(bytes.size());
    DWORD flags = MB_ERR_INVALID_CHARS;
    int length = ::MultiByteToWideChar(*codePage, flags, bytes.data(), byteLength, nullptr, 0);
    if (length == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        // The ISO-2022 family, UTF-7 and the symbol page take no flags; the round trip
        // below still catches the substitute they write for an invalid byte.
        flags = 0;
        length = ::MultiByteToWideChar(*codePage, flags, bytes.data(), byteLength, nullptr, 0);
    }
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (::MultiByteToWideChar(*codePage, flags, bytes.data(), byteLength, wide.data(), length) != length)
        return std::nullopt;

    // Some bytes read as a character that is written back as other bytes (932 reads the
    // NEC and IBM copies of a kanji alike): only bytes that come back unchanged are exact.
    std::u16string text(wide.begin(), wide.end());
    const auto back = encodeExactly(text, encoding);
    if (!back || *back != bytes)
        return std::nullopt;
    return text;
}

std::string readerEncoding()
{
    return systemEncoding();
}

bool readerEncodingCertain()
{
    return true;
}

std::bitset<256> leadBytes(const std::string& encoding)
{
    std::bitset<256> leads;
    CPINFO info{};
    const auto codePage = codePageOf(encoding);
    if (!codePage || !::GetCPInfo(*codePage, &info) || info.MaxCharSize != 2)
        return leads;
    for (std::size_t range = 0; range + 1 < MAX_LEADBYTES && info.LeadByte[range] != 0; range += 2) {
        for (unsigned byte = info.LeadByte[range]; byte <= info.LeadByte[range + 1]; ++byte)
            leads.set(byte);
    }
    return leads;
}

} // namespace tessaro::os
