#include "platform/os/os_services.h"
#include "platform/os/leftover_names.h"
#include "platform/os/posix_fd.h"
#include "platform/os/system_mark_posix.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
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

std::uint64_t randomBits()
{
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
    // O_EXCL guarantees uniqueness; the name only needs to be unlikely to collide.
    static std::atomic<std::uint64_t> counter = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return (static_cast<std::uint64_t>(now) * 0x9E3779B97F4A7C15u) ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ ++counter;
}

enum class Hold { Held, CleanedUp, Failed };

// Marks the file open as `fd`, under `name` in `dir`, as this run's: removeLeftovers() of
// another run leaves a locked file alone, and the lock goes with the process however it ends.
// CleanedUp when another run's clean-up holds it, or has removed it already. A filesystem
// without locks lets it pass unlocked: the clean-up cannot lock it either, and leaves it.
Hold holdAsOurs(int dir, const std::string& name, int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return Hold::CleanedUp;
    struct stat named {}, open {};
    if (::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Hold::CleanedUp : Hold::Failed;
    if (::fstat(fd, &open) != 0)
        return Hold::Failed;
    return named.st_dev == open.st_dev && named.st_ino == open.st_ino ? Hold::Held : Hold::CleanedUp;
}

// A temporary file in the destination folder, removed again unless it was renamed into
// place. It stays open, and locked as this run's, until its name is given up.
class TemporaryFile {
public:
    explicit TemporaryFile(int dir) : m_dir(dir) {}
    ~TemporaryFile()
    {
        // Removed while still locked, so that no clean-up takes it for a leftover meanwhile.
        if (!m_name.empty())
            ::unlinkat(m_dir, m_name.c_str(), 0);
        (void)close();
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Hidden, and named after the file it becomes so that a leftover from a crash is
    // recognisable. The kernel applies the umask (or the folder's default ACL) to 0666,
    // which gives the new file the mode any new file in that folder gets, without
    // touching the process-wide umask.
    std::error_code create(const std::string& finalName)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = leftover::temporaryName(finalName, randomBits());
            const int fd = openRetrying(m_dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno != EEXIST)
                    return lastError();
                continue;
            }
            const Hold hold = holdAsOurs(m_dir, name, fd);
            if (hold != Hold::Held) {
                // A clean-up that holds it removes it; otherwise it is still ours to remove.
                if (hold == Hold::Failed)
                    ::unlinkat(m_dir, name.c_str(), 0);
                ::close(fd);
                continue;
            }
            m_fd = fd;
            m_name = std::move(name);
            return {};
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
    if (!S_ISREG(info.st_mode))
        return make_error_code(Failure::NotAFile);
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

// What the temporary file gets before it takes its name: what the file it replaces has, then
// what the caller sets.
std::error_code prepareTemporary(int dir, TemporaryFile& temporary, const std::string& name, bool replacing, const Path& folder,
                                 const PrepareCopy& prepare)
{
    if (replacing) {
        if (auto error = takeOver(dir, name, temporary.fd()))
            return error;
    }
    return prepare ? prepare(folder / temporary.name()) : std::error_code{};
}

// The source's bytes in a temporary file beside `name`, prepared and on the disk; with what
// the file of that name has, when `replacing` it. It stays open, so that its lock holds until
// it has its name: close() then reports what a network filesystem had still to say, after
// fsync() has made sure there is nothing left to write.
std::error_code writeTemporary(int input, int dir, TemporaryFile& temporary, const std::string& name, bool replacing,
                               const Path& folder, const PrepareCopy& prepare)
{
    if (auto error = temporary.create(name))
        return error;
    if (auto error = copyContents(input, temporary.fd()))
        return error;
    if (auto error = prepareTemporary(dir, temporary, name, replacing, folder, prepare))
        return error;
    return syncRetrying(temporary.fd());
}

// The temporary file has taken its name: the copy is there, whatever follows.
CopyOutcome placed(TemporaryFile& temporary, int dir)
{
    temporary.release();
    std::error_code error = syncFolder(dir);
    if (auto closed = temporary.close(); !error)
        error = closed;
    return {true, true, error};
}

CopyOutcome notPlaced(std::error_code error = {})
{
    return {false, true, error};
}

CopyOutcome copyInto(const Path& source, const Path& folder, const ConfirmReplace& confirm, const PrepareCopy& prepare)
{
    const std::string name = source.filename().string();
    Descriptor input, dir;
    if (auto error = openBoth(source, folder, name, input, dir))
        return notPlaced(error);

    const Path destination = folder / name;
    Entry entry = Entry::Absent;
    if (auto error = lookUp(dir.get(), name, entry))
        return notPlaced(error);
    if (entry == Entry::Directory)
        return notPlaced(systemError(EISDIR));
    const bool replaceAllowed = entry == Entry::Other;
    if (replaceAllowed && !askToReplace(confirm, destination))
        return notPlaced();

    TemporaryFile temporary(dir.get());
    if (auto error = writeTemporary(input.get(), dir.get(), temporary, name, replaceAllowed, folder, prepare))
        return notPlaced(error);

    // rename() replaces the entry itself, a symbolic link included, and never writes
    // through it; until it happens the old file is untouched.
    if (!replaceAllowed) {
        // The destination was absent when checked; one that appeared since must not be
        // replaced without asking.
        if (::renameat2(dir.get(), temporary.name().c_str(), dir.get(), name.c_str(), RENAME_NOREPLACE) == 0)
            return placed(temporary, dir.get());
        if (errno == EEXIST) {
            if (!askToReplace(confirm, destination))
                return notPlaced();
            // Written as a new file: now it replaces one, and takes over what that one has.
            if (auto error = prepareTemporary(dir.get(), temporary, name, true, folder, prepare))
                return notPlaced(error);
            if (auto error = syncRetrying(temporary.fd()))
                return notPlaced(error);
        } else if (errno != EINVAL && errno != ENOSYS) {
            // EINVAL and ENOSYS: the filesystem or kernel cannot refuse to replace, so fall
            // back to the plain rename that every filesystem has.
            return notPlaced(lastError());
        }
    }
    if (::renameat(dir.get(), temporary.name().c_str(), dir.get(), name.c_str()) != 0)
        return notPlaced(lastError());
    return placed(temporary, dir.get());
}

CopyOutcome copyNew(const Path& source, const Path& folder, const std::string& name)
{
    Descriptor input, dir;
    if (auto error = openBoth(source, folder, name, input, dir))
        return notPlaced(error);

    TemporaryFile temporary(dir.get());
    if (auto error = writeTemporary(input.get(), dir.get(), temporary, name, false, folder, {}))
        return notPlaced(error);

    if (::renameat2(dir.get(), temporary.name().c_str(), dir.get(), name.c_str(), RENAME_NOREPLACE) == 0)
        return placed(temporary, dir.get());
    if (errno != EINVAL && errno != ENOSYS)
        return notPlaced(lastError());
    // Where rename cannot refuse to replace, a second hard link can: it fails on a taken
    // name just as atomically. The temporary name goes when `temporary` does.
    if (::linkat(dir.get(), temporary.name().c_str(), dir.get(), name.c_str(), 0) != 0)
        return notPlaced(lastError());
    ::unlinkat(dir.get(), temporary.name().c_str(), 0);
    return placed(temporary, dir.get());
}

// Sets `name` aside under a hidden name, the file open and locked as this run's so that no
// clean-up removes it meanwhile; `stillWanted` decides what becomes of it.
std::error_code setAsideAndDecide(int dir, const std::string& name, const std::function<bool(const Path&)>& stillWanted,
                                  const Path& folder, bool& removed)
{
    // Read-write where it can be: a network filesystem locks only what is open for writing.
    int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Descriptor file(openRetrying(dir, name.c_str(), flags | O_RDWR));
    if (file.get() < 0 && errno == EACCES)
        file = Descriptor(openRetrying(dir, name.c_str(), flags | O_RDONLY));
    if (file.get() < 0)
        return lastError();
    if (auto error = checkSource(file.get()))
        return error;
    if (holdAsOurs(dir, name, file.get()) != Hold::Held)
        return systemError(EBUSY);
    std::string aside;
    for (int attempt = 0;; ++attempt) {
        aside = leftover::asideName(name, randomBits());
        if (::renameat2(dir, name.c_str(), dir, aside.c_str(), RENAME_NOREPLACE) == 0)
            break;
        if (errno == EINVAL || errno == ENOSYS) {
            // The random name is as good as free where the filesystem cannot make sure of it.
            if (::renameat(dir, name.c_str(), dir, aside.c_str()) == 0)
                break;
        }
        if (errno != EEXIST || attempt == 100)
            return lastError();
    }
    if (!stillWanted(folder / aside)) {
        if (::unlinkat(dir, aside.c_str(), 0) != 0)
            return lastError();
        removed = true;
        return syncFolder(dir);
    }
    if (::renameat2(dir, aside.c_str(), dir, name.c_str(), RENAME_NOREPLACE) == 0
        || ((errno == EINVAL || errno == ENOSYS) && ::linkat(dir, aside.c_str(), dir, name.c_str(), 0) == 0
            && ::unlinkat(dir, aside.c_str(), 0) == 0))
        return syncFolder(dir);
    // Another copy has taken the name meanwhile: it serves as well.
    if (errno == EEXIST) {
        ::unlinkat(dir, aside.c_str(), 0);
        return syncFolder(dir);
    }
    return lastError();
}

} // namespace

CopyOutcome copyToFolder(const Path& source, const Path& folder, const ConfirmReplace& confirm, ReplaceQuestion,
                         const PrepareCopy& prepare)
{
    // The question is always asked here, through `confirm`: the caller answers it for a file
    // it has already asked about.
    try {
        return copyInto(source, folder, confirm, prepare);
    } catch (const std::bad_alloc&) {
        return notPlaced(systemError(ENOMEM));
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

CopyOutcome copyAsNew(const Path& source, const Path& folder, const Path& name)
{
    try {
        return copyNew(source, folder, name.native());
    } catch (const std::bad_alloc&) {
        return notPlaced(systemError(ENOMEM));
    }
}

std::error_code takeBack(const Path& folder, const Path& name, const std::function<bool(const Path& aside)>& stillWanted,
                         bool& removed)
{
    removed = false;
    if (!plainName(name.native()))
        return systemError(EINVAL);
    const Descriptor dir(openRetrying(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return lastError();
    try {
        return setAsideAndDecide(dir.get(), name.native(), stillWanted, folder, removed);
    } catch (const std::bad_alloc&) {
        return systemError(ENOMEM);
    }
}

} // namespace tessaro::os
