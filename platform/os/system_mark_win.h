#pragma once

// The pieces of the attribute command, kept apart so that a test can hand the command line
// to a program of its own and see what it receives. Standard library and Windows SDK only.

#include "platform/os/os_services.h"

#include <string>
#include <system_error>

namespace tessaro::os {

// "Attrib +s " and `folder`, written so that the command's argument parser reads back the
// folder itself.
std::wstring attribCommandLine(const Path& folder);

// Starts `program` hidden with `commandLine` (its own name first) and waits for it to end.
// Only a failure to start is reported: what the program did is not examined.
std::error_code runHiddenAndWait(const Path& program, std::wstring commandLine);

} // namespace tessaro::os
