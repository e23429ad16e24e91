#include "platform/os/errno_kind.h"

namespace tessaro::os {

ErrorKind errorKind(std::error_code error)
{
    if (error.category() != std::system_category() && error.category() != std::generic_category())
        return ErrorKind::Unknown;
    return errnoKind(error.value());
}

} // namespace tessaro::os
