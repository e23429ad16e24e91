#include "platform/os/mount_table_posix.h"

#include <algorithm>
#include <cerrno>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace tessaro::os {
namespace {

// mountinfo escapes space, tab, newline and backslash as three octal digits.
std::string unescapeMountField(std::string_view field)
{
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2])
            && octal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// Fields are separated by exactly one space, and a field may be empty (the kernel writes
// an empty source as nothing between two spaces): empty fields are kept so that none shifts.
std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t end = line.find(' ');
        fields.push_back(line.substr(0, end));
        if (end == std::string_view::npos)
            return fields;
        line.remove_prefix(end + 1);
    }
}

} // namespace

std::vector<Mount> parseMountInfo(std::string_view text)
{
    std::vector<Mount> result;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> fields = splitFields(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));

        // id parent major:minor root point options [optional...] - type source super-options;
        // the separator is looked for only after the six fixed fields, whatever they hold.
        constexpr std::ptrdiff_t Fixed = 6;
        if (fields.size() < Fixed)
            continue;
        const auto dash = std::find(fields.begin() + Fixed, fields.end(), std::string_view("-"));
        if (std::distance(dash, fields.end()) < 3)
            continue;
        Mount mount{Path(unescapeMountField(fields[4])), unescapeMountField(dash[1]), unescapeMountField(dash[2])};
        std::erase_if(result, [&](const Mount& m) { return m.point == mount.point; });
        result.push_back(std::move(mount));
    }
    return result;
}

std::vector<Mount> currentMounts()
{
    // Read with the system calls, not a stream: the first stream sets up the C++ locale's
    // every facet, a quarter of a megabyte of the standard library paged in for one file.
    std::string text;
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return parseMountInfo(text);
}

bool isUnder(const Path& path, const Path& root)
{
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty())
            continue; // a trailing separator in root
        if (p == path.end() || *p != *r)
            return false;
    }
    return true;
}

bool isStorage(const Mount& mount)
{
    static constexpr std::string_view pseudo[] = {
        "autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs", "devpts",
        "devtmpfs", "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs", "proc", "pstore",
        "rpc_pipefs", "securityfs", "selinuxfs", "sysfs", "tracefs", "fuse.gvfsd-fuse",
        "fuse.portal", "squashfs", "nfsd", "ramfs",
    };
    if (std::find(std::begin(pseudo), std::end(pseudo), mount.type) != std::end(pseudo))
        return false;
    if (mount.point == "/")
        return true;
    for (const char* scratch : {"/dev", "/proc", "/sys", "/run", "/snap", "/boot/efi"}) {
        if (isUnder(mount.point, scratch) && !isUnder(mount.point, "/run/media"))
            return false;
    }
    return true;
}

} // namespace tessaro::os
