#pragma once

// Shared by the platforms' sameContents(): two open files compared a block at a time.
// Standard library only.

#include <cstddef>
#include <cstring>
#include <system_error>

namespace tessaro::os {

// `read(file, buffer, size, got)` fills up to `size` bytes from file 0 or file 1, fewer only
// at its end.
template <typename Read>
std::error_code compareBlocks(const Read& read, bool& same)
{
    same = false;
    constexpr std::size_t Block = 16384;
    char first[Block], second[Block];
    for (;;) {
        std::size_t gotFirst = 0, gotSecond = 0;
        if (auto error = read(0, first, Block, gotFirst))
            return error;
        if (auto error = read(1, second, Block, gotSecond))
            return error;
        if (gotFirst != gotSecond || std::memcmp(first, second, gotFirst) != 0)
            return {};
        if (gotFirst < Block) {
            same = true;
            return {};
        }
    }
}

} // namespace tessaro::os
