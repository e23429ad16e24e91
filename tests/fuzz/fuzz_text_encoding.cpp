// libFuzzer: text in an encoding glibc's iconv knows, both ways. The first byte picks the
// encoding; the rest is UTF-16LE text to encode and, separately, bytes to decode. Text that
// encodes exactly reads back as itself; bytes that decode exactly are written back unchanged.

#include "platform/os/os_services.h"
#include "tests/fuzz/invariant.h"

#include <cstdint>
#include <iterator>
#include <string>

using tessaro::test::require;

namespace {

const char* const Encodings[] = {
    "UTF-8", "EUC-JP", "EUC-KR", "SHIFT_JIS", "CP932", "ISO-2022-JP", "GB18030", "BIG5", "BIG5-HKSCS",
    "ISO-8859-1", "ANSI_X3.4-1968", "CP1252", "UTF-7", "EUC-JP-MS", "ISO-2022-KR", "TSCII",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tessaro;
    if (size == 0)
        return 0;
    const std::string encoding = Encodings[data[0] % std::size(Encodings)];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (const auto exact = os::encodeExactly(text, encoding))
        require(os::decodeExactly(*exact, encoding) == text, "decode(encode(x)) == x");

    if (const auto decoded = os::decodeExactly(bytes, encoding))
        require(os::encodeExactly(*decoded, encoding) == bytes, "encode(decode(b)) == b");
    return 0;
}
