#pragma once

// desktop.ini as the folder's reader reads it: the Windows profile API
// (GetPrivateProfileStringW). Pure functions over the file's bytes, standard library only, so
// that the same code runs on Windows, on Linux and inside the fuzzers.
//
// What the reader does, and so what these functions follow:
// - A file that starts with FF FE is UTF-16LE; any other is in the reader's ANSI code page.
// - Lines end at LF; a CR before it, and blanks (tab, LF, VT, FF, CR, ^Z, space) at either end
//   of a line, are dropped. A line starting with '[' and holding a ']' names a section: the
//   text between '[' and the last ']', blanks dropped. Any other non-blank line is a key: the
//   name before the first '=', the value after it, blanks around both dropped; a line without
//   '=' is a key without a value, which reads as absent. Comments (';') are keys whose names
//   never match ours.
// - Names match without regard to case. The first section of a name is the only one read,
//   and within it the first key of a name wins, with or without a value.
// - A value enclosed in a pair of the same quotes (' or ") is read without them.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro::ini {

inline constexpr std::u16string_view sectionName = u"{BE098140-A513-11D0-A3A4-00C04FD706EC}";
inline constexpr std::u16string_view imageKey = u"iconarea_image";
inline constexpr std::u16string_view textKey = u"iconarea_text";

// The reader's ANSI code page, as the caller knows it. Both directions are exact or nothing:
// a substitute character would silently change the user's text.
//
// The functions rely on what holds for every Windows ANSI code page (single-byte pages, the
// double-byte pages 932, 936, 949 and 950, UTF-8): bytes below 0x80 outside a multi-byte
// character stand for themselves, a multi-byte character starts with a byte of 0x80 or more,
// bytes below 0x40 (blanks, CR, LF, '=') are never part of one, and a run of whole characters
// decodes on its own as it does within the file.
struct Codec {
    std::function<std::optional<std::u16string>(std::string_view)> decode;
    std::function<std::optional<std::string>(std::u16string_view)> encode;
};

// ASCII only: on Linux the reader's code page is unknown, and ASCII reads the same in all of them.
Codec asciiCodec();

enum class Encoding { Ansi, Utf16le };

// Why a file is not one these functions can change (or read) exactly. Refusing is always safe:
// the caller writes nothing and says why.
enum class Refusal {
    Utf16OddLength,       // FF FE, then half a character at the end
    Utf16BigEndian,       // FE FF: we never write it and do not edit it
    Utf8Mark,             // EF BB BF: Wine reads UTF-8, Windows reads the ANSI code page
    NulCharacter,         // the profile API ends names and values there: not a text file
    CarriageReturnInLine, // a CR inside a line: some readers end the line there, some do not
    UnreadableName,       // a section name, or a key name in our section, the codec cannot decode
    AmbiguousName,        // a name one reader takes for ours and another does not (case, blanks)
    UnreadableValue,      // read(): one of our values is not in the codec
    NotConvertible,       // a value needs UTF-16LE, but the codec cannot decode the file exactly
    ValueHasLineBreak,    // a value with CR, LF or NUL cannot be written on one line
};

// A value, or the reason there is none.
template <typename T>
struct Result {
    std::optional<T> value;
    Refusal refusal{}; // only meaningful without a value

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

// `existing` with only the values of iconarea_image and iconarea_text in our section changed:
// the first such section and the first such keys, the ones the reader reads. A missing key is
// added after the last non-blank line of that section, a missing section at the end of the
// file, in the file's line ending (CR LF when it has none). Every other byte stays; an ANSI
// file becomes UTF-16LE with a byte-order mark only when a value is not in the codec.
// A value the reader would otherwise trim or unquote is written between double quotes.
Result<File> merge(std::string_view existing, std::u16string_view image, std::u16string_view text,
                   const Codec& codec);

// The three lines written where there is no file: in the codec when they fit, else UTF-16LE
// with a byte-order mark.
Result<File> compose(std::u16string_view image, std::u16string_view text, const Codec& codec);

// Takes the decoration off: every iconarea_image and iconarea_text line of our sections goes,
// and a section of ours left without any other line goes with them. Every other byte stays.
Result<Removal> remove(std::string_view bytes, const Codec& codec);

} // namespace tessaro::ini
