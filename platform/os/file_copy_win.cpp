#include "platform/os/leftover_names.h"
#include "platform/os/windows_support.h"

#include <shellapi.h>

#include <algorithm>

namespace tessaro::os {
namespace {

// The shell's double-NUL-terminated path list with one entry.
std::wstring shellPathList(const Path& path)
{
    std::wstring list = path.native();
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

bool plainName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

// A copy being written beside the file it becomes, under a name removeLeftovers() knows. It
// is open without FILE_SHARE_DELETE until it has its name, so that no clean-up of another run
// can remove it meanwhile; closed before it has one, it is deleted.
class TemporaryFile {
public:
    ~TemporaryFile()
    {
        if (m_handle != INVALID_HANDLE_VALUE) {
            if (!m_placed)
                deleteOpen(m_handle);
            ::CloseHandle(m_handle);
        }
    }

    std::error_code create(const Path& folder, const std::wstring& finalName)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const Path path = folder / leftover::temporaryName(finalName, randomBits());
            m_handle = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
            if (m_handle != INVALID_HANDLE_VALUE)
                return {};
            if (::GetLastError() != ERROR_FILE_EXISTS)
                return lastError();
        }
        return {ERROR_FILE_EXISTS, std::system_category()};
    }

    HANDLE get() const { return m_handle; }

    // Takes `name`, never over what is there.
    std::error_code place(const Path& destination)
    {
        if (auto error = renameOpen(m_handle, destination))
            return error;
        m_placed = true;
        return {};
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_placed = false;
};

std::error_code copyBytes(HANDLE from, HANDLE to)
{
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from, buffer, sizeof buffer, &got, nullptr))
            return lastError();
        if (got == 0)
            return {};
        for (DWORD done = 0; done < got;) {
            DWORD written = 0;
            if (!::WriteFile(to, buffer + done, got - done, &written, nullptr))
                return lastError();
            if (written == 0)
                return {ERROR_HANDLE_DISK_FULL, std::system_category()};
            done += written;
        }
    }
}

} // namespace

CopyOutcome copyToFolder(const Path& source, const Path& folder, const ConfirmReplace& /*confirm*/, ReplaceQuestion question,
                         const PrepareCopy& /*prepare*/)
{
    // The shell asks about an existing file itself, with the dialog users know, unless the
    // caller has already asked: one question, not two.
    const std::wstring from = shellPathList(fullPath(source));
    const std::wstring to = shellPathList(fullPath(folder));
    const Path existing = fullPath(folder) / source.filename();
    // The attributes of a file replaced, Read-only and Archive among them, go to its
    // replacement; Read-only is off meanwhile, as the shell would not write over it.
    constexpr DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD kept = INVALID_FILE_ATTRIBUTES;
    if (question == ReplaceQuestion::AlreadyAnswered) {
        // The shell overwrites an existing file by opening it, which follows a link there to
        // whatever it points at: a link the user agreed to replace goes first, itself.
        const DWORD attributes = ::GetFileAttributesW(existing.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                ::RemoveDirectoryW(existing.c_str());
            else
                ::DeleteFileW(existing.c_str());
        } else if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            kept = attributes & settable;
            if (kept & FILE_ATTRIBUTE_READONLY)
                ::SetFileAttributesW(existing.c_str(), (kept & ~FILE_ATTRIBUTE_READONLY) ? kept & ~FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        }
    }

    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = question == ReplaceQuestion::AlreadyAnswered ? FOF_NOCONFIRMATION : 0;
    operation.fAnyOperationsAborted = FALSE;
    operation.hNameMappings = nullptr;
    operation.lpszProgressTitle = L"\uFF8C\uFF67\uFF72\uFF99\uFF7A\uFF8B\uFF9F\uFF70";

    // The shell has already shown the user any failure; there is nothing to add.
    ::SHFileOperationW(&operation);
    if (kept != INVALID_FILE_ATTRIBUTES) {
        const DWORD now = ::GetFileAttributesW(existing.c_str());
        if (now != INVALID_FILE_ATTRIBUTES && !(now & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            ::SetFileAttributesW(existing.c_str(), (now & settable) | kept);
    }
    return {false, false, {}};
}

std::error_code writeNewFile(const Path& file, std::string_view bytes)
{
    HANDLE handle = ::CreateFileW(fullPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    std::error_code error;
    while (!bytes.empty() && !error) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr))
            error = lastError();
        else if (written == 0)
            error = {ERROR_HANDLE_DISK_FULL, std::system_category()};
        bytes.remove_prefix(written);
    }
    if (!error && !::FlushFileBuffers(handle))
        error = lastError();
    if (!::CloseHandle(handle) && !error)
        error = lastError();
    // Half a file is worse than none.
    if (error)
        ::DeleteFileW(fullPath(file).c_str());
    return error;
}

CopyOutcome copyAsNew(const Path& source, const Path& folder, const Path& name)
{
    if (!plainName(name.native()))
        return {false, true, {ERROR_INVALID_NAME, std::system_category()}};
    const DWORD attributes = ::GetFileAttributesW(fullPath(source).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {false, true, lastError()};
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return {false, true, make_error_code(Failure::NotAFile)};
    const Handle input(::CreateFileW(fullPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (input.get() == INVALID_HANDLE_VALUE)
        return {false, true, lastError()};
    if (::GetFileType(input.get()) != FILE_TYPE_DISK)
        return {false, true, make_error_code(Failure::NotAFile)};

    const Path full = fullPath(folder);
    TemporaryFile temporary;
    if (auto error = temporary.create(full, name.native()))
        return {false, true, error};
    if (auto error = copyBytes(input.get(), temporary.get()))
        return {false, true, error};
    if (!::FlushFileBuffers(temporary.get()))
        return {false, true, lastError()};
    // The rename fails on a taken name, atomically.
    if (auto error = temporary.place(full / name))
        return {false, true, error};
    return {true, true, {}};
}

std::error_code takeBack(const Path& folder, const Path& name, const std::function<bool(const Path& aside)>& stillWanted,
                         bool& removed)
{
    removed = false;
    if (!plainName(name.native()))
        return {ERROR_INVALID_NAME, std::system_category()};
    const Path full = fullPath(folder);
    // Without FILE_SHARE_DELETE: no clean-up of another run removes it while it is aside.
    const Handle file(::CreateFileW((full / name).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return lastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info))
        return lastError();
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return make_error_code(Failure::NotAFile);
    Path aside;
    for (int attempt = 0;; ++attempt) {
        aside = leftover::asideName(name.native(), randomBits());
        const auto error = renameOpen(file.get(), full / aside);
        if (!error)
            break;
        if ((error.value() != ERROR_ALREADY_EXISTS && error.value() != ERROR_FILE_EXISTS) || attempt == 100)
            return error;
    }
    if (!stillWanted(folder / aside)) {
        if (auto error = deleteOpen(file.get()))
            return error;
        removed = true;
        return {};
    }
    const auto error = renameOpen(file.get(), full / name);
    // Another copy has taken the name meanwhile: it serves as well.
    if (error.value() == ERROR_ALREADY_EXISTS || error.value() == ERROR_FILE_EXISTS)
        return deleteOpen(file.get());
    return error;
}

} // namespace tessaro::os
