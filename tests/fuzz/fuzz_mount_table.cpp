// libFuzzer: the mount table parser. Any text is read without going out of bounds; and a
// line the kernel could write, its root, point, type and source taken from the input
// (split at NUL bytes) and escaped as the kernel escapes them, reads back field for field:
// an empty or odd field never shifts the others.

#include "platform/os/mount_table_posix.h"
#include "tests/fuzz/invariant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using tessaro::test::require;

namespace {

// The kernel writes space, tab, newline and backslash as a backslash and three octal digits.
std::string escaped(std::string_view field)
{
    std::string out;
    for (char c : field) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            const auto u = static_cast<unsigned char>(c);
            out += {'\\', static_cast<char>('0' + (u >> 6)), static_cast<char>('0' + ((u >> 3) & 7)), static_cast<char>('0' + (u & 7))};
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tessaro::os;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const Mount& mount : parseMountInfo(input))
        (void)isStorage(mount);

    std::vector<std::string_view> pieces;
    std::string_view rest = input;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = rest.find('\0');
        pieces.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const std::string_view root = pieces[0], point = pieces[1], type = pieces[2], source = pieces[3];
    const std::string line = "36 35 98:0 " + escaped(root) + " " + escaped(point) + " rw,noatime master:1 - " + escaped(type) + " "
        + escaped(source) + " rw,errors=continue\n";
    const std::vector<Mount> mounts = parseMountInfo(line);
    require(mounts.size() == 1, "one line, one mount");
    require(mounts[0].point.native() == point, "the mount point comes back");
    require(mounts[0].type == type, "the type comes back");
    require(mounts[0].source == source, "the source comes back");
    return 0;
}
