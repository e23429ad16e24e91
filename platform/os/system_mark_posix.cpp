#include "platform/os/system_mark_posix.h"

#include "platform/os/dos_attributes.h"
#include "platform/os/os_services.h"
#include "platform/os/posix_fd.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#if __has_include(<linux/msdos_fs.h>)
#include <linux/msdos_fs.h>
#endif

// Kernel headers older than the filesystems they describe lack some of these.
#ifndef MSDOS_SUPER_MAGIC
#define MSDOS_SUPER_MAGIC 0x4d44
#endif
#ifndef EXFAT_SUPER_MAGIC
#define EXFAT_SUPER_MAGIC 0x2011BAB0
#endif
#ifndef FUSE_SUPER_MAGIC
#define FUSE_SUPER_MAGIC 0x65735546
#endif
#ifndef CIFS_SUPER_MAGIC
#define CIFS_SUPER_MAGIC 0xFF534D42
#endif
#ifndef SMB2_SUPER_MAGIC
#define SMB2_SUPER_MAGIC 0xFE534D42
#endif
#ifndef FAT_IOCTL_GET_ATTRIBUTES
#define FAT_IOCTL_GET_ATTRIBUTES _IOR('r', 0x10, std::uint32_t)
#endif
#ifndef FAT_IOCTL_SET_ATTRIBUTES
#define FAT_IOCTL_SET_ATTRIBUTES _IOW('r', 0x11, std::uint32_t)
#endif

namespace tessaro::os {

namespace {

// "ntfs" as the ntfs3 driver reports it; no uapi header names it.
constexpr std::uint32_t Ntfs3Magic = 0x7366746e;

constexpr const char* NtfsAttribName = "system.ntfs_attrib_be";
constexpr const char* CifsAttribName = "user.cifs.dosattrib";
constexpr const char* SambaAttribName = "user.DOSATTRIB";

int openRetrying(const Path& path, int flags)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

std::error_code unknownFormat()
{
    return make_error_code(Failure::UnknownAttributeFormat);
}

std::error_code markFat(int fd, std::uint32_t bits, AttributeCalls& calls)
{
    std::uint32_t attributes = 0;
    if (calls.getFatAttributes(fd, attributes) != 0)
        return lastError();
    if ((attributes & bits) == bits)
        return {};
    attributes |= bits;
    if (calls.setFatAttributes(fd, attributes) != 0)
        return lastError();
    return {};
}

// Reads a 4-byte attribute word. A longer value fails with ERANGE; a shorter one is not
// a word this program understands, and rewriting it could destroy what the driver keeps.
std::error_code readWord(int fd, const char* name, unsigned char (&bytes)[4], AttributeCalls& calls)
{
    const ssize_t got = calls.getXattr(fd, name, bytes, sizeof bytes);
    if (got < 0)
        return lastError();
    if (got != static_cast<ssize_t>(sizeof bytes))
        return unknownFormat();
    return {};
}

std::error_code markNtfs(int fd, std::uint32_t bits, AttributeCalls& calls)
{
    unsigned char bytes[4];
    if (auto error = readWord(fd, NtfsAttribName, bytes, calls))
        return error;
    // Big-endian: the bits of the lowest byte live in the last.
    if ((bytes[3] & bits) == bits)
        return {};
    bytes[3] = static_cast<unsigned char>(bytes[3] | bits);
    if (calls.setXattr(fd, NtfsAttribName, bytes, sizeof bytes) != 0)
        return lastError();
    return {};
}

std::error_code markCifs(int fd, std::uint32_t bits, AttributeCalls& calls)
{
    unsigned char bytes[4];
    if (auto error = readWord(fd, CifsAttribName, bytes, calls))
        return error;
    std::uint32_t attributes;
    static_assert(sizeof attributes == sizeof bytes);
    std::memcpy(&attributes, bytes, sizeof attributes);
    if ((attributes & bits) == bits)
        return {};
    attributes |= bits;
    if (calls.setXattr(fd, CifsAttribName, &attributes, sizeof attributes) != 0)
        return lastError();
    return {};
}

// The whole value of a user.DOSATTRIB attribute; empty optional when it is absent.
std::error_code readSambaValue(int fd, std::optional<std::string>& value, AttributeCalls& calls)
{
    // The value may change size between asking and reading; try again when it grew.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = calls.getXattr(fd, SambaAttribName, nullptr, 0);
        if (size < 0) {
            if (errno == ENODATA) {
                value.reset();
                return {};
            }
            return lastError();
        }
        std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
        const ssize_t got = calls.getXattr(fd, SambaAttribName, bytes.data(), bytes.size());
        if (got < 0) {
            if (errno == ERANGE)
                continue;
            if (errno == ENODATA) {
                value.reset();
                return {};
            }
            return lastError();
        }
        // One spare byte tells a value that grew to exactly the buffer from one that fits.
        if (static_cast<std::size_t>(got) == bytes.size())
            continue;
        bytes.resize(static_cast<std::size_t>(got));
        value = std::move(bytes);
        return {};
    }
    return systemError(EAGAIN);
}

std::error_code markSamba(int fd, std::uint32_t bits, AttributeCalls& calls)
{
    std::optional<std::string> current;
    if (auto error = readSambaValue(fd, current, calls))
        return error;
    const auto updated = dos::withBits(current, bits);
    if (!updated)
        return unknownFormat();
    if (current && *current == *updated)
        return {};
    if (calls.setXattr(fd, SambaAttribName, updated->data(), updated->size()) != 0)
        return lastError();
    return {};
}

// How a FUSE filesystem says it has no NTFS attribute. Any other failure (a permission, an
// I/O error) is ntfs-3g's answer, and writing Samba's attribute instead would hide it.
bool notThere(const std::error_code& error)
{
    return error == std::errc::not_supported || error == std::errc::operation_not_supported
        || error == std::errc::no_message_available;
}

std::error_code fatAttributes(int fd, std::uint32_t& attributes, AttributeCalls& calls)
{
    return calls.getFatAttributes(fd, attributes) == 0 ? std::error_code{} : lastError();
}

std::error_code wordAttributes(int fd, const char* name, bool bigEndian, std::uint32_t& attributes, AttributeCalls& calls)
{
    unsigned char bytes[4];
    if (auto error = readWord(fd, name, bytes, calls))
        return error;
    if (bigEndian) {
        attributes = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16
            | static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    } else {
        std::memcpy(&attributes, bytes, sizeof attributes);
    }
    return {};
}

std::error_code sambaAttributes(int fd, std::uint32_t& attributes, AttributeCalls& calls)
{
    std::optional<std::string> value;
    if (auto error = readSambaValue(fd, value, calls))
        return error;
    const auto read = value ? dos::attributesOf(*value) : std::optional<std::uint32_t>(0);
    if (!read)
        return unknownFormat();
    attributes = *read;
    return {};
}

std::uint32_t filesystemOf(int fd)
{
    struct statfs info {};
    int result;
    do
        result = ::fstatfs(fd, &info);
    while (result != 0 && errno == EINTR);
    return result == 0 ? static_cast<std::uint32_t>(static_cast<unsigned long>(info.f_type)) : 0;
}

} // namespace

MarkChannel markChannel(std::uint32_t filesystemType)
{
    switch (filesystemType) {
    case MSDOS_SUPER_MAGIC:
    case EXFAT_SUPER_MAGIC:
        return MarkChannel::FatIoctl;
    case Ntfs3Magic:
        return MarkChannel::NtfsXattr;
    case FUSE_SUPER_MAGIC:
        return MarkChannel::NtfsOrSamba;
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
        return MarkChannel::CifsXattr;
    default:
        return MarkChannel::SambaXattr;
    }
}

int AttributeCalls::getFatAttributes(int fd, std::uint32_t& attributes)
{
    return ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes);
}

int AttributeCalls::setFatAttributes(int fd, std::uint32_t attributes)
{
    return ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes);
}

ssize_t AttributeCalls::getXattr(int fd, const char* name, void* value, std::size_t size)
{
    return ::fgetxattr(fd, name, value, size);
}

int AttributeCalls::setXattr(int fd, const char* name, const void* value, std::size_t size)
{
    return ::fsetxattr(fd, name, value, size, 0);
}

std::error_code addThrough(int fd, MarkChannel channel, std::uint32_t bits, AttributeCalls& calls)
{
    try {
        switch (channel) {
        case MarkChannel::FatIoctl:
            return markFat(fd, bits, calls);
        case MarkChannel::NtfsXattr:
            return markNtfs(fd, bits, calls);
        case MarkChannel::NtfsOrSamba: {
            const auto error = markNtfs(fd, bits, calls);
            if (!notThere(error))
                return error;
            return markSamba(fd, bits, calls);
        }
        case MarkChannel::CifsXattr:
            return markCifs(fd, bits, calls);
        case MarkChannel::SambaXattr:
            break;
        }
        return markSamba(fd, bits, calls);
    } catch (const std::bad_alloc&) {
        return systemError(ENOMEM);
    }
}

std::error_code attributesThrough(int fd, MarkChannel channel, std::uint32_t& attributes, AttributeCalls& calls)
{
    attributes = 0;
    try {
        switch (channel) {
        case MarkChannel::FatIoctl:
            return fatAttributes(fd, attributes, calls);
        case MarkChannel::NtfsXattr:
            return wordAttributes(fd, NtfsAttribName, true, attributes, calls);
        case MarkChannel::NtfsOrSamba: {
            const auto error = wordAttributes(fd, NtfsAttribName, true, attributes, calls);
            if (!notThere(error))
                return error;
            return sambaAttributes(fd, attributes, calls);
        }
        case MarkChannel::CifsXattr:
            return wordAttributes(fd, CifsAttribName, false, attributes, calls);
        case MarkChannel::SambaXattr:
            break;
        }
        return sambaAttributes(fd, attributes, calls);
    } catch (const std::bad_alloc&) {
        return systemError(ENOMEM);
    }
}

std::error_code copyAttributes(int from, int to)
{
    AttributeCalls calls;
    const MarkChannel channel = markChannel(filesystemOf(to));
    try {
        if (channel == MarkChannel::FatIoctl) {
            std::uint32_t attributes = 0;
            if (auto error = fatAttributes(from, attributes, calls))
                return error;
            return calls.setFatAttributes(to, attributes) == 0 ? std::error_code{} : lastError();
        }
        const auto copyWord = [&](const char* name) {
            unsigned char bytes[4];
            if (auto error = readWord(from, name, bytes, calls))
                return error;
            return calls.setXattr(to, name, bytes, sizeof bytes) == 0 ? std::error_code{} : lastError();
        };
        if (channel == MarkChannel::NtfsXattr)
            return copyWord(NtfsAttribName);
        if (channel == MarkChannel::CifsXattr)
            return copyWord(CifsAttribName);
        if (channel == MarkChannel::NtfsOrSamba) {
            const auto error = copyWord(NtfsAttribName);
            if (!notThere(error))
                return error;
        }
        // Samba's and Wine's attribute, as stored: a blob keeps the file's creation time, as
        // Windows keeps it for a file replaced under the same name.
        std::optional<std::string> value;
        if (auto error = readSambaValue(from, value, calls))
            return notThere(error) ? std::error_code{} : error;
        if (!value)
            return {};
        return calls.setXattr(to, SambaAttribName, value->data(), value->size()) == 0 ? std::error_code{} : lastError();
    } catch (const std::bad_alloc&) {
        return systemError(ENOMEM);
    }
}

namespace {

std::error_code addTo(const Path& path, int openFlags, std::uint32_t bits)
{
    const Descriptor fd(openRetrying(path, openFlags));
    if (fd.get() < 0)
        return lastError();

    // O_DIRECTORY has made sure of a folder; a file must be a regular one: a pipe or a device
    // holds no DOS attributes of its own, and a folder is not what was asked for.
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        return lastError();
    if (!(openFlags & O_DIRECTORY) && !S_ISREG(status.st_mode))
        return systemError(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);

    struct statfs info {};
    int result;
    do
        result = ::fstatfs(fd.get(), &info);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return lastError();

    AttributeCalls calls;
    return addThrough(fd.get(), markChannel(static_cast<std::uint32_t>(static_cast<unsigned long>(info.f_type))), bits, calls);
}

} // namespace

std::error_code markSystem(const Path& folder)
{
    return addTo(folder, O_DIRECTORY, dos::System);
}

std::error_code readOnly(const Path& file, bool& readOnly)
{
    readOnly = false;
    const Descriptor fd(openRetrying(file, O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return lastError();
    // What the permissions say for this user; root may write any file, but Windows still
    // heeds the attribute.
    if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0) {
        // EPERM: an immutable file, which not even root may write.
        if (errno == EACCES || errno == EPERM) {
            readOnly = true;
            return {};
        }
        // A read-only volume is no mark of the file's: writing will say so.
        if (errno != EROFS)
            return lastError();
    }
    std::uint32_t attributes = 0;
    AttributeCalls calls;
    const auto error = attributesThrough(fd.get(), markChannel(filesystemOf(fd.get())), attributes, calls);
    if (error && !notThere(error))
        return error;
    readOnly = (attributes & dos::ReadOnly) != 0;
    return {};
}

std::error_code markHiddenSystem(const Path& file)
{
    // O_NOFOLLOW: a link put in desktop.ini's place must not pass the attributes on to
    // whatever it points at. O_NONBLOCK: nor may a pipe there hold the program up.
    return addTo(file, O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, dos::Hidden | dos::System);
}

} // namespace tessaro::os
