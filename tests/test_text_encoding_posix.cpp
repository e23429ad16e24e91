// Text in the locale's encoding on Linux, both ways, exactly or not at all: glibc's iconv
// maps some characters one way without an error, and a file written with such a
// character names another path than the one the user picked.

#include "platform/os/os_services.h"
#include "test_support.h"

using namespace tessaro;
using namespace tessaro::test;
using Bytes = std::optional<std::string>;
using Text = std::optional<std::u16string>;

namespace {

// Shifting in and out around each kanji takes more than twice the bytes of UTF-16.
const std::u16string Alternating = QStringLiteral("a海").repeated(20).toStdU16String();
const std::string AlternatingIso = QByteArray("a\x1B$B3$\x1B(B").repeated(20).toStdString();

struct EncodeCase { const char* name; const char* encoding; std::u16string_view text; Bytes expected; };
const EncodeCase encodeCases[] = {
    {"UTF-8: kanji and an emoji", "UTF-8", u"写真\U0001F30A", "\xE5\x86\x99\xE7\x9C\x9F\xF0\x9F\x8C\x8A"},
    {"ISO-2022-JP: longer than a first guess, back to ASCII at the end", "ISO-2022-JP", Alternating, AlternatingIso},
    {"ASCII refuses e-acute", "ANSI_X3.4-1968", u"caf\u00E9", std::nullopt},
    {"empty text is empty bytes, not a failure", "EUC-JP", u"", ""},
    {"an unknown encoding refuses everything", "NO-SUCH-CODESET", u"a", std::nullopt},
};

struct DecodeCase { const char* name; const char* encoding; std::string_view bytes; Text expected; };
const DecodeCase decodeCases[] = {
    {"UTF-8: kanji", "UTF-8", "\xE5\x86\x99\xE7\x9C\x9F", u"写真"},
    {"UTF-8 refuses a truncated sequence", "UTF-8", "a\xE6\x96", std::nullopt},
    {"UTF-8 keeps a leading byte-order mark", "UTF-8", "\xEF\xBB\xBF" "a", u"\uFEFFa"},
    {"EUC-JP: 5C is a backslash", "EUC-JP", "C:\\", u"C:\\"},
    {"no bytes are empty text, not a failure", "EUC-JP", "", u""},
    {"an unknown encoding refuses everything", "NO-SUCH-CODESET", "a", std::nullopt},
};

// Hex, so that a failed comparison points at the byte or the UTF-16 unit.
QByteArray shown(const Bytes& bytes)
{
    return bytes ? QByteArray::fromStdString(*bytes).toHex(' ') : QByteArray("<none>");
}

QByteArray shown(const Text& text)
{
    return text ? QByteArray(reinterpret_cast<const char*>(text->data()), static_cast<qsizetype>(text->size() * 2)).toHex(' ')
                : QByteArray("<none>");
}

} // namespace

class TextEncodingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void encode_isExactOrNothing_data() { rows(encodeCases); }
    void encode_isExactOrNothing()
    {
        const EncodeCase& c = currentRow(encodeCases);
        QCOMPARE(shown(os::encodeExactly(c.text, c.encoding)), shown(c.expected));
    }

    void decode_isExactOrNothing_data() { rows(decodeCases); }
    void decode_isExactOrNothing()
    {
        const DecodeCase& c = currentRow(decodeCases);
        QCOMPARE(shown(os::decodeExactly(c.bytes, c.encoding)), shown(c.expected));
    }

    // Windows' lead bytes of 932, rows without a character (0x85, 0xEB) and a row whose first
    // character has a second byte of 0x9F (0x88) among them.
    void leadBytes_areWindowsOwn()
    {
        std::bitset<256> windows;
        for (int byte = 0x81; byte <= 0xFC; ++byte)
            windows.set(static_cast<std::size_t>(byte), byte <= 0x9F || byte >= 0xE0);
        QCOMPARE(os::leadBytes(os::readerEncoding()).to_string(), windows.to_string());
    }
};

TESSARO_TEST_GUILESS_MAIN(TextEncodingTest)
#include "test_text_encoding_posix.moc"
