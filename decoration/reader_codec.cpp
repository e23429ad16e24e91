#include "decoration/reader_codec.h"

#include "platform/os/os_services.h"

namespace tessaro {

const ini::Codec& readerCodec()
{
    // Asking the system for the code page's lead bytes is not free, and the lists read one
    // desktop.ini after another.
    static const ini::Codec codec = [] {
        const std::string encoding = os::readerEncoding();
        ini::Codec made = ini::asciiCodec();
        made.decode = [encoding](std::string_view bytes) { return os::decodeExactly(bytes, encoding); };
        if (os::readerEncodingCertain())
            made.encode = [encoding](std::u16string_view text) { return os::encodeExactly(text, encoding); };
        made.leadBytes = os::leadBytes(encoding);
        return made;
    }();
    return codec;
}

} // namespace tessaro
