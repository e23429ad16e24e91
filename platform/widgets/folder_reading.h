#pragma once

// What the file list and the folder list share in reading folders: work that may wait for a
// volume runs on a worker, with a time limit; an everyday folder is still listed at once,
// a big one is read while the window answers, and a volume that stops answering is given up
// on instead of freezing the window.

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThreadPool;

namespace tessaro {

// A folder with up to this many entries is waited for on the spot, so that an everyday
// folder is listed by the time a list's setPath() returns and never shows an empty list
// first. A bigger one is read while the window answers: a hundred thousand entries take
// longer than a window may stop answering.
inline constexpr std::size_t EntriesReadAtOnce = 4096;

// The longest the window waits on the spot for a volume, once a worker asks it: a volume
// this slow is waited for in the background instead.
inline constexpr std::chrono::milliseconds WaitOnTheSpot{250};

// How long a volume may go without answering before a list gives it up and says so.
inline constexpr std::chrono::milliseconds AnswerTimeLimit{2000};

// Folders are read on a pool of their own. Qt's global pool also runs the raster paint
// engine's fills, and a paint waiting behind a long read would freeze the window. A worker
// caught by a volume that stopped answering may never come back: the pool has room for more,
// and at exit it waits a moment for reads just cancelled, not for those.
QThreadPool* folderReaderPool();

// `path` made absolute against the working directory, clean and in native form, from its
// text alone: the volume is not asked.
QString absoluteFolder(const QString& path);

struct FolderEntry {
    QString name;  // as the list shows it
    QString key;   // the name case-folded once: folding inside the sort would fold each name log n times
    bool exact;    // false when the name shows only approximately and so leads to no file
};
using FolderEntries = std::vector<FolderEntry>;

// One piece of work that may wait for a volume, run on a worker for one list at a time.
// A new start(), cancel() or the end of the VolumeTask drops the work before it: the work
// is told to stop and its end is never reported.
class VolumeTask {
public:
    class Control;
    using Work = std::function<void(Control&)>;
    enum class Wait { OnTheSpot, Never };

    VolumeTask();
    ~VolumeTask();
    VolumeTask(const VolumeTask&) = delete;
    VolumeTask& operator=(const VolumeTask&) = delete;

    // Runs `work` on a worker and calls `done` on this thread once it has ended: before
    // returning (true) when it ends while waited for on the spot (WaitOnTheSpot, and no
    // more than EntriesReadAtOnce entries), else from the event loop. Should the work make
    // no progress for AnswerTimeLimit, it is dropped and `unanswered` called instead.
    // Wait::Never: the caller goes on at once, for work whose answer can come any time.
    bool start(Work work, std::function<void()> done, std::function<void()> unanswered, Wait wait = Wait::OnTheSpot);
    void cancel();

    // Whether work runs in the background for this list.
    bool busy() const { return m_state != nullptr; }

private:
    struct State;
    void finish(const std::shared_ptr<State>& state);
    void checkProgress();

    QObject m_receiver;  // where workers post their end; gone with the task
    QTimer m_clock;
    std::shared_ptr<State> m_state;
    std::uint64_t m_lastProgress = 0;
    std::function<void()> m_done, m_unanswered;
};

// What the work sees of its task, on the worker.
class VolumeTask::Control {
public:
    explicit Control(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    // Whether the work is no longer wanted: it should stop soon.
    bool cancelled() const;

    // The volume answered: `entries` more entries were read (or one step of other work
    // done). Past EntriesReadAtOnce entries the window no longer waits on the spot.
    void advance(std::size_t entries = 0);

private:
    std::shared_ptr<State> m_state;
};

// Which entries of a folder a list keeps.
using AcceptEntry = std::function<bool(const std::filesystem::directory_entry&)>;

// Reads the entries of `folder` that `accept` keeps, sorted as Windows lists them: without
// regard to case. Empty when the folder is not there (no such folder, or a file), or
// when the work was cancelled. On a worker.
std::optional<FolderEntries> readFolder(const std::filesystem::path& folder, const AcceptEntry& accept, VolumeTask::Control& control);

// Reads one folder at a time for a list, as a VolumeTask.
class FolderReading {
public:
    // The folder's entries; none when it is not there.
    using Done = std::function<void(std::optional<FolderEntries>)>;

    // Whether the last start() ended on the spot.
    bool start(const QString& folder, AcceptEntry accept, Done done, std::function<void()> unanswered = {},
               VolumeTask::Wait wait = VolumeTask::Wait::OnTheSpot);
    void cancel() { m_task.cancel(); }
    bool busy() const { return m_task.busy(); }

private:
    VolumeTask m_task;
};

} // namespace tessaro
