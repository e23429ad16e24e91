#pragma once

#include <QString>
#include <system_error>

namespace tessaro {

// The reason for a failure, in Japanese, as the system's own dialogs would give it.
QString describeError(std::error_code error);

} // namespace tessaro
