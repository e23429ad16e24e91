#include "decoration/desktop_ini.h"

#include <algorithm>
#include <array>
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

// Unicode's white space beyond the blanks, which older readers dropped around names as well.
constexpr std::u16string_view wideSpaces = u"\u0085\u00A0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008"
                                           u"\u2009\u200A\u2028\u2029\u202F\u205F\u3000\uFEFF";

constexpr bool isWideSpace(char16_t c)
{
    return isBlank(c) || wideSpaces.find(c) != std::u16string_view::npos;
}

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// No ANSI code page takes more than four bytes for one UTF-16 code unit.
constexpr std::size_t MaxBytesPerUnit = 4;

enum class Match { No, Yes, Ambiguous };

// What a looser reader takes for a character of our names, in the file's code units: Unicode's
// spaces around a name, and dotted and dotless I, the Kelvin sign and long s for i, k and s.
struct Looks {
    std::vector<std::u16string> spaces, i, k, s;
};

// The file as code units: UTF-16 code units, or for an ANSI file its bytes one by one, which
// is enough to find line ends, blanks, '=' (all below 0x40), and, with the codec's lead
// bytes, the characters of a line; only values are decoded.
struct Text {
    std::string_view bytes;
    Encoding encoding = Encoding::Ansi;
    std::size_t start = 0; // bytes of the byte-order mark
    std::u16string units;
    const Codec* codec = nullptr;
    mutable std::optional<Looks> looks;

    std::size_t byteAt(std::size_t unit) const { return start + (encoding == Encoding::Utf16le ? 2 * unit : unit); }

    // Where the character at `at` ends, within [at, end).
    std::size_t next(std::size_t at, std::size_t end) const
    {
        const bool pair = encoding == Encoding::Ansi && codec->leadBytes[units[at]] && at + 1 < end && units[at + 1] >= 0x40;
        return at + (pair ? 2 : 1);
    }

    std::optional<std::u16string> decode(std::size_t begin, std::size_t end) const
    {
        const std::u16string_view range = std::u16string_view(units).substr(begin, end - begin);
        if (encoding == Encoding::Utf16le || std::ranges::all_of(range, [](char16_t c) { return c < 0x80; }))
            return std::u16string(range);
        return codec->decode(bytes.substr(byteAt(begin), end - begin));
    }

    const Looks& alike() const
    {
        if (looks)
            return *looks;
        looks.emplace();
        const auto add = [this](std::vector<std::u16string>& to, char16_t c) {
            if (encoding == Encoding::Utf16le) {
                to.emplace_back(1, c);
            } else if (const auto encoded = codec->encode(std::u16string(1, c)); encoded && !encoded->empty()) {
                to.emplace_back(encoded->begin(), encoded->end());
                for (char16_t& unit : to.back())
                    unit = static_cast<unsigned char>(unit);
            }
        };
        for (char16_t c : wideSpaces)
            add(looks->spaces, c);
        for (char16_t c : {u'\u0130', u'\u0131'})
            add(looks->i, c);
        add(looks->k, u'\u212A');
        add(looks->s, u'\u017F');
        return *looks;
    }
};

// How long a prefix of `text` one of `candidates` is; 0 for none.
std::size_t prefixOf(std::u16string_view text, const std::vector<std::u16string>& candidates)
{
    for (const std::u16string& candidate : candidates)
        if (text.starts_with(candidate))
            return candidate.size();
    return 0;
}

// `[begin, end)` as the profile API left it (blanks dropped). Yes when it matches `ours` as Wine
// and Windows compare names; Ambiguous when it matches only under a looser reader. Compared in
// the file's own code units, a character at a time, so that nothing is decoded.
Match matchName(const Text& text, std::size_t begin, std::size_t end, std::u16string_view ours)
{
    const std::u16string_view name = std::u16string_view(text.units).substr(begin, end - begin);
    const auto same = [](char16_t a, char16_t b) { return asciiLower(a) == asciiLower(b); };
    if (std::ranges::equal(name, ours, same))
        return Match::Yes;
    // Every look-alike is outside ASCII.
    if (name.size() < ours.size() || std::ranges::all_of(name, [](char16_t c) { return c < 0x80; }))
        return Match::No;
    const Looks& looks = text.alike();
    std::size_t at = 0;
    const auto skipSpaces = [&] {
        for (std::size_t length = 1; length > 0; at += length)
            length = at < name.size() && isBlank(name[at]) ? 1 : prefixOf(name.substr(at), looks.spaces);
    };
    skipSpaces();
    for (const char16_t o : ours) {
        if (at < name.size() && name[at] < 0x80 && same(name[at], o)) {
            ++at;
            continue;
        }
        const char16_t lower = asciiLower(o);
        const std::size_t length = lower == u'i' ? prefixOf(name.substr(at), looks.i)
                                 : lower == u'k' ? prefixOf(name.substr(at), looks.k)
                                 : lower == u's' ? prefixOf(name.substr(at), looks.s)
                                                 : 0;
        if (length == 0)
            return Match::No;
        at += length;
    }
    skipSpaces();
    return at == name.size() ? Match::Ambiguous : Match::No;
}

// A key line of ours in one of our sections.
struct Key {
    std::size_t begin = 0, next = 0;  // the line, its LF included
    std::size_t nameEnd = 0, last = 0;
    std::optional<std::size_t> value; // where the value starts; it ends at `last`
    bool image = false, text = false;
};

// One of our sections: its header up to the next section's.
struct Section {
    std::size_t begin = 0, end = 0;
    std::size_t tailEnd = 0, tailNext = 0; // end and next of its last non-blank line
    bool othersLeft = false;               // a non-blank line besides our keys
    std::vector<Key> keys;
};

struct Parsed {
    Text text;
    std::vector<Section> sections;
    bool othersOutside = false; // a non-blank line outside our sections
    std::size_t openLead = 0;   // the last line, when it ends in a lead byte
};

struct Line {
    std::size_t number = 0;                    // counted from 1
    std::size_t begin = 0, end = 0, next = 0; // [begin, end) before the LF; next after it
    std::size_t first = 0, last = 0;          // [first, last) without blanks at either end
};

template <typename T>
Result<T> refuse(Refusal why, std::size_t line = 0, std::u16string name = {})
{
    return {std::nullopt, why, line, std::move(name)};
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
        text.units.resize((bytes.size() - 2) / 2);
        for (std::size_t i = 0; i < text.units.size(); ++i)
            text.units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) | static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        if (text.units.find(u'\0') != std::u16string::npos)
            return Refusal::NulCharacter;
        return std::nullopt;
    }
    if (bytes.find('\0') != std::string_view::npos)
        return Refusal::NulCharacter;
    text.units.resize(bytes.size());
    std::ranges::transform(bytes, text.units.begin(), [](char byte) { return static_cast<char16_t>(static_cast<unsigned char>(byte)); });
    return std::nullopt;
}

// Where the name of the section line starting at `line.first` ends: at the first ']', else at
// the end of the line.
std::size_t sectionNameEnd(const Text& text, const Line& line)
{
    for (std::size_t at = line.first + 1; at < line.last; at = text.next(at, line.last))
        if (text.units[at] == u']')
            return at;
    return line.last;
}

Match sectionMatch(const Text& text, const Line& line)
{
    std::size_t begin = line.first + 1, end = sectionNameEnd(text, line);
    while (begin < end && isBlank(text.units[begin]))
        ++begin;
    while (end > begin && isBlank(text.units[end - 1]))
        --end;
    return matchName(text, begin, end, sectionName);
}

Key readKey(const Text& text, const Line& line)
{
    Key key{line.begin, line.next, line.first, line.last, std::nullopt, false, false};
    const std::u16string_view content = std::u16string_view(text.units).substr(line.first, line.last - line.first);
    const std::size_t equals = line.first + std::min(content.find(u'='), content.size());
    key.nameEnd = equals;
    while (key.nameEnd > line.first && isBlank(text.units[key.nameEnd - 1]))
        --key.nameEnd;
    if (equals < line.last) {
        std::size_t value = equals + 1;
        while (value < line.last && isBlank(text.units[value]))
            ++value;
        key.value = value;
    }
    return key;
}

// Whether the line ends in the first byte of a double-byte character, whose second byte some
// readers would take from the line end.
bool endsInLeadByte(const Text& text, const Line& line)
{
    if (text.encoding != Encoding::Ansi || line.end == line.begin || !text.codec->leadBytes[text.units[line.end - 1]])
        return false;
    std::size_t at = line.begin;
    while (text.next(at, line.end) < line.end)
        at = text.next(at, line.end);
    return at == line.end - 1;
}

// Whether some text after a CR in the line starts with '[': a section to a reader that ends
// lines at a CR.
bool sectionAfterCarriageReturn(const Text& text, const Line& line)
{
    for (std::size_t at = line.first; at < line.last; ++at) {
        if (text.units[at] != u'\r')
            continue;
        std::size_t piece = at + 1;
        while (piece < line.last && isBlank(text.units[piece]))
            ++piece;
        if (piece < line.last && text.units[piece] == u'[')
            return true;
    }
    return false;
}

// The line as a name for a message: the key's name, or the section line, as far as a message
// shows it.
std::u16string nameOf(const Text& text, const Line& line)
{
    const std::u16string_view content = std::u16string_view(text.units).substr(line.first, line.last - line.first);
    const std::size_t end = content.starts_with(u'[') ? line.last : line.first + std::min(content.find(u'='), content.size());
    std::size_t shown = line.first;
    for (std::size_t count = 0; shown < end && count < 200; ++count)
        shown = text.next(shown, end);
    return text.decode(line.first, shown).value_or(std::u16string());
}

// Where the file stands for the reader: before the first of our sections, inside it, or past it,
// where nothing changes the answer any more.
enum class Phase { Before, InFirst, After };

Result<Parsed> parse(std::string_view bytes, const Codec& codec)
{
    Parsed parsed;
    Text& text = parsed.text;
    text.bytes = bytes;
    text.codec = &codec;
    if (const auto why = readUnits(text))
        return refuse<Parsed>(*why);

    const std::u16string_view units = text.units;
    Phase phase = Phase::Before;
    bool imageFound = false, textFound = false;
    Line line;
    for (std::size_t at = 0; at < units.size(); at = line.next) {
        line.number += 1;
        line.begin = line.first = at;
        line.end = line.last = std::min(units.find(u'\n', at), units.size());
        line.next = line.end < units.size() ? line.end + 1 : line.end;
        while (line.first < line.last && isBlank(units[line.first]))
            ++line.first;
        while (line.last > line.first && isBlank(units[line.last - 1]))
            --line.last;
        const auto refuseHere = [&](Refusal why) { return refuse<Parsed>(why, line.number, nameOf(text, line)); };
        if (phase != Phase::After && endsInLeadByte(text, line)) {
            if (line.next < units.size())
                return refuseHere(Refusal::SplitCharacter);
            parsed.openLead = line.number;
        }
        if (line.first == line.last)
            continue;
        const bool section = units[line.first] == u'[';
        const bool carriageReturn = std::u16string_view(units).substr(line.first, line.last - line.first).find(u'\r') != std::u16string_view::npos;
        if (carriageReturn && phase != Phase::After
            && ((section && phase == Phase::Before) || (!section && phase == Phase::InFirst) || sectionAfterCarriageReturn(text, line)))
            return refuseHere(Refusal::CarriageReturnInLine);

        if (section) {
            if (!parsed.sections.empty() && parsed.sections.back().end == 0)
                parsed.sections.back().end = line.begin;
            const Match ours = sectionMatch(text, line);
            if (ours == Match::Ambiguous && phase == Phase::Before)
                return refuseHere(Refusal::AmbiguousName);
            if (ours == Match::Yes) {
                phase = phase == Phase::Before ? Phase::InFirst : Phase::After;
                parsed.sections.push_back({line.begin, 0, line.end, line.next, false, {}});
            } else {
                phase = phase == Phase::Before ? Phase::Before : Phase::After;
                parsed.othersOutside = true;
            }
            continue;
        }
        if (parsed.sections.empty() || parsed.sections.back().end != 0) {
            parsed.othersOutside = true;
            continue;
        }
        Section& ours = parsed.sections.back();
        ours.tailEnd = line.end;
        ours.tailNext = line.next;
        Key key = readKey(text, line);
        const Match image = matchName(text, line.first, key.nameEnd, imageKey);
        const Match value = matchName(text, line.first, key.nameEnd, textKey);
        if (phase == Phase::InFirst && ((image == Match::Ambiguous && !imageFound) || (value == Match::Ambiguous && !textFound)))
            return refuseHere(Refusal::AmbiguousName);
        key.image = image == Match::Yes;
        key.text = value == Match::Yes;
        if (!key.image && !key.text) {
            ours.othersLeft = true;
            continue;
        }
        if (phase == Phase::InFirst) {
            imageFound = imageFound || key.image;
            textFound = textFound || key.text;
        }
        ours.keys.push_back(key);
    }
    if (!parsed.sections.empty() && parsed.sections.back().end == 0)
        parsed.sections.back().end = units.size();
    return {std::move(parsed), {}};
}

// The first key of our first section that `which` says is ours.
const Key* firstKey(const Section& section, bool Key::*which)
{
    const auto found = std::ranges::find_if(section.keys, [which](const Key& key) { return key.*which; });
    return found == section.keys.end() ? nullptr : &*found;
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

void appendUtf16(std::string& bytes, std::u16string_view text)
{
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
}

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
            appendUtf16(file.bytes, edit.insert);
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
    const std::size_t size = parsed.text.units.size();
    const bool open = size > 0 && parsed.text.units.back() != u'\n';

    if (parsed.sections.empty())
        return {{size, 0, (open ? eol : u"") + u"[" + std::u16string(sectionName) + u"]" + eol + keyLine(imageKey, image) + keyLine(textKey, text)}};

    const Section& ours = parsed.sections.front();
    std::vector<Edit> edits;
    std::u16string missing;
    for (auto [which, key, value] : {std::tuple{&Key::image, imageKey, &image}, std::tuple{&Key::text, textKey, &text}}) {
        if (const Key* found = firstKey(ours, which)) {
            if (found->value)
                edits.push_back({*found->value, found->last - *found->value, *value});
            else
                edits.push_back({found->nameEnd, 0, u"=" + *value});
        } else {
            missing += keyLine(key, *value);
        }
    }
    if (!missing.empty())
        edits.push_back({ours.tailNext, 0, (ours.tailNext == ours.tailEnd ? eol : u"") + missing});
    return edits;
}

// Whether merging would end the last line, whose last byte leads a double-byte character, and
// so give readers a line end they may take into that character.
bool appendsToOpenLead(const Parsed& parsed)
{
    if (parsed.openLead == 0)
        return false;
    if (parsed.sections.empty())
        return true;
    const Section& ours = parsed.sections.front();
    return ours.tailEnd == ours.tailNext && (!firstKey(ours, &Key::image) || !firstKey(ours, &Key::text));
}

Result<File> mergeParsed(const Parsed& parsed, const std::u16string& image, const std::u16string& text)
{
    if (auto file = apply(parsed.text, mergeEdits(parsed, image, text)))
        return {std::move(file), {}};
    return refuse<File>(Refusal::NotConvertible);
}

// The first line of an ANSI file that does not decode exactly, for the user to find; called
// only once the whole file has not.
Result<File> unconvertible(const Parsed& parsed)
{
    const Text& text = parsed.text;
    // Our old values are replaced: they need not come over.
    std::vector<std::size_t> replaced;
    if (!parsed.sections.empty()) {
        for (const Key* key : {firstKey(parsed.sections.front(), &Key::image), firstKey(parsed.sections.front(), &Key::text)})
            if (key && key->value)
                replaced.push_back(key->begin);
    }
    Line line;
    for (std::size_t at = 0; at < text.units.size(); at = line.next) {
        line.number += 1;
        line.begin = line.first = at;
        line.end = line.last = std::min(text.units.find(u'\n', at), text.units.size());
        line.next = line.end < text.units.size() ? line.end + 1 : line.end;
        const bool ours = std::ranges::find(replaced, line.begin) != replaced.end();
        const std::size_t end = ours ? readKey(text, line).value.value_or(line.next) : line.next;
        if (!text.decode(line.begin, end)) {
            while (line.first < line.last && isBlank(text.units[line.first]))
                ++line.first;
            return refuse<File>(Refusal::NotConvertible, line.number, nameOf(text, line));
        }
    }
    return refuse<File>(Refusal::NotConvertible);
}

// The number, in the file before `edits` (in order) took whole lines out of it, of its line
// `kept` after.
std::size_t lineBefore(const Text& text, const std::vector<Edit>& edits, std::size_t kept)
{
    std::size_t number = 0, at = 0;
    auto edit = edits.begin();
    for (std::size_t line = 1; at < text.units.size(); ++line) {
        while (edit != edits.end() && edit->at + edit->erase <= at)
            ++edit;
        const bool gone = edit != edits.end() && at >= edit->at;
        if (!gone && ++number == kept)
            return line;
        at = std::min(text.units.find(u'\n', at), text.units.size()) + 1;
    }
    return 0;
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
        {},
    };
}

Result<Values> read(std::string_view bytes, const Codec& codec)
{
    const auto parsed = parse(bytes, codec);
    if (!parsed)
        return {std::nullopt, parsed.refusal, parsed.line, parsed.name};
    if (parsed.value->sections.empty())
        return {Values{}, {}};
    const Text& text = parsed.value->text;
    Values values;
    for (auto [which, slot] : {std::pair{&Key::image, &values.image}, std::pair{&Key::text, &values.text}}) {
        const Key* key = firstKey(parsed.value->sections.front(), which);
        if (!key || !key->value)
            continue;
        const std::size_t length = key->last - *key->value;
        if (length > MaxValueLength * (text.encoding == Encoding::Ansi ? MaxBytesPerUnit : 1)) {
            *slot = std::u16string();
            continue;
        }
        const auto value = text.decode(*key->value, key->last);
        if (!value)
            return {std::nullopt, Refusal::UnreadableValue};
        *slot = value->size() > MaxValueLength ? std::u16string() : unquoted(*value);
    }
    return {std::move(values), {}};
}

std::optional<std::u16string> decodeFile(std::string_view bytes, const Codec& codec)
{
    Text text;
    text.bytes = bytes;
    text.codec = &codec;
    if (readUnits(text))
        return std::nullopt;
    if (text.encoding == Encoding::Utf16le)
        return std::move(text.units);
    return codec.decode(bytes);
}

Result<File> merge(std::string_view existing, std::u16string_view image, std::u16string_view text, const Codec& codec)
{
    const auto imageText = written(image);
    const auto textText = written(text);
    if (!imageText || !textText)
        return refuse<File>(Refusal::ValueHasLineBreak);
    const auto parsed = parse(existing, codec);
    if (!parsed)
        return {std::nullopt, parsed.refusal, parsed.line, parsed.name};
    if (appendsToOpenLead(*parsed.value))
        return refuse<File>(Refusal::SplitCharacter, parsed.value->openLead);
    if (auto merged = mergeParsed(*parsed.value, *imageText, *textText))
        return merged;

    // A value is not in the ANSI file's code page: the whole file moves to UTF-16LE, which
    // the reader takes from the byte-order mark, provided its text comes over exactly. The
    // old values are replaced first (by an ASCII stand-in): they need not come over.
    const auto standIn = mergeParsed(*parsed.value, u"x", u"x");
    const auto decoded = standIn ? codec.decode(standIn.value->bytes) : std::nullopt;
    if (!decoded)
        return unconvertible(*parsed.value);
    std::string unicode = "\xFF\xFE";
    appendUtf16(unicode, *decoded);
    const auto reparsed = parse(unicode, codec);
    if (!reparsed)
        return {std::nullopt, reparsed.refusal, reparsed.line, reparsed.name};
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
        return {std::nullopt, parsed.refusal, parsed.line, parsed.name};
    std::vector<Edit> edits;
    bool nothingLeft = !parsed.value->othersOutside;
    for (const Section& section : parsed.value->sections) {
        if (section.othersLeft) {
            for (const Key& key : section.keys)
                edits.push_back({key.begin, key.next - key.begin, {}});
            nothingLeft = false;
        } else {
            edits.push_back({section.begin, section.end - section.begin, {}});
        }
    }
    auto file = apply(parsed.value->text, edits);
    // With our section gone, what came after it counts again: a line that some reader would
    // take for a section of ours now may be read.
    const auto after = parse(file->bytes, codec);
    if (!after)
        return {std::nullopt, after.refusal, lineBefore(parsed.value->text, edits, after.line), after.name};
    return {Removal{std::move(*file), nothingLeft}, {}};
}

} // namespace tessaro::ini
