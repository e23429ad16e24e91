#include "decoration/desktop_ini.h"

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

namespace tessaro::ini {
namespace {

// The profile API's blanks (Wine: PROFILE_isspaceW).
constexpr bool isBlank(char16_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

// Spaces that older readers dropped around names as well (Unicode's white space).
constexpr bool isWideSpace(char16_t c)
{
    return isBlank(c) || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028
        || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::u16string_view trimmed(std::u16string_view text, bool (*blank)(char16_t))
{
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

enum class Match { No, Yes, Ambiguous };

// `name` as the profile API left it (blanks dropped). Yes when it matches `ours` as Wine and
// Windows compare names; Ambiguous when it matches only under a looser reader: one that drops
// Unicode's spaces too, or folds dotted and dotless i, the Kelvin sign or long s to ASCII.
Match matchName(std::u16string_view name, std::u16string_view ours)
{
    const auto same = [](char16_t a, char16_t b) { return asciiLower(a) == asciiLower(b); };
    if (std::ranges::equal(name, ours, same))
        return Match::Yes;
    const auto loose = [](char16_t c, char16_t o) {
        o = asciiLower(o);
        return asciiLower(c) == o || (o == u'i' && (c == 0x130 || c == 0x131)) || (o == u'k' && c == 0x212A)
            || (o == u's' && c == 0x17F);
    };
    return std::ranges::equal(trimmed(name, isWideSpace), ours, loose) ? Match::Ambiguous : Match::No;
}

// The file as code units: UTF-16 code units, or for an ANSI file its bytes one by one, which
// is enough to find line ends, blanks, '[' at a line start and '=' (all below 0x40 or at a
// character boundary); anything else that matters is decoded.
struct Text {
    std::string_view bytes;
    Encoding encoding = Encoding::Ansi;
    std::size_t start = 0; // bytes of the byte-order mark
    std::u16string units;
    const Codec* codec = nullptr;

    std::size_t byteAt(std::size_t unit) const { return start + (encoding == Encoding::Utf16le ? 2 * unit : unit); }

    std::optional<std::u16string> decode(std::size_t begin, std::size_t end) const
    {
        const std::u16string_view range = std::u16string_view(units).substr(begin, end - begin);
        if (encoding == Encoding::Utf16le || std::ranges::all_of(range, [](char16_t c) { return c < 0x80; }))
            return std::u16string(range);
        return codec->decode(bytes.substr(byteAt(begin), end - begin));
    }
};

struct Line {
    enum Kind { Blank, Section, Key };
    std::size_t begin = 0, end = 0, next = 0; // [begin, end) before the LF; next after it
    std::size_t first = 0, last = 0;          // [first, last) without blanks at either end
    Kind kind = Blank;
    Match ours = Match::No;                   // Section: our section
    std::size_t nameEnd = 0;                  // Key
    std::optional<std::size_t> value;         // Key: where the value starts; it ends at `last`
    Match image = Match::No, text = Match::No; // Key in our section
};

struct Parsed {
    Text text;
    std::vector<Line> lines;
};

Result<Parsed> refuse(Refusal why)
{
    return {std::nullopt, why};
}

std::optional<Refusal> readUnits(Text& text)
{
    const std::string_view bytes = text.bytes;
    const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (startsWith("\xEF\xBB\xBF"))
        return Refusal::Utf8Mark;
    if (startsWith("\xFE\xFF"))
        return Refusal::Utf16BigEndian;
    if (startsWith("\xFF\xFE")) {
        if (bytes.size() % 2 != 0)
            return Refusal::Utf16OddLength;
        text.encoding = Encoding::Utf16le;
        text.start = 2;
        for (std::size_t i = 2; i < bytes.size(); i += 2)
            text.units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    } else {
        for (char byte : bytes)
            text.units += static_cast<char16_t>(static_cast<unsigned char>(byte));
    }
    if (text.units.find(u'\0') != std::u16string::npos)
        return Refusal::NulCharacter;
    return std::nullopt;
}

// A line that starts with '[': a section when it holds a ']', else a key whose name starts
// with '[', which is never ours.
std::optional<Refusal> readSection(const Text& text, Line& line)
{
    const auto decoded = text.decode(line.first, line.last);
    if (!decoded)
        return Refusal::UnreadableName;
    const std::size_t close = decoded->rfind(u']');
    if (close == 0 || close == std::u16string::npos)
        return std::nullopt;
    line.kind = Line::Section;
    line.ours = matchName(trimmed(std::u16string_view(*decoded).substr(1, close - 1), isBlank), sectionName);
    if (line.ours == Match::Ambiguous)
        return Refusal::AmbiguousName;
    return std::nullopt;
}

std::optional<Refusal> readKey(const Text& text, Line& line, bool inOurs)
{
    line.kind = Line::Key;
    const std::u16string_view units = text.units;
    const std::size_t equals = std::min(units.find(u'=', line.first), line.last);
    line.nameEnd = equals;
    while (line.nameEnd > line.first && isBlank(units[line.nameEnd - 1]))
        --line.nameEnd;
    if (equals < line.last) {
        std::size_t value = equals + 1;
        while (value < line.last && isBlank(units[value]))
            ++value;
        line.value = value;
    }
    if (!inOurs)
        return std::nullopt;
    const auto name = text.decode(line.first, line.nameEnd);
    if (!name)
        return Refusal::UnreadableName;
    line.image = matchName(*name, imageKey);
    line.text = matchName(*name, textKey);
    if (line.image == Match::Ambiguous || line.text == Match::Ambiguous)
        return Refusal::AmbiguousName;
    return std::nullopt;
}

Result<Parsed> parse(std::string_view bytes, const Codec& codec)
{
    Parsed parsed;
    Text& text = parsed.text;
    text.bytes = bytes;
    text.codec = &codec;
    if (const auto why = readUnits(text))
        return refuse(*why);

    const std::u16string_view units = text.units;
    bool inOurs = false;
    for (std::size_t at = 0; at < units.size();) {
        Line line;
        line.begin = at;
        line.end = std::min(units.find(u'\n', at), units.size());
        line.next = line.end < units.size() ? line.end + 1 : line.end;
        at = line.next;
        line.first = line.begin;
        line.last = line.end;
        while (line.first < line.last && isBlank(units[line.first]))
            ++line.first;
        while (line.last > line.first && isBlank(units[line.last - 1]))
            --line.last;
        if (line.first < line.last) {
            if (units.substr(line.first, line.last - line.first).find(u'\r') != std::u16string_view::npos)
                return refuse(Refusal::CarriageReturnInLine);
            if (units[line.first] == u'[') {
                if (const auto why = readSection(text, line))
                    return refuse(*why);
            }
            if (line.kind == Line::Section) {
                inOurs = line.ours == Match::Yes;
            } else if (const auto why = readKey(text, line, inOurs)) {
                return refuse(*why);
            }
        }
        parsed.lines.push_back(line);
    }
    return {std::move(parsed), {}};
}

// Where our section's lines are: its header and the lines up to the next section.
struct Span {
    std::size_t header = 0, end = 0; // line indices, [header, end)
};

std::vector<Span> ourSections(const Parsed& parsed)
{
    std::vector<Span> spans;
    const auto& lines = parsed.lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Section || lines[i].ours != Match::Yes)
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != Line::Section)
            ++end;
        spans.push_back({i, end});
    }
    return spans;
}

// The first line of our first section whose name matches as `which` says.
std::optional<std::size_t> firstKey(const Parsed& parsed, const Span& span, Match Line::*which)
{
    for (std::size_t i = span.header + 1; i < span.end; ++i)
        if (parsed.lines[i].kind == Line::Key && parsed.lines[i].*which == Match::Yes)
            return i;
    return std::nullopt;
}

std::u16string unquoted(std::u16string value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The text after '=' that reads back as `value`.
std::optional<std::u16string> written(std::u16string_view value)
{
    if (value.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos)
        return std::nullopt;
    const bool trimmedAway = !value.empty() && (isWideSpace(value.front()) || isWideSpace(value.back()));
    const bool unquotedAway = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
    if (!trimmedAway && !unquotedAway)
        return std::u16string(value);
    // Built by appending: GCC 12 takes the insert at the front that `u"\"" + ...` inlines for
    // an overlapping copy (-Wrestrict) when it compiles for Windows.
    std::u16string quoted;
    quoted.reserve(value.size() + 2);
    quoted += u'"';
    quoted += value;
    quoted += u'"';
    return quoted;
}

struct Edit {
    std::size_t at = 0, erase = 0; // code units
    std::u16string insert;
};

// The file with the edits made; nothing when an inserted text is not in an ANSI file's codec.
std::optional<File> apply(const Text& text, std::vector<Edit> edits)
{
    std::ranges::stable_sort(edits, {}, &Edit::at);
    File file{std::string(text.bytes.substr(0, text.start)), text.encoding};
    std::size_t copied = 0;
    const auto copyTo = [&](std::size_t unit) {
        file.bytes += text.bytes.substr(text.byteAt(copied), text.byteAt(unit) - text.byteAt(copied));
    };
    for (const Edit& edit : edits) {
        copyTo(edit.at);
        if (text.encoding == Encoding::Utf16le) {
            for (char16_t unit : edit.insert) {
                file.bytes += static_cast<char>(unit & 0xFF);
                file.bytes += static_cast<char>(unit >> 8);
            }
        } else if (const auto encoded = text.codec->encode(edit.insert)) {
            file.bytes += *encoded;
        } else {
            return std::nullopt;
        }
        copied = edit.at + edit.erase;
    }
    copyTo(text.units.size());
    return file;
}

std::u16string lineEnd(const Text& text)
{
    const std::size_t lf = text.units.find(u'\n');
    return lf == std::u16string::npos || (lf > 0 && text.units[lf - 1] == u'\r') ? u"\r\n" : u"\n";
}

std::vector<Edit> mergeEdits(const Parsed& parsed, const std::u16string& image, const std::u16string& text)
{
    const std::u16string eol = lineEnd(parsed.text);
    const auto keyLine = [&](std::u16string_view key, const std::u16string& value) {
        return std::u16string(key) + u"=" + value + eol;
    };
    const auto& lines = parsed.lines;
    const auto sections = ourSections(parsed);
    const std::size_t size = parsed.text.units.size();
    const bool open = size > 0 && parsed.text.units.back() != u'\n';

    if (sections.empty())
        return {{size, 0, (open ? eol : u"") + u"[" + std::u16string(sectionName) + u"]" + eol + keyLine(imageKey, image) + keyLine(textKey, text)}};

    const Span& ours = sections.front();
    std::vector<Edit> edits;
    std::u16string missing;
    for (auto [which, key, value] : {std::tuple{&Line::image, imageKey, &image}, std::tuple{&Line::text, textKey, &text}}) {
        if (const auto found = firstKey(parsed, ours, which)) {
            const Line& line = lines[*found];
            if (line.value)
                edits.push_back({*line.value, line.last - *line.value, *value});
            else
                edits.push_back({line.nameEnd, 0, u"=" + *value});
        } else {
            missing += keyLine(key, *value);
        }
    }
    if (!missing.empty()) {
        std::size_t after = ours.header;
        for (std::size_t i = ours.header + 1; i < ours.end; ++i)
            if (lines[i].kind != Line::Blank)
                after = i;
        const Line& line = lines[after];
        edits.push_back({line.next, 0, (line.next == line.end ? eol : u"") + missing});
    }
    return edits;
}

Result<File> mergeParsed(const Parsed& parsed, const std::u16string& image, const std::u16string& text)
{
    if (auto file = apply(parsed.text, mergeEdits(parsed, image, text)))
        return {std::move(file), {}};
    return {std::nullopt, Refusal::NotConvertible};
}

} // namespace

Codec asciiCodec()
{
    return {
        [](std::string_view bytes) -> std::optional<std::u16string> {
            if (!std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                return std::nullopt;
            return std::u16string(bytes.begin(), bytes.end());
        },
        [](std::u16string_view text) -> std::optional<std::string> {
            if (!std::ranges::all_of(text, [](char16_t c) { return c < 0x80; }))
                return std::nullopt;
            std::string bytes;
            for (char16_t c : text)
                bytes += static_cast<char>(c);
            return bytes;
        },
    };
}

Result<Values> read(std::string_view bytes, const Codec& codec)
{
    const auto parsed = parse(bytes, codec);
    if (!parsed)
        return {std::nullopt, parsed.refusal};
    const auto sections = ourSections(*parsed.value);
    if (sections.empty())
        return {Values{}, {}};
    Values values;
    for (auto [which, slot] : {std::pair{&Line::image, &values.image}, std::pair{&Line::text, &values.text}}) {
        const auto found = firstKey(*parsed.value, sections.front(), which);
        if (!found || !parsed.value->lines[*found].value)
            continue;
        const Line& line = parsed.value->lines[*found];
        const auto value = parsed.value->text.decode(*line.value, line.last);
        if (!value)
            return {std::nullopt, Refusal::UnreadableValue};
        *slot = unquoted(*value);
    }
    return {std::move(values), {}};
}

Result<File> merge(std::string_view existing, std::u16string_view image, std::u16string_view text, const Codec& codec)
{
    const auto imageText = written(image);
    const auto textText = written(text);
    if (!imageText || !textText)
        return {std::nullopt, Refusal::ValueHasLineBreak};
    const auto parsed = parse(existing, codec);
    if (!parsed)
        return {std::nullopt, parsed.refusal};
    if (auto merged = mergeParsed(*parsed.value, *imageText, *textText))
        return merged;

    // A value is not in the ANSI file's code page: the whole file moves to UTF-16LE, which
    // the reader takes from the byte-order mark, provided its text comes over exactly. The
    // old values are replaced first (by an ASCII stand-in): they need not come over.
    const auto standIn = mergeParsed(*parsed.value, u"x", u"x");
    const auto decoded = standIn ? codec.decode(standIn.value->bytes) : std::nullopt;
    if (!decoded)
        return {std::nullopt, Refusal::NotConvertible};
    std::string unicode = "\xFF\xFE";
    for (char16_t unit : *decoded) {
        unicode += static_cast<char>(unit & 0xFF);
        unicode += static_cast<char>(unit >> 8);
    }
    const auto reparsed = parse(unicode, codec);
    if (!reparsed)
        return {std::nullopt, reparsed.refusal};
    return mergeParsed(*reparsed.value, *imageText, *textText);
}

Result<File> compose(std::u16string_view image, std::u16string_view text, const Codec& codec)
{
    return merge({}, image, text, codec);
}

Result<Removal> remove(std::string_view bytes, const Codec& codec)
{
    const auto parsed = parse(bytes, codec);
    if (!parsed)
        return {std::nullopt, parsed.refusal};
    const auto& lines = parsed.value->lines;
    std::vector<bool> gone(lines.size(), false);
    std::vector<Edit> edits;
    for (const Span& span : ourSections(*parsed.value)) {
        std::vector<std::size_t> ours;
        bool othersLeft = false;
        for (std::size_t i = span.header + 1; i < span.end; ++i) {
            const Line& line = lines[i];
            if (line.kind == Line::Key && (line.image == Match::Yes || line.text == Match::Yes))
                ours.push_back(i);
            else if (line.kind != Line::Blank)
                othersLeft = true;
        }
        if (othersLeft) {
            for (std::size_t i : ours) {
                edits.push_back({lines[i].begin, lines[i].next - lines[i].begin, {}});
                gone[i] = true;
            }
        } else {
            const std::size_t end = lines[span.end - 1].next;
            edits.push_back({lines[span.header].begin, end - lines[span.header].begin, {}});
            std::fill(gone.begin() + static_cast<std::ptrdiff_t>(span.header), gone.begin() + static_cast<std::ptrdiff_t>(span.end), true);
        }
    }
    auto file = apply(parsed.value->text, std::move(edits));
    bool nothingLeft = true;
    for (std::size_t i = 0; i < lines.size(); ++i)
        nothingLeft = nothingLeft && (gone[i] || lines[i].kind == Line::Blank);
    return {Removal{std::move(*file), nothingLeft}, {}};
}

} // namespace tessaro::ini
