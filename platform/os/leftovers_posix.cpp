#include "platform/os/leftover_names.h"
#include "platform/os/os_services.h"
#include "platform/os/posix_fd.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace tessaro::os {
namespace {

int openRetrying(int dir, const char* name, int flags)
{
    int fd;
    do
        fd = ::openat(dir, name, flags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// The names in the folder open as `dir`.
std::vector<std::string> namesIn(int dir)
{
    std::vector<std::string> names;
    const int copy = ::dup(dir);
    if (copy < 0)
        return names;
    DIR* listing = ::fdopendir(copy);
    if (!listing) {
        ::close(copy);
        return names;
    }
    while (const dirent* entry = ::readdir(listing))
        names.emplace_back(entry->d_name);
    ::closedir(listing);
    return names;
}

// Whether `name` in `dir` is the file open as `fd`.
bool same(int dir, const std::string& name, int fd)
{
    struct stat named {}, open {};
    return ::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0
        && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// Opens a leftover and takes its lock: nothing when it is no regular file, or a run still
// going holds it (or the filesystem keeps no locks, and that cannot be told).
Descriptor claim(int dir, const std::string& name)
{
    // Read-write: a network filesystem locks only what is open for writing.
    Descriptor file(openRetrying(dir, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0
        || !same(dir, name, file.get()))
        return Descriptor();
    return file;
}

void clear(int dir, const std::function<bool(const Path& name)>& wanted)
{
    for (const std::string& name : namesIn(dir)) {
        std::string original;
        const leftover::Kind kind = leftover::kindOf(name, original);
        if (kind == leftover::Kind::Other)
            continue;
        const Descriptor held = claim(dir, name);
        if (held.get() < 0)
            continue;
        // Unlinked while still held, so that no run can take the name for its own meanwhile.
        if (kind == leftover::Kind::Aside && wanted && wanted(Path(original))
            && ::renameat2(dir, name.c_str(), dir, original.c_str(), RENAME_NOREPLACE) == 0)
            continue;
        ::unlinkat(dir, name.c_str(), 0);
    }
    ::fsync(dir);
}

} // namespace

void removeLeftovers(const Path& folder, const std::function<bool(const Path& name)>& wanted)
{
    const Descriptor dir(openRetrying(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return;
    try {
        clear(dir.get(), wanted);
    } catch (const std::bad_alloc&) {
        // What is left stays for the next run.
    }
}

FolderHold::FolderHold(const Path& folder)
    : m_handle(openRetrying(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    // A filesystem that keeps no locks lets it pass: a clean-up cannot lock it either, and
    // leaves it. A clean-up that took the folder for a leftover just before it was held holds
    // it, or has removed it.
    const int fd = static_cast<int>(m_handle);
    struct stat named {}, open {};
    m_held = fd >= 0 && (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) && ::stat(folder.c_str(), &named) == 0
        && ::fstat(fd, &open) == 0 && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

FolderHold::~FolderHold()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

void removeStaleFolders(const Path& base, std::string_view prefix)
{
    const Descriptor dir(openRetrying(AT_FDCWD, base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return;
    try {
        for (const std::string& name : namesIn(dir.get())) {
            if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0
                || !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                                [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
                continue;
            const Descriptor folder(openRetrying(dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (folder.get() < 0 || ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0)
                continue;
            // Held while it goes: the staging folder holds files only, written by its run.
            for (const std::string& entry : namesIn(folder.get())) {
                if (entry != "." && entry != "..")
                    ::unlinkat(folder.get(), entry.c_str(), 0);
            }
            ::unlinkat(dir.get(), name.c_str(), AT_REMOVEDIR);
        }
    } catch (const std::bad_alloc&) {
        // What is left stays for the next start.
    }
}

} // namespace tessaro::os
