#include "platform/os/os_services.h"

namespace tessaro::os {
namespace {

class FailureCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "tessaro"; }
    std::string message(int value) const override
    {
        switch (static_cast<Failure>(value)) {
        case Failure::NoFileManager: return "no file manager is set up";
        case Failure::OpenerFailed: return "the file manager could not open the folder";
        case Failure::UnknownAttributeFormat: return "the DOS attributes are stored in an unknown form";
        }
        return "unknown failure";
    }
};

} // namespace

const std::error_category& failureCategory()
{
    static const FailureCategory category;
    return category;
}

std::error_code make_error_code(Failure failure)
{
    return {static_cast<int>(failure), failureCategory()};
}

} // namespace tessaro::os
