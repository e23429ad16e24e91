#pragma once

// A second wildcard matcher that the program's is held to, written for plainness rather
// than speed: a table of which beginnings of the pattern match which beginnings of the name.
// Standard library only, for the fuzzer as well as the tests.

#include <cstddef>
#include <string_view>
#include <vector>

namespace tessaro::test {

template <typename Char>
bool oracleMatch(std::basic_string_view<Char> name, std::basic_string_view<Char> pattern)
{
    const auto fold = [](Char c) { return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c; };
    // matches[i][j]: the first i characters of the pattern match the first j of the name.
    std::vector<std::vector<bool>> matches(pattern.size() + 1, std::vector<bool>(name.size() + 1, false));
    matches[0][0] = true;
    for (std::size_t i = 1; i <= pattern.size(); ++i) {
        const Char p = pattern[i - 1];
        for (std::size_t j = 0; j <= name.size(); ++j) {
            if (p == '*')
                matches[i][j] = matches[i - 1][j] || (j > 0 && matches[i][j - 1]);
            else
                matches[i][j] = j > 0 && matches[i - 1][j - 1] && (p == '?' || fold(p) == fold(name[j - 1]));
        }
    }
    return matches[pattern.size()][name.size()];
}

} // namespace tessaro::test
