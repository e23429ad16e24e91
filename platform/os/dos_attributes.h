#pragma once

// The DOS attribute word as Samba, Wine and the Windows filesystems keep it on Linux.
// Pure functions over the stored bytes, so every format can be tested without the
// filesystem that holds it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro::dos {

inline constexpr std::uint32_t ReadOnly = 0x01;
inline constexpr std::uint32_t Hidden = 0x02;
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;

// The value of the `user.DOSATTRIB` extended attribute with `bits` added, every other bit
// and byte kept. `current` is the stored value, or empty when the attribute is absent (then
// the text form, "0x4" for System, that Samba and Wine both read). Only bits of the lowest
// hexadecimal digit (ReadOnly, Hidden, System) can be added: they never change the text's
// length, which Samba's blobs depend on. Empty result: the value is in a form that cannot be
// updated safely (an unknown blob version, a malformed value), or `bits` are not such bits.
std::optional<std::string> withBits(const std::optional<std::string>& current, std::uint32_t bits);

// The attributes that a `user.DOSATTRIB` value holds, as Samba reads it; empty when malformed.
std::optional<std::uint32_t> attributesOf(std::string_view value);

} // namespace tessaro::dos
