#include "platform/widgets/folder_reading.h"

#include "platform/os/native_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace tessaro {
namespace {

// Workers that a dead volume holds are lost to the pool; the others must still find one.
constexpr int MostWorkers = 64;

// Reads just cancelled end within one batch of entries; a worker stuck on a volume does not.
constexpr int ExitWaitMs = 1000;

void waitForCancelledReads()
{
    folderReaderPool()->clear();
    folderReaderPool()->waitForDone(ExitWaitMs);
}

using NativeString = std::filesystem::path::string_type;

// Qt's decoders take a byte-order mark at the start of a text for a mark and drop it; at
// the start of a file name it is part of the name.
bool startsWithMark(const NativeString& name, NativeString& rest)
{
    using Char = NativeString::value_type;
    // UTF-8's three bytes where names are bytes, the one UTF-16 unit where they are wide.
    static const NativeString mark = sizeof(Char) == 1
        ? NativeString{static_cast<Char>(0xEF), static_cast<Char>(0xBB), static_cast<Char>(0xBF)}
        : NativeString{static_cast<Char>(0xFEFF)};
    if (!name.starts_with(mark))
        return false;
    rest = name.substr(mark.size());
    return true;
}

FolderEntry entryOf(const std::filesystem::path& filename)
{
    QString name;
    NativeString rest;
    if (startsWithMark(filename.native(), rest))
        name = QChar(0xFEFF) + toQString(std::filesystem::path(rest));
    else
        name = toQString(filename);
    QString key = name.toCaseFolded();
    const bool exact = toPath(name).native() == filename.native();
    return {std::move(name), std::move(key), exact};
}

} // namespace

QThreadPool* folderReaderPool()
{
    static QThreadPool* const pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(MostWorkers);
        qAddPostRoutine(waitForCancelledReads);
        return created;
    }();
    return pool;
}

QString absoluteFolder(const QString& path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

struct VolumeTask::State {
    std::mutex mutex;
    std::condition_variable wake;
    bool running = false;     // a worker has taken the work up
    bool ended = false;       // the work has returned
    bool beyondSpot = false;  // it has read more than the window waits for
    bool cancelled = false;   // no longer wanted: its end goes unreported
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> progress{0};
    std::size_t entries = 0;  // the worker's own count
};

bool VolumeTask::Control::cancelled() const
{
    return m_state->stop.load(std::memory_order_relaxed);
}

void VolumeTask::Control::advance(std::size_t entries)
{
    m_state->progress.fetch_add(1, std::memory_order_relaxed);
    const bool crossing = m_state->entries <= EntriesReadAtOnce && m_state->entries + entries > EntriesReadAtOnce;
    m_state->entries += entries;
    if (crossing) {
        const std::lock_guard lock(m_state->mutex);
        m_state->beyondSpot = true;
        m_state->wake.notify_all();
    }
}

VolumeTask::VolumeTask()
{
    m_clock.setInterval(AnswerTimeLimit);
    QObject::connect(&m_clock, &QTimer::timeout, &m_receiver, [this] { checkProgress(); });
}

VolumeTask::~VolumeTask()
{
    cancel();
}

bool VolumeTask::start(Work work, std::function<void()> done, std::function<void()> unanswered, Wait wait)
{
    cancel();
    auto state = std::make_shared<State>();
    folderReaderPool()->start([state, work = std::move(work), receiver = &m_receiver, this] {
        {
            const std::lock_guard lock(state->mutex);
            state->running = true;
        }
        state->wake.notify_all();
        Control control(state);
        work(control);
        const std::lock_guard lock(state->mutex);
        state->ended = true;
        state->wake.notify_all();
        // Under the lock: a task that cancelled its work may be gone right after.
        if (!state->cancelled)
            QMetaObject::invokeMethod(receiver, [this, state] { finish(state); }, Qt::QueuedConnection);
    });

    std::unique_lock lock(state->mutex);
    if (wait == Wait::OnTheSpot) {
        // A worker may be slow to start on a busy machine, which is no fault of the volume.
        state->wake.wait_for(lock, AnswerTimeLimit, [&] { return state->running; });
        state->wake.wait_for(lock, WaitOnTheSpot, [&] { return state->ended || state->beyondSpot; });
    }
    // Past EntriesReadAtOnce it is the event loop's, even should it have ended meanwhile, so
    // that a big folder always comes the same way.
    if (state->ended && !state->beyondSpot) {
        // Its report, already posted, finds another task's state or none and is dropped.
        lock.unlock();
        done();
        return true;
    }
    lock.unlock();
    m_state = std::move(state);
    m_done = std::move(done);
    m_unanswered = std::move(unanswered);
    m_lastProgress = m_state->progress.load();
    m_clock.start();
    return false;
}

void VolumeTask::cancel()
{
    m_clock.stop();
    if (const std::shared_ptr<State> state = std::exchange(m_state, nullptr)) {
        state->stop = true;
        const std::lock_guard lock(state->mutex);
        state->cancelled = true;
    }
    m_done = nullptr;
    m_unanswered = nullptr;
}

void VolumeTask::finish(const std::shared_ptr<State>& state)
{
    if (state != m_state)
        return;
    // The callback may start the next work, which sets the members anew.
    const std::function<void()> done = std::exchange(m_done, nullptr);
    cancel();
    done();
}

void VolumeTask::checkProgress()
{
    const std::uint64_t progress = m_state ? m_state->progress.load() : 0;
    if (progress != m_lastProgress) {
        m_lastProgress = progress;
        return;
    }
    const std::function<void()> unanswered = std::exchange(m_unanswered, nullptr);
    cancel();
    if (unanswered)
        unanswered();
}

std::optional<FolderEntries> readFolder(const std::filesystem::path& folder, const AcceptEntry& accept, VolumeTask::Control& control)
{
    std::error_code error;
    std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, error);
    control.advance();
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
        return std::nullopt;

    FolderEntries entries;
    const std::filesystem::directory_iterator end;
    std::size_t counted = 0;
    for (std::size_t n = 1; !error && it != end; it.increment(error), ++n) {
        // Asking every entry would cost more than reading it.
        if (n % 256 == 0) {
            control.advance(n - counted);
            counted = n;
            if (control.cancelled())
                return std::nullopt;
        }
        if (accept(*it))
            entries.push_back(entryOf(it->path().filename()));
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (const int byKey = QString::compare(a.key, b.key); byKey != 0)
            return byKey < 0;
        return a.name < b.name;
    });
    return entries;
}

bool FolderReading::start(const QString& folder, AcceptEntry accept, Done done, std::function<void()> unanswered, VolumeTask::Wait wait)
{
    auto result = std::make_shared<std::optional<FolderEntries>>();
    return m_task.start(
        [result, path = toPath(folder), accept = std::move(accept)](VolumeTask::Control& control) {
            *result = readFolder(path, accept, control);
        },
        [result, done = std::move(done)] { done(std::move(*result)); },
        std::move(unanswered), wait);
}

} // namespace tessaro
