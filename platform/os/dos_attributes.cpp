#include "platform/os/dos_attributes.h"

#include <cstddef>

namespace tessaro::dos {

namespace {

// Samba's blob is NDR: little-endian, each field aligned to its own size (at most 4 here,
// because NDR aligns its 64-bit times to 4 bytes).
struct Blob {
    std::size_t hexEnd = 0;      // one past the last character of attrib_hex (its NUL is here)
    std::size_t attribAt = 0;    // the attrib u32 of the version's arm
};

std::size_t alignUp(std::size_t offset, std::size_t to)
{
    return (offset + to - 1) / to * to;
}

std::uint32_t readLe32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

std::uint16_t readLe16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at])
                                      | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

void writeLe32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "0x" and one or more hex digits that fit in 32 bits, nothing else. Samba's sscanf and
// Wine's strtol would accept more, but a value that is not exactly this is not one we
// wrote or either reader wrote, so it is safer to leave alone than to reinterpret.
std::optional<std::uint32_t> parseHexText(std::string_view text)
{
    if (text.size() < 3 || text[0] != '0' || text[1] != 'x')
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text.substr(2)) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<std::uint64_t>(digit);
        if (value > 0xFFFF'FFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// Adds `bits` of the last digit to hex text in place. OR-ing them in never carries, so the
// text keeps its length and every other character.
void addToHexText(std::string& bytes, std::size_t lastDigitAt, std::uint32_t bits)
{
    const char old = bytes[lastDigitAt];
    const int digit = hexDigit(old) | static_cast<int>(bits);
    const char* digits = (old >= 'A' && old <= 'F') ? "0123456789ABCDEF" : "0123456789abcdef";
    bytes[lastDigitAt] = digits[digit];
}

// The fixed part of each version's arm, in bytes, and where its attrib field sits.
struct Arm {
    std::size_t size;
    std::size_t attribOffset;
};

std::optional<Arm> armOf(std::uint16_t version)
{
    switch (version) {
    case 1: return Arm{40, 0}; // attrib, ea_size, size, alloc_size, create_time, change_time
    case 2: return Arm{52, 4}; // flags, attrib, ea_size, 5 x 8 bytes, then the name
    case 3: return Arm{44, 4}; // valid_flags, attrib, ea_size, 4 x 8 bytes
    case 4: return Arm{24, 4}; // valid_flags, attrib, itime, create_time
    case 5: return Arm{16, 4}; // valid_flags, attrib, create_time
    default: return std::nullopt;
    }
}

// Where the pieces of an NDR blob are; empty when the value is not a complete blob of a
// known version. The caller has already ruled out the text form.
std::optional<Blob> parseBlob(std::string_view value, std::size_t hexEnd)
{
    std::size_t at = alignUp(hexEnd + 1, 2);
    if (value.size() < at + 4)
        return std::nullopt;
    const std::uint16_t version = readLe16(value, at);
    // NDR writes the union's level after the version; a blob where they disagree was not
    // written by Samba.
    if (readLe16(value, at + 2) != version)
        return std::nullopt;
    const auto arm = armOf(version);
    if (!arm)
        return std::nullopt;
    at = alignUp(at + 4, 4);
    if (value.size() < at + arm->size)
        return std::nullopt;

    // Versions 1-3 repeat the attributes as text for readers that predate the blob, and a
    // later one may carry it too: Wine reads only that text. When present it must be well
    // formed for the blob to be one we can update.
    if (hexEnd > 0 && !parseHexText(value.substr(0, hexEnd)))
        return std::nullopt;
    return Blob{hexEnd, at + arm->attribOffset};
}

// Samba reads a value as text when its first NUL-terminated string spans all of it.
bool isTextForm(std::string_view value, std::size_t nul)
{
    return nul == std::string_view::npos || nul + 1 == value.size();
}

} // namespace

std::optional<std::string> withBits(const std::optional<std::string>& current, std::uint32_t bits)
{
    if (bits > 0xF)
        return std::nullopt;
    if (!current) {
        static constexpr char Digits[] = "0123456789abcdef";
        return std::string("0x") + Digits[bits];
    }

    std::string value = *current;
    const std::size_t nul = std::string_view(value).find('\0');
    if (isTextForm(value, nul)) {
        const std::size_t end = nul == std::string::npos ? value.size() : nul;
        if (!parseHexText(std::string_view(value).substr(0, end)))
            return std::nullopt;
        addToHexText(value, end - 1, bits);
        return value;
    }

    const auto blob = parseBlob(value, nul);
    if (!blob)
        return std::nullopt;
    writeLe32(value, blob->attribAt, readLe32(value, blob->attribAt) | bits);
    if (blob->hexEnd > 0)
        addToHexText(value, blob->hexEnd - 1, bits);
    return value;
}

std::optional<std::uint32_t> attributesOf(std::string_view value)
{
    const std::size_t nul = value.find('\0');
    if (isTextForm(value, nul))
        return parseHexText(value.substr(0, nul == std::string_view::npos ? value.size() : nul));
    const auto blob = parseBlob(value, nul);
    if (!blob)
        return std::nullopt;
    return readLe32(value, blob->attribAt);
}

} // namespace tessaro::dos
