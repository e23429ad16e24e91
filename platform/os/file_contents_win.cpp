#include "platform/os/same_bytes.h"
#include "platform/os/windows_support.h"

#include <cstdint>
#include <new>

#include <fcntl.h>
#include <io.h>

namespace tessaro::os {
namespace {

Entry::Kind kindOf(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Entry::Kind::Other;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? Entry::Kind::Folder : Entry::Kind::RegularFile;
}

// Opens `path` for reading only when it is a regular file: a link or junction at its end is
// opened as itself and refused, and what was opened is looked at again, which is what counts
// when the name changed meanwhile.
std::error_code openRegular(const Path& path, HANDLE& handle, Entry::Kind& kind)
{
    handle = INVALID_HANDLE_VALUE;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return {static_cast<int>(error), std::system_category()};
        kind = Entry::Kind::Absent;
        return {};
    }
    kind = kindOf(attributes);
    if (kind != Entry::Kind::RegularFile)
        return {};
    handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return {static_cast<int>(error), std::system_category()};
        kind = Entry::Kind::Absent;
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return lastError();
    kind = ::GetFileType(handle) == FILE_TYPE_DISK ? kindOf(info.dwFileAttributes) : Entry::Kind::Other;
    return {};
}

std::error_code readSome(HANDLE handle, char* buffer, DWORD size, DWORD& got)
{
    got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!::ReadFile(handle, buffer + got, size - got, &n, nullptr))
            return lastError();
        if (n == 0)
            break;
        got += n;
    }
    return {};
}

} // namespace

std::error_code inspect(const Path& path, bool read, std::size_t limit, Entry& entry)
{
    entry = Entry{};
    HANDLE raw = INVALID_HANDLE_VALUE;
    const auto opened = openRegular(fullPath(path), raw, entry.kind);
    const Handle file(raw);
    if (opened || entry.kind != Entry::Kind::RegularFile || !read)
        return opened;
    try {
        char buffer[16384];
        for (;;) {
            DWORD got = 0;
            if (auto error = readSome(file.get(), buffer, sizeof buffer, got))
                return error;
            if (entry.bytes.size() + got > limit)
                return {ERROR_FILE_TOO_LARGE, std::system_category()};
            entry.bytes.append(buffer, got);
            if (got < sizeof buffer)
                return {};
        }
    } catch (const std::bad_alloc&) {
        return {ERROR_NOT_ENOUGH_MEMORY, std::system_category()};
    }
}

std::error_code sameContents(const Path& file, const Path& source, bool& same)
{
    same = false;
    HANDLE rawFile = INVALID_HANDLE_VALUE, rawSource = INVALID_HANDLE_VALUE;
    Entry::Kind fileKind = Entry::Kind::Absent, sourceKind = Entry::Kind::Absent;
    const auto fileOpened = openRegular(fullPath(file), rawFile, fileKind);
    const Handle first(rawFile);
    if (fileOpened || fileKind != Entry::Kind::RegularFile)
        return fileOpened;
    const auto sourceOpened = openRegular(fullPath(source), rawSource, sourceKind);
    const Handle second(rawSource);
    if (sourceOpened)
        return sourceOpened;
    if (sourceKind != Entry::Kind::RegularFile)
        return {sourceKind == Entry::Kind::Absent ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER, std::system_category()};

    LARGE_INTEGER a{}, b{};
    if (!::GetFileSizeEx(first.get(), &a) || !::GetFileSizeEx(second.get(), &b))
        return lastError();
    if (a.QuadPart != b.QuadPart)
        return {};
    return compareBlocks([&](int which, char* buffer, std::size_t size, std::size_t& got) {
        DWORD read = 0;
        const auto error = readSome(which == 0 ? first.get() : second.get(), buffer, static_cast<DWORD>(size), read);
        got = read;
        return error;
    }, same);
}

std::error_code openRegularFile(const Path& path, int& fd)
{
    fd = -1;
    const QuietDriveErrors quiet;
    const Path full = fullPath(path);
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return make_error_code(Failure::NotAFile);
    // A device's name (CON, COM1) opens the device: only a file on a disk is read.
    const HANDLE handle = ::CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(handle);
        return make_error_code(Failure::NotAFile);
    }
    fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return {ERROR_TOO_MANY_OPEN_FILES, std::system_category()};
    }
    return {};
}

} // namespace tessaro::os
