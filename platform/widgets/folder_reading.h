#pragma once

// What the file list and the folder list share in reading folders: one scan, and one way
// of reading that lists an everyday folder at once and a big one on a worker thread.

#include <QFutureWatcher>
#include <QString>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QThreadPool;

namespace tessaro {

// A folder with up to this many entries is read on the spot, so that an everyday folder is
// listed by the time a list's setPath() returns and never shows an empty list first. A
// bigger one is read on a worker thread: a hundred thousand entries take longer than a
// window may stop answering.
inline constexpr std::size_t EntriesReadAtOnce = 4096;

// Big folders are read on a pool of their own. Qt's global pool also runs the raster paint
// engine's fills, and a paint waiting behind a long read would freeze the window.
QThreadPool* folderReaderPool();

struct FolderEntry {
    QString name;  // as the list shows it
    QString key;   // the name case-folded once: folding inside the sort would fold each name log n times
    bool exact;    // false when the name shows only approximately and so leads to no file
};
using FolderEntries = std::vector<FolderEntry>;

// Reads the entries of one folder that `accept` keeps, in as many steps as the caller wants.
class FolderScan {
public:
    using Accept = std::function<bool(const std::filesystem::directory_entry&)>;

    FolderScan(const QString& folder, Accept accept);

    // Reads up to `limit` more entries; true once the folder is read to its end. Stops early,
    // false, when `cancelled` says so.
    bool read(std::size_t limit, const std::function<bool()>& cancelled = {});

    // The entries kept so far, sorted as Windows lists them: without regard to case.
    FolderEntries takeSorted();

private:
    Accept m_accept;
    std::error_code m_error;
    std::filesystem::directory_iterator m_it;
    FolderEntries m_entries;
};

// Reads one folder at a time for a list. A new read, cancel() or the end of the
// FolderReading drops the read before it, whose result is then never delivered.
class FolderReading {
public:
    using Done = std::function<void(FolderEntries)>;

    FolderReading();
    ~FolderReading();
    FolderReading(const FolderReading&) = delete;
    FolderReading& operator=(const FolderReading&) = delete;

    // Reads `scan` to its end and hands the entries to `done` on the calling thread: before
    // returning when the folder holds up to EntriesReadAtOnce entries, else once a worker
    // has read them, the event loop running meanwhile.
    void start(std::shared_ptr<FolderScan> scan, Done done);
    void cancel();

    // Whether a worker is reading for this list.
    bool busy() const { return m_busy; }

private:
    QFutureWatcher<FolderEntries> m_watcher;
    Done m_done;
    bool m_busy = false;
};

} // namespace tessaro
