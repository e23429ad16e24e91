// desktop.ini merge, read and take-off on any bytes. The first byte picks the reader's code
// page (ASCII, a single-byte page that lacks some bytes, a double-byte page whose second bytes
// may be ']' or '[') and the two values; the rest is the file. Invariants:
// - read(merge(x, v)) = v, and merge(merge(x, v), v) = merge(x, v);
// - merge(merge(x, v), w) = merge(x, w) while the encoding stays: only the values change;
// - remove(merge(x, v)) = remove(x), up to a line end merge gave an unterminated last line;
// - remove() leaves none of our values and is idempotent; a file it calls empty is blank;
// - merge() refuses only files that read() and remove() refuse too, or values it cannot write;
// - an ANSI file that decodes whole reads as the same text in UTF-16LE does: finding lines,
//   sections and names in its bytes is finding them in its characters.

#include "decoration/desktop_ini.h"
#include "tests/fuzz/invariant.h"
#include "tests/fuzz/toy_codecs.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace ini = tessaro::ini;

using tessaro::test::require;

namespace {

// 0x80-0xFF are U+0400 onwards, but 0xA0 is a no-break space and 0xDD a dotted capital I
// (as in Windows-1254), and five bytes are not in the page at all (as in Windows-1252).
char16_t singleByte(unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)
        return 0;
    if (byte == 0xA0)
        return 0xA0;
    if (byte == 0xDD)
        return 0x130;
    return static_cast<char16_t>(0x400 + byte - 0x80);
}

ini::Codec singleByteCodec()
{
    return {
        [](std::string_view bytes) -> std::optional<std::u16string> {
            std::u16string text;
            for (char byte : bytes) {
                const char16_t c = singleByte(static_cast<unsigned char>(byte));
                if (c == 0 && byte != 0)
                    return std::nullopt;
                text += c;
            }
            return text;
        },
        [](std::u16string_view text) -> std::optional<std::string> {
            std::string bytes;
            for (char16_t c : text) {
                int found = -1;
                for (int byte = 0; byte < 256 && found < 0; ++byte)
                    if (singleByte(static_cast<unsigned char>(byte)) == c && (c != 0 || byte == 0))
                        found = byte;
                if (found < 0)
                    return std::nullopt;
                bytes += static_cast<char>(found);
            }
            return bytes;
        },
        {},
    };
}

const std::array<std::u16string_view, 8> values = {
    u"sea.jpg",
    u"\u5199\u771F\\\u6D77.jpg",     // 写真\海.jpg: only UTF-16LE holds it
    u" a.jpg ",                      // written in quotes
    u"\"q\"",                        // written in quotes
    u"",
    u"caf\u00E9.jpg",                // in none of the byte codecs
    u"a=b]c[\u4E5D.jpg",              // the double-byte page's ']' as a second byte
    u"\u0430\u0130.jpg",             // in the single-byte page
};

// `after` is `before`, or `before` with the line end merge gave its unterminated last line.
bool sameUpToLineEnd(const std::u16string& before, const std::u16string& after)
{
    return after == before || after == before + u"\n" || after == before + u"\r\n";
}

// The file's code units: its bytes one by one, or decoded when it is compared with the
// UTF-16LE file it became.
std::optional<std::u16string> unitsOf(const ini::File& file, const ini::Codec* codec)
{
    if (file.encoding == ini::Encoding::Ansi && codec)
        return codec->decode(file.bytes);
    if (file.encoding == ini::Encoding::Ansi)
        return std::u16string(file.bytes.begin(), file.bytes.end());
    std::u16string text;
    for (std::size_t i = 2; i + 1 < file.bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(file.bytes[i]) | static_cast<unsigned char>(file.bytes[i + 1]) << 8);
    return text;
}

bool blank(const std::string& bytes, ini::Encoding encoding)
{
    for (std::size_t i = encoding == ini::Encoding::Utf16le ? 2 : 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool space = (byte >= 0x09 && byte <= 0x0D) || byte == 0x1A || byte == 0x20;
        if (!space && !(encoding == ini::Encoding::Utf16le && i % 2 == 1 && byte == 0))
            return false;
    }
    return true;
}

void checkRemove(std::string_view bytes, const ini::Codec& codec)
{
    const auto removed = ini::remove(bytes, codec);
    if (!removed)
        return;
    const ini::File& file = removed.value->file;
    const auto after = ini::read(file.bytes, codec);
    require(after && *after.value == ini::Values{}, "remove leaves no value of ours");
    const auto again = ini::remove(file.bytes, codec);
    require(again && again.value->file.bytes == file.bytes, "remove is idempotent");
    require(!removed.value->nothingLeft || blank(file.bytes, file.encoding), "a file called empty is blank");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int selector = data[0];
    const ini::Codec codec = selector % 3 == 1 ? singleByteCodec() : selector % 3 == 2 ? tessaro::test::doubleByteCodec() : ini::asciiCodec();
    const std::u16string_view image = values[(selector >> 2) % values.size()];
    const std::u16string_view text = values[(selector >> 5) % values.size()];
    const std::u16string_view other = values[(selector + 1) % values.size()].empty() ? u"b.jpg" : values[(selector + 1) % values.size()];
    const std::string_view x(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto readX = ini::read(x, codec);
    const auto removedX = ini::remove(x, codec);
    checkRemove(x, codec);
    const bool marked = x.starts_with("\xFF\xFE") || x.starts_with("\xFE\xFF") || x.starts_with("\xEF\xBB\xBF");
    if (const auto decoded = marked ? std::nullopt : codec.decode(x)) {
        std::string unicode = "\xFF\xFE";
        for (char16_t unit : *decoded)
            unicode += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        const auto readUnicode = ini::read(unicode, codec);
        require(readX.value == readUnicode.value && (readX || readX.refusal == readUnicode.refusal),
                "an ANSI file reads as its characters do");
    }
    const auto merged = ini::merge(x, image, text, codec);
    if (!merged) {
        // Writing after a last line that ends in a lead byte is merge's own.
        const auto lines = static_cast<std::size_t>(std::count(x.begin(), x.end(), '\n')) + (x.ends_with('\n') ? 0 : 1);
        const bool aboutTheFile = merged.refusal != ini::Refusal::NotConvertible
            && !(merged.refusal == ini::Refusal::SplitCharacter && merged.line == lines);
        require(!aboutTheFile || !removedX, "merge refuses only what remove refuses too");
        require(!aboutTheFile || !readX || merged.refusal == ini::Refusal::UnreadableValue, "merge refuses only what read refuses too");
        return 0;
    }
    const ini::File& m = *merged.value;
    // Taking our section off may leave a line that matters only without it; merge keeps it.
    const auto removedM = ini::remove(m.bytes, codec);
    require(removedX.value.has_value() == removedM.value.has_value(), "remove accepts a file as it accepts it merged");

    const auto back = ini::read(m.bytes, codec);
    require(back && back.value->image == std::u16string(image) && back.value->text == std::u16string(text), "read(merge(x, v)) = v");
    const auto twice = ini::merge(m.bytes, image, text, codec);
    require(twice && twice.value->bytes == m.bytes, "merge is idempotent");

    // An empty value leaves no trace of where it stood among the blanks after '='.
    if (!image.empty()) {
        const auto direct = ini::merge(x, other, text, codec);
        const auto changed = ini::merge(m.bytes, other, text, codec);
        require(direct.value.has_value() == changed.value.has_value(), "a second merge succeeds as a first one does");
        if (direct && changed && direct.value->encoding == changed.value->encoding)
            require(changed.value->bytes == direct.value->bytes, "merge changes nothing but the values");
    }

    checkRemove(m.bytes, codec);
    if (!removedX)
        return 0;
    const bool converted = removedX.value->file.encoding != removedM.value->file.encoding;
    const auto before = unitsOf(removedX.value->file, converted ? &codec : nullptr);
    const auto after = unitsOf(removedM.value->file, converted ? &codec : nullptr);
    require(before && after, "a file converted to UTF-16LE was in the codec");
    require(sameUpToLineEnd(*before, *after), "remove(merge(x)) = remove(x)");
    return 0;
}
