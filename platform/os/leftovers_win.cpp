#include "platform/os/leftover_names.h"
#include "platform/os/windows_support.h"

#include <new>
#include <string>
#include <vector>

namespace tessaro::os {
namespace {

// The names in `folder` (files and folders alike), "." and ".." left out.
std::vector<std::wstring> namesIn(const Path& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder / L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

void clear(const Path& folder, const std::function<bool(const Path& name)>& wanted)
{
    for (const std::wstring& name : namesIn(folder)) {
        std::wstring original;
        const leftover::Kind kind = leftover::kindOf(name, original);
        if (kind == leftover::Kind::Other)
            continue;
        // Shared with nobody: a run still going holds its files open, and this fails.
        const Handle file(::CreateFileW((folder / name).c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (file.get() == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(file.get(), &info)
            || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            continue;
        if (kind == leftover::Kind::Aside && wanted && wanted(Path(original)) && !renameOpen(file.get(), folder / original))
            continue;
        deleteOpen(file.get());
    }
}

} // namespace

void removeLeftovers(const Path& folder, const std::function<bool(const Path& name)>& wanted)
{
    const QuietDriveErrors quiet;
    try {
        clear(fullPath(folder), wanted);
    } catch (const std::bad_alloc&) {
        // What is left stays for the next run.
    }
}

// Open without FILE_SHARE_DELETE: the folder cannot be renamed or removed while it is held.
FolderHold::FolderHold(const Path& folder)
    : m_handle(reinterpret_cast<std::intptr_t>(::CreateFileW(fullPath(folder).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)))
    , m_held(reinterpret_cast<HANDLE>(m_handle) != INVALID_HANDLE_VALUE)
{
}

FolderHold::~FolderHold()
{
    if (m_held)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

void removeStaleFolders(const Path& base, std::string_view prefix)
{
    const std::wstring wide = leftover::widen<wchar_t>(prefix);
    try {
        for (const std::wstring& name : namesIn(fullPath(base))) {
            if (name.size() != wide.size() + 6 || name.compare(0, wide.size(), wide) != 0)
                continue;
            const Path folder = fullPath(base) / name;
            // Refused while a run holds it. A folder is never made again under a name once used,
            // so one found free stays free; the listing below could not share it with DELETE.
            Handle probe(::CreateFileW(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            if (probe.get() == INVALID_HANDLE_VALUE)
                continue;
            BY_HANDLE_FILE_INFORMATION info{};
            if (!::GetFileInformationByHandle(probe.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            ::CloseHandle(probe.release());
            for (const std::wstring& entry : namesIn(folder))
                ::DeleteFileW((folder / entry).c_str());
            ::RemoveDirectoryW(folder.c_str());
        }
    } catch (const std::bad_alloc&) {
        // What is left stays for the next start.
    }
}

} // namespace tessaro::os
