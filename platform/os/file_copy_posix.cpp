#include "platform/os/os_services.h"
#include "platform/os/posix_fd.h"
#include "platform/os/system_mark_posix.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace tessaro::os {

namespace {

int openRetrying(int dir, const char* name, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::openat(dir, name, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

std::error_code syncRetrying(int fd)
{
    int result;
    do
        result = ::fsync(fd);
    while (result != 0 && errno == EINTR);
    return result == 0 ? std::error_code{} : lastError();
}

// A temporary file in the destination folder, removed again unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(int dir) : m_dir(dir) {}
    ~TemporaryFile()
    {
        (void)close();
        if (!m_name.empty())
            ::unlinkat(m_dir, m_name.c_str(), 0);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Hidden, and named after the file it becomes so that a leftover from a crash is
    // recognisable. The kernel applies the umask (or the folder's default ACL) to 0666,
    // which gives the new file the mode any new file in that folder gets, without
    // touching the process-wide umask.
    std::error_code create(const std::string& finalName)
    {
        static constexpr char Letters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        constexpr std::uint64_t LetterCount = sizeof Letters - 1;
        // Room for the dot, the suffix and NAME_MAX, whatever the final name's length.
        const std::string stem = "." + finalName.substr(0, 200) + ".";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = stem;
            std::uint64_t bits = randomBits();
            for (int i = 0; i < 8; ++i) {
                name += Letters[bits % LetterCount];
                bits /= LetterCount;
            }
            const int fd = openRetrying(m_dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                m_fd = fd;
                m_name = std::move(name);
                return {};
            }
            if (errno != EEXIST)
                return lastError();
        }
        return systemError(EEXIST);
    }

    int fd() const { return m_fd; }
    const std::string& name() const { return m_name; }

    // close() reports the write errors of some network filesystems, so it is checked.
    std::error_code close()
    {
        const int fd = m_fd;
        m_fd = -1;
        // Linux frees the descriptor even when close() fails with EINTR: never retry it.
        if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
            return lastError();
        return {};
    }

    // After a successful rename the name belongs to the destination.
    void release() { m_name.clear(); }

private:
    static std::uint64_t randomBits()
    {
        std::uint64_t bits = 0;
        if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
            return bits;
        // O_EXCL guarantees uniqueness; the name only needs to be unlikely to collide.
        static std::uint64_t counter = 0;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        return (static_cast<std::uint64_t>(now) * 0x9E3779B97F4A7C15u)
            ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ ++counter;
    }

    int m_dir;
    int m_fd = -1;
    std::string m_name;
};

std::error_code writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        // A zero-length write of a non-empty buffer makes no progress; treat it as a full disk
        // rather than loop forever.
        if (written == 0)
            return systemError(ENOSPC);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

std::error_code copyContents(int from, int to)
{
    char buffer[16384];
    for (;;) {
        const ssize_t got = readRetrying(from, buffer, sizeof buffer);
        if (got < 0)
            return lastError();
        if (got == 0)
            return {};
        if (auto error = writeAll(to, buffer, static_cast<std::size_t>(got)))
            return error;
    }
}

// O_NONBLOCK: opening a FIFO must not wait for a writer before checkSource() refuses it.
int openSource(const Path& source)
{
    return openRetrying(AT_FDCWD, source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

// Only a regular file is copied: a directory cannot be copied as one file, and reading a
// pipe or device could block the window forever.
std::error_code checkSource(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return lastError();
    if (S_ISDIR(info.st_mode))
        return systemError(EISDIR);
    if (!S_ISREG(info.st_mode))
        return systemError(EINVAL);
    return {};
}

// The rename is durable only once the folder itself is on disk. Some filesystems cannot
// sync a directory (EINVAL); the copy has happened all the same.
std::error_code syncFolder(int dir)
{
    const auto error = syncRetrying(dir);
    return error == std::errc::invalid_argument ? std::error_code{} : error;
}

enum class Entry { Absent, Directory, Other };

std::error_code lookUp(int dir, const std::string& name, Entry& entry)
{
    struct stat info {};
    // Without following links: a link at the destination, even a dangling one, is an
    // existing entry that the copy would replace.
    if (::fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            return lastError();
        entry = Entry::Absent;
        return {};
    }
    entry = S_ISDIR(info.st_mode) ? Entry::Directory : Entry::Other;
    return {};
}

bool askToReplace(const ConfirmReplace& confirm, const Path& destination)
{
    // Without a way to ask, or when asking fails, nothing is replaced.
    if (!confirm)
        return false;
    try {
        return confirm(destination);
    } catch (...) {
        return false;
    }
}

bool plainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The source, once it is known to be a regular file, and the folder that gets it, both open.
// Every step after works relative to the folder's descriptor, so the file lands in the folder
// that was checked even if the folder is renamed meanwhile.
std::error_code openBoth(const Path& source, const Path& folder, const std::string& name, Descriptor& input, Descriptor& dir)
{
    if (!plainName(name))
        return systemError(EINVAL);
    input = Descriptor(openSource(source));
    if (input.get() < 0)
        return lastError();
    if (auto error = checkSource(input.get()))
        return error;
    dir = Descriptor(openRetrying(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return lastError();
    return {};
}

// What the regular file `name` in `dir` has that its replacement open as `fd` should keep: its
// permissions, its owner and group where the process may set them (a group it is in, at
// least), and its DOS attributes, Read-only and Archive among them.
std::error_code takeOver(int dir, const std::string& name, int fd)
{
    const Descriptor old(openRetrying(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (old.get() < 0)
        return errno == ENOENT || errno == ELOOP ? std::error_code{} : lastError(); // gone, or a link
    struct stat info {};
    if (::fstat(old.get(), &info) != 0)
        return lastError();
    if (!S_ISREG(info.st_mode))
        return {};
    if (::fchown(fd, info.st_uid, info.st_gid) != 0 && errno == EPERM)
        (void)::fchown(fd, static_cast<uid_t>(-1), info.st_gid);
    if (::fchmod(fd, info.st_mode & 07777) != 0)
        return lastError();
    return copyAttributes(old.get(), fd);
}

// The source's bytes in a temporary file beside `name`, on the disk and closed; with what the
// file of that name has, when `replacing` it.
std::error_code writeTemporary(int input, int dir, TemporaryFile& temporary, const std::string& name, bool replacing)
{
    if (auto error = temporary.create(name))
        return error;
    if (auto error = copyContents(input, temporary.fd()))
        return error;
    if (replacing) {
        if (auto error = takeOver(dir, name, temporary.fd()))
            return error;
    }
    if (auto error = syncRetrying(temporary.fd()))
        return error;
    return temporary.close();
}

std::error_code copyInto(const Path& source, const Path& folder, const ConfirmReplace& confirm)
{
    const std::string name = source.filename().string();
    Descriptor input, dir;
    if (auto error = openBoth(source, folder, name, input, dir))
        return error;

    const Path destination = folder / name;
    Entry entry = Entry::Absent;
    if (auto error = lookUp(dir.get(), name, entry))
        return error;
    if (entry == Entry::Directory)
        return systemError(EISDIR);
    const bool replaceAllowed = entry == Entry::Other;
    if (replaceAllowed && !askToReplace(confirm, destination))
        return {};

    TemporaryFile temporary(dir.get());
    if (auto error = writeTemporary(input.get(), dir.get(), temporary, name, replaceAllowed))
        return error;

    // rename() replaces the entry itself, a symbolic link included, and never writes
    // through it; until it happens the old file is untouched.
    if (!replaceAllowed) {
        // The destination was absent when checked; one that appeared since must not be
        // replaced without asking.
        if (::renameat2(dir.get(), temporary.name().c_str(), dir.get(), name.c_str(), RENAME_NOREPLACE) == 0) {
            temporary.release();
            return syncFolder(dir.get());
        }
        if (errno == EEXIST) {
            if (!askToReplace(confirm, destination))
                return {};
            const Descriptor again(openRetrying(dir.get(), temporary.name().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (again.get() < 0)
                return lastError();
            if (auto error = takeOver(dir.get(), name, again.get()))
                return error;
        } else if (errno != EINVAL && errno != ENOSYS) {
            // EINVAL and ENOSYS: the filesystem or kernel cannot refuse to replace, so fall
            // back to the plain rename that every filesystem has.
            return lastError();
        }
    }
    if (::renameat(dir.get(), temporary.name().c_str(), dir.get(), name.c_str()) != 0)
        return lastError();
    temporary.release();
    return syncFolder(dir.get());
}

std::error_code copyNew(const Path& source, const Path& folder, const std::string& name)
{
    Descriptor input, dir;
    if (auto error = openBoth(source, folder, name, input, dir))
        return error;

    TemporaryFile temporary(dir.get());
    if (auto error = writeTemporary(input.get(), dir.get(), temporary, name, false))
        return error;

    if (::renameat2(dir.get(), temporary.name().c_str(), dir.get(), name.c_str(), RENAME_NOREPLACE) == 0) {
        temporary.release();
        return syncFolder(dir.get());
    }
    if (errno != EINVAL && errno != ENOSYS)
        return lastError();
    // Where rename cannot refuse to replace, a second hard link can: it fails on a taken
    // name just as atomically. The temporary name goes when `temporary` does.
    if (::linkat(dir.get(), temporary.name().c_str(), dir.get(), name.c_str(), 0) != 0)
        return lastError();
    return syncFolder(dir.get());
}

} // namespace

std::error_code copyToFolder(const Path& source, const Path& folder, const ConfirmReplace& confirm, ReplaceQuestion)
{
    // The question is always asked here, through `confirm`: the caller answers it for a file
    // it has already asked about.
    try {
        return copyInto(source, folder, confirm);
    } catch (const std::bad_alloc&) {
        return systemError(ENOMEM);
    }
}

std::error_code writeNewFile(const Path& file, std::string_view bytes)
{
    // 0666 less the umask, as any new file gets.
    const Descriptor fd(openRetrying(AT_FDCWD, file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return lastError();
    auto error = writeAll(fd.get(), bytes.data(), bytes.size());
    if (!error)
        error = syncRetrying(fd.get());
    // Half a file is worse than none.
    if (error)
        ::unlink(file.c_str());
    return error;
}

std::error_code copyAsNew(const Path& source, const Path& folder, const Path& name)
{
    try {
        return copyNew(source, folder, name.native());
    } catch (const std::bad_alloc&) {
        return systemError(ENOMEM);
    }
}

} // namespace tessaro::os
