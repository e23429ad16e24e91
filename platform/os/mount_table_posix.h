#pragma once

// Reading the kernel's mount table, kept apart so that its filtering can be tested on
// tables that this machine does not have.

#include "platform/os/os_services.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaro::os {

struct Mount {
    Path point;
    std::string type;
    std::string source;
};

// The mounts of a /proc/self/mountinfo text, later mounts over the same point replacing earlier ones.
std::vector<Mount> parseMountInfo(std::string_view text);

// The mounts of this process, as the kernel lists them now.
std::vector<Mount> currentMounts();

// Whether a mount holds storage a user would browse: not proc, sysfs, cgroup and the other
// pseudo filesystems, nor the runtime scratch space under /dev, /run, /proc and /sys.
bool isStorage(const Mount& mount);

// Whether `path` is `root` or lies below it, compared name by name.
bool isUnder(const Path& path, const Path& root);

} // namespace tessaro::os
