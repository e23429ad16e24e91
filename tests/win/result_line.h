#pragma once

// How reader.exe and ini_tool print a value in their result line: its UTF-8 with '%', space and
// control characters as %XX, so that the line splits on spaces and compares byte for byte.

#include <cstdio>
#include <string>
#include <string_view>

inline std::string escapedValue(std::string_view utf8)
{
    std::string out;
    for (unsigned char unit : utf8) {
        if (unit == '%' || unit <= ' ' || unit == 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", unit);
            out += hex;
        } else {
            out += static_cast<char>(unit);
        }
    }
    return out;
}
