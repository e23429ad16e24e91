// libFuzzer: the System bit added to any user.DOSATTRIB value. A value that is updated keeps
// its length and every byte but the attribute word's lowest byte and the text's last digit,
// reads back with System added to what it held, stays the same when marked again, and
// says System in the text Wine reads when it has one; Hidden and System together (desktop.ini's)
// keep the length and read back as well. A value that is refused is not read either.

#include "platform/os/dos_attributes.h"
#include "tests/fuzz/invariant.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

using tessaro::test::require;

namespace {

// An oracle of its own, so that a mistake in the program's digit reading cannot hide here.
int hexValue(char c)
{
    const char digit[2] = {c, '\0'};
    return std::isxdigit(static_cast<unsigned char>(c)) ? static_cast<int>(std::strtol(digit, nullptr, 16)) : -1;
}

// The System bit added to a byte of the binary word, or to a hex digit of the text.
bool isSystemAdded(char before, char after)
{
    const auto b = static_cast<unsigned char>(before), a = static_cast<unsigned char>(after);
    if (a == (b | tessaro::dos::System))
        return true;
    const int digit = hexValue(before);
    return digit >= 0 && hexValue(after) == (digit | static_cast<int>(tessaro::dos::System));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tessaro;
    const std::string value(reinterpret_cast<const char*>(data), size);
    const auto updated = dos::withBits(value, dos::System);
    const auto before = dos::attributesOf(value);
    require(updated.has_value() == before.has_value(), "a value is either updated and read, or neither");
    if (!updated)
        return 0;

    require(updated->size() == value.size(), "the length is kept");
    int changed = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if ((*updated)[i] != value[i]) {
            ++changed;
            require(isSystemAdded(value[i], (*updated)[i]), "a changed byte only gains the System bit");
        }
    }
    require(changed <= 2, "at most the word's byte and the text's digit change");
    require(dos::attributesOf(*updated) == (*before | dos::System), "reads back with System added");
    require(dos::withBits(*updated, dos::System) == updated, "marking again changes nothing");

    // desktop.ini's Hidden and System: the same length, both read back.
    const auto both = dos::withBits(value, dos::Hidden | dos::System);
    require(both && both->size() == value.size(), "Hidden and System keep the length too");
    require(dos::attributesOf(*both) == (*before | dos::Hidden | dos::System), "reads back with Hidden and System added");

    const std::string text = updated->substr(0, updated->find('\0'));
    if (!text.empty())
        require(std::strtoul(text.c_str(), nullptr, 16) & dos::System, "the text Wine reads says System");
    return 0;
}
