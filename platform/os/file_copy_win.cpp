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

// A temporary file that is deleted again unless it was moved into place.
class TemporaryFile {
public:
    ~TemporaryFile()
    {
        if (m_path.empty())
            return;
        // The copy brings the source's attributes along, a read-only one included.
        ::SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(m_path.c_str());
    }

    std::error_code create(const Path& folder)
    {
        wchar_t name[MAX_PATH + 1] = {};
        if (!::GetTempFileNameW(folder.c_str(), L"tes", 0, name))
            return lastError();
        m_path = name;
        return {};
    }
    const std::wstring& path() const { return m_path; }
    void release() { m_path.clear(); }

private:
    std::wstring m_path;
};

} // namespace

std::error_code copyToFolder(const Path& source, const Path& folder, const ConfirmReplace& /*confirm*/, ReplaceQuestion question)
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
    return {};
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

std::error_code copyAsNew(const Path& source, const Path& folder, const Path& name)
{
    if (!plainName(name.native()))
        return {ERROR_INVALID_NAME, std::system_category()};
    const DWORD attributes = ::GetFileAttributesW(fullPath(source).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastError();
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return {ERROR_INVALID_PARAMETER, std::system_category()};

    const Path full = fullPath(folder);
    TemporaryFile temporary;
    if (auto error = temporary.create(full))
        return error;
    if (!::CopyFileW(fullPath(source).c_str(), temporary.path().c_str(), FALSE))
        return lastError();
    // Without MOVEFILE_REPLACE_EXISTING the move fails on a taken name, atomically.
    if (!::MoveFileExW(temporary.path().c_str(), (full / name).c_str(), MOVEFILE_WRITE_THROUGH))
        return lastError();
    temporary.release();
    return {};
}

} // namespace tessaro::os
