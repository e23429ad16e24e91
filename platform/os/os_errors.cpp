#include "platform/os/errno_kind.h"

#include <cerrno>

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
        case Failure::NotAFile: return "not a regular file";
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

// The C runtime of Windows lacks the errno values marked; they cannot reach it there.
ErrorKind errnoKind(int value)
{
    switch (value) {
    case ENOENT: return ErrorKind::NotFound;
    case ENOTDIR: return ErrorKind::NotAFolder;
    case EISDIR: return ErrorKind::FolderInTheWay;
    case EACCES:
    case EPERM: return ErrorKind::AccessDenied;
    case EROFS: return ErrorKind::ReadOnlyVolume;
    case ENOSPC: return ErrorKind::DiskFull;
#ifdef EDQUOT
    case EDQUOT: return ErrorKind::QuotaExceeded;
#endif
    case EFBIG: return ErrorKind::FileTooLarge;
    // ENOTTY: an ioctl the filesystem does not have.
    case ENOTSUP:
    case ENOSYS:
    case ENOTTY: return ErrorKind::NotSupported;
    case EIO:
#ifdef EREMOTEIO
    case EREMOTEIO:
    case EUCLEAN:
#endif
        return ErrorKind::IoError;
    case EBUSY:
    case ETXTBSY: return ErrorKind::Busy;
    case ENAMETOOLONG: return ErrorKind::NameTooLong;
    case ELOOP:
    case EMLINK: return ErrorKind::TooManyLinks;
    case EEXIST:
    case ENOTEMPTY: return ErrorKind::NameTaken;
    case EILSEQ: return ErrorKind::InvalidName;
    case EINVAL: return ErrorKind::InvalidArgument;
    case ENOMEM: return ErrorKind::OutOfMemory;
    case EMFILE:
    case ENFILE: return ErrorKind::TooManyOpenFiles;
    case EAGAIN:
    case EINTR: return ErrorKind::TryAgain;
    case ENODATA: return ErrorKind::NoAttribute;
    case ENOTCONN:
    case ECONNABORTED:
    case ECONNRESET:
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ETIMEDOUT:
    case ENOLINK:
#ifdef ESTALE
    case ESTALE:
    case EHOSTDOWN:
    case ECOMM:
#endif
        return ErrorKind::NetworkFailure;
    case ENODEV:
    case ENXIO:
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
        return ErrorKind::NoMedium;
    case ECANCELED: return ErrorKind::Cancelled;
    default: return ErrorKind::Unknown;
    }
}

} // namespace tessaro::os
