#pragma once

// Code pages in miniature for the desktop.ini tests and fuzzer: each has what makes the real
// ones hard (bytes it lacks, a second byte that looks like ASCII), and nothing else.

#include "decoration/desktop_ini.h"

namespace tessaro::test {

// A double-byte page: 0x81 leads a character whose second byte is 0x40-0xFC (U+4E41-U+4EFC, and
// 0x40 the ideographic space U+3000, as in Shift_JIS), which may be ']' or '[' as in Shift_JIS;
// any other byte from 0x80 is not in the page.
inline ini::Codec doubleByteCodec()
{
    std::bitset<256> leads;
    leads.set(0x81);
    return {
        [](std::string_view bytes) -> std::optional<std::u16string> {
            std::u16string text;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const auto byte = static_cast<unsigned char>(bytes[i]);
                const auto second = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
                if (byte < 0x80) {
                    text += byte;
                } else if (byte == 0x81 && second >= 0x40 && second <= 0xFC) {
                    text += second == 0x40 ? u'\u3000' : static_cast<char16_t>(0x4E00 + second);
                    ++i;
                } else {
                    return std::nullopt;
                }
            }
            return text;
        },
        [](std::u16string_view text) -> std::optional<std::string> {
            std::string bytes;
            for (char16_t c : text) {
                if (c < 0x80) {
                    bytes += static_cast<char>(c);
                } else if (c == 0x3000 || (c >= 0x4E41 && c <= 0x4EFC)) {
                    bytes += '\x81';
                    bytes += static_cast<char>(c == 0x3000 ? 0x40 : c - 0x4E00);
                } else {
                    return std::nullopt;
                }
            }
            return bytes;
        },
        leads,
    };
}

} // namespace tessaro::test
