#pragma once

// The names of the files a run keeps in a folder for a moment: a copy being written before it
// takes its name, and a copy set aside before it is taken back. Hidden, named after the file
// they stand for, and recognisably this program's, so that a later run can tell what a run
// that ended early left from the user's own files. Standard library only, for both platforms
// (names are bytes on Linux, UTF-16 on Windows; both allow 255 of them).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro::os::leftover {

inline constexpr std::string_view TemporaryMark = ".tessaro-";
inline constexpr std::string_view AsideMark = ".tessaro-aside-";
inline constexpr std::size_t Letters = 8;
inline constexpr std::size_t LongestName = 255;
// Room for the dot, the mark and the letters after a name cut short, whatever its length.
inline constexpr std::size_t LongestStem = 200;

template <typename Char>
std::basic_string<Char> widen(std::string_view ascii)
{
    return std::basic_string<Char>(ascii.begin(), ascii.end());
}

// Eight letters and digits from `bits`.
inline std::string letters(std::uint64_t bits)
{
    static constexpr std::string_view Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string result;
    for (std::size_t i = 0; i < Letters; ++i) {
        result += Alphabet[bits % Alphabet.size()];
        bits /= Alphabet.size();
    }
    return result;
}

// A copy of `name` being written.
template <typename Char>
std::basic_string<Char> temporaryName(const std::basic_string<Char>& name, std::uint64_t bits)
{
    return widen<Char>(".") + name.substr(0, LongestStem) + widen<Char>(TemporaryMark) + widen<Char>(letters(bits));
}

// `name` set aside. A name too long to be carried whole gets a temporary's name: it can only
// be removed, never given its name back.
template <typename Char>
std::basic_string<Char> asideName(const std::basic_string<Char>& name, std::uint64_t bits)
{
    if (1 + name.size() + AsideMark.size() + Letters > LongestName)
        return temporaryName(name, bits);
    return widen<Char>(".") + name + widen<Char>(AsideMark) + widen<Char>(letters(bits));
}

enum class Kind { Other, Temporary, Aside };

// Which of the two `entry` is; for a file set aside, `original` is the name it had.
template <typename Char>
Kind kindOf(const std::basic_string<Char>& entry, std::basic_string<Char>& original)
{
    const auto endsWithMark = [&entry](std::string_view mark) {
        if (entry.size() < 1 + mark.size() + Letters || entry.front() != Char('.'))
            return false;
        const std::size_t at = entry.size() - Letters - mark.size();
        if (entry.compare(at, mark.size(), widen<Char>(mark)) != 0)
            return false;
        for (std::size_t i = entry.size() - Letters; i < entry.size(); ++i) {
            const Char c = entry[i];
            if (!((c >= Char('A') && c <= Char('Z')) || (c >= Char('a') && c <= Char('z')) || (c >= Char('0') && c <= Char('9'))))
                return false;
        }
        return true;
    };
    if (endsWithMark(AsideMark) && entry.size() > 1 + AsideMark.size() + Letters) {
        original = entry.substr(1, entry.size() - 1 - AsideMark.size() - Letters);
        return Kind::Aside;
    }
    return endsWithMark(TemporaryMark) ? Kind::Temporary : Kind::Other;
}

} // namespace tessaro::os::leftover
