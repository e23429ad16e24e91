// Prints how the program's code-page functions read every one- and two-byte sequence in code
// page 932, one line each: "<bytes in hex> <UTF-16 in hex, or ->". Built for Windows (under
// Wine: Windows' own tables) and for Linux (glibc's CP932, the reader's code page there), so
// that reader.sh can hold the two against each other.

#include "platform/os/os_services.h"

#include <cstdio>
#include <string>

int main()
{
#ifdef _WIN32
    const std::string encoding = "932";
#else
    const std::string encoding = tessaro::os::readerEncoding();
#endif
    const auto print = [&](const std::string& bytes) {
        const auto text = tessaro::os::decodeExactly(bytes, encoding);
        for (unsigned char byte : bytes)
            std::printf("%02X", byte);
        std::printf(" ");
        if (!text)
            std::printf("-");
        for (char16_t unit : text.value_or(u""))
            std::printf("%04X", static_cast<unsigned>(unit));
        std::printf("\n");
    };
    const auto leads = tessaro::os::leadBytes(encoding);
    for (int first = 1; first < 0x100; ++first) {
        print(std::string(1, static_cast<char>(first)));
        if (!leads[static_cast<std::size_t>(first)])
            continue;
        for (int second = 1; second < 0x100; ++second)
            print(std::string{static_cast<char>(first), static_cast<char>(second)});
    }
    return 0;
}
