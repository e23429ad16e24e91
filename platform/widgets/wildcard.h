#pragma once

// Windows' wildcards (* and ?) over names as the system stores them. Standard library only.

#include <cstddef>
#include <string_view>

namespace tessaro {

template <typename Char>
Char foldAscii(Char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

// A wildcard match over code units with ASCII case folding, which is all that file
// extensions need; it runs on the OS's own names, so that a folder of a hundred thousand
// files is filtered before any name is converted.
template <typename Char>
bool wildcardMatch(std::basic_string_view<Char> name, std::basic_string_view<Char> pattern)
{
    std::size_t n = 0, p = 0;
    std::size_t starP = std::basic_string_view<Char>::npos, starN = 0;
    while (n < name.size()) {
        // A star first, even where the name holds a star too: taken for a letter it would
        // leave no point to come back to.
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || foldAscii(pattern[p]) == foldAscii(name[n]))) {
            ++n;
            ++p;
        } else if (starP != std::basic_string_view<Char>::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace tessaro
