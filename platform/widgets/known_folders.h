#pragma once

// Where the user keeps documents and pictures, as the window asks for them: the desktop's
// own folders, unless a test put folders of its own in their place (the system names them
// on Windows, where no environment variable a test could set moves them).

#include "platform/os/os_services.h"

#include <optional>

namespace tessaro {

struct KnownFolders {
    std::optional<os::Path> documents;  // empty when the desktop names none
    std::optional<os::Path> pictures;
    os::Path home;
};

// The folders the window starts in: the machine's, unless a test put others in their place.
KnownFolders knownFolders();

// Puts `folders` in the place of the machine's (nullptr: the machine's) and gives back the
// ones it replaced. For tests.
const KnownFolders* replaceKnownFolders(const KnownFolders* folders);

} // namespace tessaro
