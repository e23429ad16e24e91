#include "platform/os/errno_kind.h"
#include "platform/os/windows_support.h"

// Older SDK headers (mingw-w64's among them) lack it.
#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif

namespace tessaro::os {
ErrorKind errorKind(std::error_code error)
{
    if (error.category() == std::generic_category())
        return errnoKind(error.value());
    if (error.category() != std::system_category())
        return ErrorKind::Unknown;
    switch (static_cast<DWORD>(error.value())) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ErrorKind::NotFound;
    case ERROR_DIRECTORY: return ErrorKind::NotAFolder;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return ErrorKind::AccessDenied;
    case ERROR_WRITE_PROTECT: return ErrorKind::ReadOnlyVolume;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return ErrorKind::DiskFull;
    case ERROR_DISK_QUOTA_EXCEEDED: return ErrorKind::QuotaExceeded;
    case ERROR_FILE_TOO_LARGE: return ErrorKind::FileTooLarge;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return ErrorKind::NotSupported;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_FILE_CORRUPT:
    case ERROR_DISK_CORRUPT: return ErrorKind::IoError;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return ErrorKind::Busy;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return ErrorKind::NameTooLong;
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_TOO_MANY_LINKS: return ErrorKind::TooManyLinks;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_DIR_NOT_EMPTY: return ErrorKind::NameTaken;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_NO_UNICODE_TRANSLATION: return ErrorKind::InvalidName;
    case ERROR_INVALID_PARAMETER: return ErrorKind::InvalidArgument;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES: return ErrorKind::OutOfMemory;
    case ERROR_TOO_MANY_OPEN_FILES: return ErrorKind::TooManyOpenFiles;
    case ERROR_RETRY: return ErrorKind::TryAgain;
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETWORK_BUSY:
    case ERROR_BAD_NET_RESP:
    case ERROR_SEM_TIMEOUT:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_CONNECTION_ABORTED:
    case ERROR_NOT_CONNECTED:
    case ERROR_REM_NOT_LIST: return ErrorKind::NetworkFailure;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NO_MEDIA_IN_DRIVE: return ErrorKind::NoMedium;
    case ERROR_CANCELLED: return ErrorKind::Cancelled;
    default: return ErrorKind::Unknown;
    }
}

} // namespace tessaro::os
