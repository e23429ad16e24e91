#include "platform/os/os_services.h"
#include "platform/os/posix_fd.h"
#include "platform/os/same_bytes.h"

#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaro::os {
namespace {

Entry::Kind kindOf(mode_t mode)
{
    return S_ISREG(mode) ? Entry::Kind::RegularFile : S_ISDIR(mode) ? Entry::Kind::Folder : Entry::Kind::Other;
}

// Opens `path` for reading only when it is a regular file. Looked at first without following
// a link and without opening anything (opening a device can act on it); then opened without
// following a link nor waiting on a pipe, and what was opened is looked at again, which is
// what counts when the name changed meanwhile.
std::error_code openRegular(const Path& path, int& fd, Entry::Kind& kind)
{
    fd = -1;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT)
            return lastError();
        kind = Entry::Kind::Absent;
        return {};
    }
    kind = kindOf(info.st_mode);
    if (kind != Entry::Kind::RegularFile)
        return {};
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT)
            kind = Entry::Kind::Absent;
        else if (errno == ELOOP)
            kind = Entry::Kind::Other;
        else
            return lastError();
        return {};
    }
    if (::fstat(fd, &info) != 0)
        return lastError();
    kind = kindOf(info.st_mode);
    return {};
}

std::error_code readAll(int fd, std::size_t limit, std::string& bytes)
{
    bytes.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t got = readRetrying(fd, buffer, sizeof buffer);
        if (got < 0)
            return lastError();
        if (got == 0)
            return {};
        if (bytes.size() + static_cast<std::size_t>(got) > limit)
            return systemError(EFBIG);
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

// Reads up to `size` bytes, fewer only at the end of the file.
std::error_code readSome(int fd, char* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    while (got < size) {
        const ssize_t n = readRetrying(fd, buffer + got, size - got);
        if (n < 0)
            return lastError();
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return {};
}

std::error_code compare(const Path& file, const Path& source, bool& same)
{
    same = false;
    int fileFd = -1, sourceFd = -1;
    Entry::Kind fileKind = Entry::Kind::Absent, sourceKind = Entry::Kind::Absent;
    const auto fileOpened = openRegular(file, fileFd, fileKind);
    const Descriptor first(fileFd);
    if (fileOpened || fileKind != Entry::Kind::RegularFile)
        return fileOpened;
    const auto sourceOpened = openRegular(source, sourceFd, sourceKind);
    const Descriptor second(sourceFd);
    if (sourceOpened)
        return sourceOpened;
    if (sourceKind != Entry::Kind::RegularFile)
        return systemError(sourceKind == Entry::Kind::Absent ? ENOENT : EINVAL);

    struct stat a {}, b {};
    if (::fstat(first.get(), &a) != 0 || ::fstat(second.get(), &b) != 0)
        return lastError();
    if (a.st_size != b.st_size)
        return {};
    return compareBlocks([&](int which, char* buffer, std::size_t size, std::size_t& got) {
        return readSome(which == 0 ? first.get() : second.get(), buffer, size, got);
    }, same);
}

} // namespace

std::error_code inspect(const Path& path, bool read, std::size_t limit, Entry& entry)
{
    entry = Entry{};
    int fd = -1;
    const auto opened = openRegular(path, fd, entry.kind);
    const Descriptor file(fd);
    if (opened || entry.kind != Entry::Kind::RegularFile || !read)
        return opened;
    try {
        return readAll(file.get(), limit, entry.bytes);
    } catch (const std::bad_alloc&) {
        return systemError(ENOMEM);
    }
}

std::error_code sameContents(const Path& file, const Path& source, bool& same)
{
    return compare(file, source, same);
}

std::error_code openRegularFile(const Path& path, int& fd)
{
    // O_NONBLOCK: a pipe opens at once instead of waiting for a writer, and is then refused.
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return lastError();
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    // Reads of a regular file never wait as a pipe's do; the flag only matters to them.
    else if (S_ISREG(info.st_mode) && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        error = errno;
    if (error == 0 && S_ISREG(info.st_mode))
        return {};
    ::close(fd);
    fd = -1;
    return error ? systemError(error) : make_error_code(Failure::NotAFile);
}

} // namespace tessaro::os
