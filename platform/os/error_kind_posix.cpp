#include "platform/os/os_services.h"

#include <cerrno>

namespace tessaro::os {

ErrorKind errorKind(std::error_code error)
{
    if (error.category() != std::system_category() && error.category() != std::generic_category())
        return ErrorKind::Unknown;
    switch (error.value()) {
    case ENOENT: return ErrorKind::NotFound;
    case ENOTDIR: return ErrorKind::NotAFolder;
    case EISDIR: return ErrorKind::FolderInTheWay;
    case EACCES:
    case EPERM: return ErrorKind::AccessDenied;
    case EROFS: return ErrorKind::ReadOnlyVolume;
    case ENOSPC: return ErrorKind::DiskFull;
    case EDQUOT: return ErrorKind::QuotaExceeded;
    case EFBIG: return ErrorKind::FileTooLarge;
    // ENOTTY: an ioctl the filesystem does not have.
    case ENOTSUP:
    case ENOSYS:
    case ENOTTY: return ErrorKind::NotSupported;
    case EIO:
    case EREMOTEIO:
    case EUCLEAN: return ErrorKind::IoError;
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
    case ESTALE:
    case ENOTCONN:
    case ECONNABORTED:
    case ECONNRESET:
    case ECONNREFUSED:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ETIMEDOUT:
    case ECOMM:
    case ENOLINK: return ErrorKind::NetworkFailure;
    case ENOMEDIUM:
    case ENODEV:
    case ENXIO: return ErrorKind::NoMedium;
    case ECANCELED: return ErrorKind::Cancelled;
    default: return ErrorKind::Unknown;
    }
}

} // namespace tessaro::os
