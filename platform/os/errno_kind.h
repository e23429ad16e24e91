#pragma once

// Shared by the platforms' errorKind(): the kind of an errno value, on any C library.

#include "platform/os/os_services.h"

namespace tessaro::os {

ErrorKind errnoKind(int value);

} // namespace tessaro::os
