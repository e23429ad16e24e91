#include "platform/os/text_output.h"

#include "platform/os/os_services.h"

namespace tessaro {

std::string encodeForShell(std::u16string_view text, const std::string& encoding)
{
    if (auto exact = os::encodeExactly(text, encoding))
        return *std::move(exact);

    std::string bytes;
    bytes.reserve(2 + 2 * text.size());
    bytes += "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

} // namespace tessaro
