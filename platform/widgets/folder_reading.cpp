#include "platform/widgets/folder_reading.h"

#include "platform/os/native_path.h"

#include <QCoreApplication>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>

#include <algorithm>
#include <limits>
#include <utility>

namespace tessaro {

QThreadPool* folderReaderPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool)
        pool = new QThreadPool(QCoreApplication::instance());
    return pool;
}

FolderScan::FolderScan(const QString& folder, Accept accept)
    : m_accept(std::move(accept))
    , m_it(toPath(folder), std::filesystem::directory_options::skip_permission_denied, m_error)
{
}

bool FolderScan::read(std::size_t limit, const std::function<bool()>& cancelled)
{
    const std::filesystem::directory_iterator end;
    for (std::size_t n = 0; !m_error && m_it != end; m_it.increment(m_error), ++n) {
        // Asking every entry would cost more than reading it.
        if (n == limit || (n % 256 == 255 && cancelled && cancelled()))
            return false;
        if (!m_accept(*m_it))
            continue;
        const std::filesystem::path filename = m_it->path().filename();
        QString name = toQString(filename);
        QString key = name.toCaseFolded();
        m_entries.push_back({std::move(name), std::move(key), representable(filename)});
    }
    return true;
}

FolderEntries FolderScan::takeSorted()
{
    std::sort(m_entries.begin(), m_entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (const int byKey = QString::compare(a.key, b.key); byKey != 0)
            return byKey < 0;
        return a.name < b.name;
    });
    return std::move(m_entries);
}

FolderReading::FolderReading()
{
    QObject::connect(&m_watcher, &QFutureWatcherBase::finished, &m_watcher, [this] {
        // A signal may still arrive from a read dropped since; only the current one counts.
        QFuture<FolderEntries> done = m_watcher.future();
        if (!m_done || !done.isFinished())
            return;
        m_busy = false;
        // The callback may start the next read, which sets m_done anew.
        const Done deliver = std::exchange(m_done, nullptr);
        if (!done.isCanceled() && done.resultCount() > 0)
            deliver(done.takeResult());
    });
}

FolderReading::~FolderReading()
{
    cancel();
}

void FolderReading::start(std::shared_ptr<FolderScan> scan, Done done)
{
    cancel();
    if (scan->read(EntriesReadAtOnce)) {
        done(scan->takeSorted());
        return;
    }
    auto promise = std::make_shared<QPromise<FolderEntries>>();
    promise->start();
    m_done = std::move(done);
    m_busy = true;
    m_watcher.setFuture(promise->future());
    folderReaderPool()->start([promise, scan] {
        if (scan->read(std::numeric_limits<std::size_t>::max(), [&] { return promise->isCanceled(); }))
            promise->addResult(scan->takeSorted());
        promise->finish();
    });
}

void FolderReading::cancel()
{
    m_watcher.cancel();
    m_watcher.setFuture(QFuture<FolderEntries>());
    m_done = nullptr;
    m_busy = false;
}

} // namespace tessaro
