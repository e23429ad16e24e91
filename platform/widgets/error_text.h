#pragma once

#include <QString>
#include <system_error>

namespace tessaro {

// The reason for a failure, in Japanese, as the system's own dialogs would give it, and on
// a line of its own what the user can do about it, where there is something.
QString describeError(std::error_code error);

// Why a folder could not be read when its drive stopped answering, and what the user can do.
QString describeNoAnswer();

} // namespace tessaro
