#pragma once

// desktop.ini as the folder's reader reads it: the Windows profile API
// (GetPrivateProfileStringW). Pure functions over the file's bytes, standard library only, so
// that the same code runs on Windows, on Linux and inside the fuzzers.
//
// What the reader does, and so what these functions follow:
// - A file that starts with FF FE is UTF-16LE; any other is in the reader's ANSI code page.
// - Lines end at LF; a CR before it, and blanks (tab, LF, VT, FF, CR, ^Z, space) at either end
//   of a line, are dropped. A line starting with '[' names a section: the text up to the
//   first ']' (the rest of the line is not read), or the whole rest of the line when it has
//   no ']', blanks dropped. Any other non-blank line is a key: the name before the first '=',
//   the value after it, blanks around both dropped; a line without '=' is a key without a
//   value, which reads as absent. Comments (';') are keys whose names never match ours.
// - Names match without regard to case. The first section of a name is the only one read,
//   and within it the first key of a name wins, with or without a value.
// - A value enclosed in a pair of the same quotes (' or ") is read without them. A value
//   longer than MaxValueLength characters reads as nothing.
// These are Windows' rules; Wine ends a section's name at the last ']' and takes a line
// without ']' for a key.
//
// Only what can change the two values refuses a file: a name that cannot be decoded is not
// ours whatever it says, and nothing after the first of our sections changes what it holds.
// Reading is linear in the file's size and decodes nothing but the values.

#include <bitset>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro::ini {

inline constexpr std::u16string_view sectionName = u"{BE098140-A513-11D0-A3A4-00C04FD706EC}";
inline constexpr std::u16string_view imageKey = u"iconarea_image";
inline constexpr std::u16string_view textKey = u"iconarea_text";

// Windows reads a longer value as nothing.
inline constexpr std::size_t MaxValueLength = 65535;

// The reader's ANSI code page, as the caller knows it. Both directions are exact or nothing:
// a substitute character would silently change the user's text.
//
// The functions rely on what holds for every Windows ANSI code page (single-byte pages, the
// double-byte pages 932, 936, 949 and 950, UTF-8): bytes below 0x80 outside a multi-byte
// character stand for themselves, a multi-byte character starts with a byte of 0x80 or more,
// bytes below 0x40 (blanks, CR, LF, '=') are never part of one, and a run of whole characters
// decodes on its own as it does within the file. In a double-byte page a byte of `leadBytes`
// takes the next byte with it when that is 0x40 or more, which may be ']' or '[': the
// functions find characters in the bytes without decoding them.
struct Codec {
    std::function<std::optional<std::u16string>(std::string_view)> decode;
    std::function<std::optional<std::string>(std::u16string_view)> encode;
    std::bitset<256> leadBytes;
};

// ASCII only, both ways.
Codec asciiCodec();

enum class Encoding { Ansi, Utf16le };

// Why a file is not one these functions can change (or read) exactly. Refusing is always safe:
// the caller writes nothing and says why.
enum class Refusal {
    Utf16OddLength,       // FF FE, then half a character at the end
    Utf16BigEndian,       // FE FF: we never write it and do not edit it
    Utf8Mark,             // EF BB BF: Wine reads UTF-8, Windows reads the ANSI code page
    NulCharacter,         // the profile API ends names and values there: not a text file
    CarriageReturnInLine, // a CR inside a line that matters: some readers end the line there, some do not
    SplitCharacter,       // a line that matters ends in the first byte of a double-byte character:
                          // some readers take the line end into it, some do not
    AmbiguousName,        // a name one reader takes for ours and another does not (case, blanks)
    UnreadableValue,      // read(): one of our values is not in the codec
    NotConvertible,       // a value needs UTF-16LE, but the codec cannot decode the file exactly
    ValueHasLineBreak,    // a value with CR, LF or NUL cannot be written on one line
};

// A value, or the reason there is none.
template <typename T>
struct Result {
    std::optional<T> value;
    Refusal refusal{};    // only meaningful without a value
    std::size_t line = 0; // where the refusal arises, counted from 1; 0 when nowhere in particular
    std::u16string name{}; // the key (or the section line) there, when it can be read

    explicit operator bool() const { return value.has_value(); }
};

// The two values as GetPrivateProfileStringW hands them to the reader; absent when the key is
// missing or has no '='.
struct Values {
    std::optional<std::u16string> image;
    std::optional<std::u16string> text;

    friend bool operator==(const Values&, const Values&) = default;
};

struct File {
    std::string bytes;
    Encoding encoding = Encoding::Ansi;
};

struct Removal {
    File file;
    bool nothingLeft = false; // only blank lines remain: the caller deletes desktop.ini
};

Result<Values> read(std::string_view bytes, const Codec& codec);

// The whole file as its reader decodes it; nothing where that cannot be done exactly.
std::optional<std::u16string> decodeFile(std::string_view bytes, const Codec& codec);

// `existing` with only the values of iconarea_image and iconarea_text in our section changed:
// the first such section and the first such keys, the ones the reader reads. A missing key is
// added after the last non-blank line of that section, a missing section at the end of the
// file, in the file's line ending (CR LF when it has none). Every other byte stays; an ANSI
// file becomes UTF-16LE with a byte-order mark only when a value is not in the codec, and
// then only when every other character of it comes over exactly (else NotConvertible, with
// the first line that does not).
// A value the reader would otherwise trim or unquote is written between double quotes.
Result<File> merge(std::string_view existing, std::u16string_view image, std::u16string_view text,
                   const Codec& codec);

// The three lines written where there is no file: in the codec when they fit, else UTF-16LE
// with a byte-order mark.
Result<File> compose(std::u16string_view image, std::u16string_view text, const Codec& codec);

// Takes the decoration off: every iconarea_image and iconarea_text line of our sections goes,
// and a section of ours left without any other line goes with them. Every other byte stays.
// Refused, too, when what is left holds a line that some reader would then take for ours.
Result<Removal> remove(std::string_view bytes, const Codec& codec);

} // namespace tessaro::ini
