#pragma once

// DOS attributes on Linux (the folder's System mark, desktop.ini's Hidden and System), in two
// pieces that can be tested without the filesystems they serve: the channel a filesystem type
// takes, and the calls made through it.

#include <cstddef>
#include <cstdint>
#include <system_error>

#include <sys/types.h>

namespace tessaro::os {

// Where each filesystem keeps DOS attributes.
enum class MarkChannel {
    FatIoctl,     // vfat, msdos and exfat: the FAT attribute ioctls
    NtfsXattr,    // the ntfs3 driver: system.ntfs_attrib_be
    NtfsOrSamba,  // FUSE: ntfs-3g answers the NTFS attribute, others may keep Samba's
    CifsXattr,    // an SMB client mount: user.cifs.dosattrib
    SambaXattr,   // everything else: user.DOSATTRIB, as Samba and Wine keep it
};

// The channel for a filesystem by the type statfs() reports.
MarkChannel markChannel(std::uint32_t filesystemType);

// The system calls the mark makes on an open folder or file, each returning what the call returns
// (-1 with errno set on failure). A test replaces them to see what is asked of the filesystem.
class AttributeCalls {
public:
    virtual ~AttributeCalls() = default;
    virtual int getFatAttributes(int fd, std::uint32_t& attributes);
    virtual int setFatAttributes(int fd, std::uint32_t attributes);
    virtual ssize_t getXattr(int fd, const char* name, void* value, std::size_t size);
    virtual int setXattr(int fd, const char* name, const void* value, std::size_t size);
};

// The DOS attributes of the file or folder open as `fd` through `channel`; 0 where it keeps
// none.
std::error_code attributesThrough(int fd, MarkChannel channel, std::uint32_t& attributes, AttributeCalls& calls);

// Gives the file open as `to` the DOS attributes of the one open as `from`, as stored (a
// Samba blob with its creation time included), both on one filesystem: a file that replaces
// another keeps its Read-only and Archive marks. Nothing to do where `from` has none.
std::error_code copyAttributes(int from, int to);

// Adds the DOS attributes `bits` (those of dos::withBits()) to the folder or file open as
// `fd` through `channel`, keeping every other attribute it has.
std::error_code addThrough(int fd, MarkChannel channel, std::uint32_t bits, AttributeCalls& calls);

} // namespace tessaro::os
