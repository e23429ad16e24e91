#include "platform/os/os_services.h"

#include "platform/os/mount_table_posix.h"
#include "platform/os/native_path.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

namespace tessaro::os {
namespace {

// udev escapes unsafe bytes of a label as \xHH.
std::string unescapeUdevName(std::string_view name)
{
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) && hex(name[i + 3])) {
            out += static_cast<char>(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// Labels come from the udev links /dev/disk/by-label/<label> -> ../../sdb1.
std::u16string labelOf(const std::string& source)
{
    std::error_code ec;
    const Path device = std::filesystem::canonical(source, ec);
    if (ec)
        return {};
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", ec)) {
        std::error_code linkError;
        if (std::filesystem::canonical(entry.path(), linkError) == device && !linkError)
            return toQString(Path(unescapeUdevName(entry.path().filename().native()))).toStdU16String();
    }
    return {};
}

// Containers mount single files over /etc (hosts, resolv.conf): no volumes, and telling a
// file from a folder would mean asking the volume.
bool isVolume(const Mount& mount)
{
    return isStorage(mount) && !isUnder(mount.point, "/etc");
}

} // namespace

std::vector<Path> volumes()
{
    std::vector<Path> result;
    for (const Mount& mount : currentMounts()) {
        if (isVolume(mount))
            result.push_back(mount.point);
    }
    std::sort(result.begin(), result.end());
    return result;
}

Path systemVolume()
{
    return "/";
}

Path volumeOf(const Path& path)
{
    const Path absolute = path.lexically_normal();
    Path best = "/";
    for (const Mount& mount : currentMounts()) {
        if (isVolume(mount) && isUnder(absolute, mount.point)
            && std::distance(mount.point.begin(), mount.point.end()) > std::distance(best.begin(), best.end()))
            best = mount.point;
    }
    return best;
}

bool volumeReady(const Path& root)
{
    std::error_code ec;
    return std::filesystem::is_directory(root, ec) && ::access(root.c_str(), R_OK | X_OK) == 0;
}

bool readerMayBeElsewhere(const Path&)
{
    // Tessaro is not the reader here: Windows is, over a share, from a stick or from the disk.
    return true;
}

std::u16string volumeLabel(const Path& root)
{
    for (const Mount& mount : currentMounts()) {
        if (mount.point == root)
            return labelOf(mount.source);
    }
    return {};
}

} // namespace tessaro::os
