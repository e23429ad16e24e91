// libFuzzer harness: the wildcard matcher the file list filters names with, held to the
// plain matcher of the tests, on names as the system stores them: bytes (Linux) and UTF-16
// code units (Windows). The input is a pattern and a name, split at the first NUL byte.
// A crash (abort) is an input on which the two disagree.
// The matcher is a header of the standard library only, so the harness needs no other source;
// tests/fuzz/run.sh builds and runs it with the others.

#include "platform/widgets/wildcard.h"
#include "tests/fuzz/invariant.h"
#include "tests/wildcard_oracle.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// The plain matcher takes time and room in the product of the lengths.
constexpr std::size_t LongestInput = 1024;

template <typename Char>
void compare(std::basic_string_view<Char> pattern, std::basic_string_view<Char> name)
{
    tessaro::test::require(tessaro::wildcardMatch(name, pattern) == tessaro::test::oracleMatch(name, pattern),
                           "both matchers agree");
}

// The same text as UTF-16 code units: ASCII stays, the other bytes become letters far
// beyond it, which no case folding may touch.
std::u16string codeUnits(std::string_view bytes)
{
    std::u16string units;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        units.push_back(static_cast<char16_t>(byte < 0x80 ? byte : 0x3000 + byte));
    }
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (size > LongestInput || split == std::string_view::npos)
        return 0;
    const std::string_view pattern = input.substr(0, split), name = input.substr(split + 1);
    compare(pattern, name);
    const std::u16string pattern16 = codeUnits(pattern), name16 = codeUnits(name);
    compare(std::u16string_view(pattern16), std::u16string_view(name16));
    return 0;
}
