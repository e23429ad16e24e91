#pragma once

// The colour dialog's sixteen custom colours, kept as the 64 bytes the window holds and
// handed to a dialog as sixteen colour values.

#include "platform/os/os_services.h"

#include <array>

namespace tessaro::os {

inline std::array<ColourRef, 16> unpackCustomColours(const CustomColours& bytes)
{
    std::array<ColourRef, 16> colours{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        for (std::size_t b = 0; b < 4; ++b)
            colours[i] |= static_cast<ColourRef>(bytes[4 * i + b]) << (8 * b);
    }
    return colours;
}

inline CustomColours packCustomColours(const std::array<ColourRef, 16>& colours)
{
    CustomColours bytes{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        for (std::size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<std::uint8_t>(colours[i] >> (8 * b));
    }
    return bytes;
}

} // namespace tessaro::os
