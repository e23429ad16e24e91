#include "platform/widgets/folder_watch.h"

#include "platform/os/native_path.h"
#include "platform/widgets/folder_reading.h"
#include "platform/widgets/volume_service.h"

#include <QCoreApplication>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace tessaro {
namespace {

// At exit, the watching thread is waited for this long: one held by a volume that stopped
// answering is left behind, as the folder readers are.
constexpr unsigned long ExitWaitMs = 1000;

class WatchService;

// What the watching thread and the service share. The service cuts it when it gives the
// thread up, or goes, so that a thread that comes back from a volume reaches nothing.
struct Link {
    std::mutex mutex;
    WatchService* service;
    QString current;                   // the folder whose watch is being set; empty between
    std::atomic<std::uint64_t> steps{0};   // watches set so far
    std::atomic<std::uint64_t> latest{0};  // the newest set of folders asked for

    explicit Link(WatchService* owner) : service(owner) {}
    void post(std::function<void(WatchService&)> call);
    void cut()
    {
        const std::lock_guard lock(mutex);
        service = nullptr;
    }
};

// Lives on the watching thread: holds the system's watches.
class Watches final : public QObject {
public:
    explicit Watches(std::shared_ptr<Link> link) : m_link(std::move(link)) {}

    void set(const QStringList& folders, std::uint64_t generation);

    // Once the thread is through with what it does now (a watch a volume holds, perhaps),
    // the engine goes with its watches, and the thread ends. On the thread itself: the
    // system's watcher must go where it was made.
    static void retire(Watches* engine)
    {
        QMetaObject::invokeMethod(engine, [engine] {
            delete engine;
            QThread::currentThread()->quit();
        }, Qt::QueuedConnection);
    }

private:
    std::shared_ptr<Link> m_link;
    QFileSystemWatcher* m_watcher = nullptr;
};

// One for every FolderWatch: the folders they ask for, together, are watched on one thread,
// and a change is told to each that asked for its folder.
class WatchService final : public QObject {
public:
    static WatchService& instance();
    ~WatchService() override;

    void set(FolderWatch* client, const QStringList& folders);
    void report(const QString& folder);
    void settled(std::uint64_t generation);
    bool settled() const { return !m_postQueued && m_settledGeneration == m_generation; }

private:
    WatchService();
    void startThread();
    void postLater();
    void post();
    void checkProgress();
    void giveUp(const QString& folder);
    void answeredAgain(const QString& root);

    QHash<FolderWatch*, QStringList> m_clients;
    QSet<QString> m_unanswered;  // roots of the volumes given up
    QStringList m_posted;
    QThread* m_thread = nullptr;
    Watches* m_engine = nullptr;
    std::shared_ptr<Link> m_link;
    std::uint64_t m_generation = 0, m_settledGeneration = 0, m_lastSteps = 0;
    bool m_postQueued = false;
    QTimer m_clock;
};

void Link::post(std::function<void(WatchService&)> call)
{
    const std::lock_guard lock(mutex);
    if (service)
        QMetaObject::invokeMethod(service, [service = service, call = std::move(call)] { call(*service); }, Qt::QueuedConnection);
}

void Watches::set(const QStringList& folders, std::uint64_t generation)
{
    // A newer set is on its way: this one would be undone at once.
    if (generation != m_link->latest.load())
        return;
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [link = m_link](const QString& folder) {
            link->post([folder](WatchService& service) { service.report(folder); });
        });
    }
    const QStringList now = m_watcher->directories();
    QStringList gone;
    for (const QString& folder : now) {
        if (!folders.contains(folder))
            gone << folder;
    }
    if (!gone.isEmpty())
        m_watcher->removePaths(gone);
    for (const QString& folder : folders) {
        if (now.contains(folder))
            continue;
        {
            const std::lock_guard lock(m_link->mutex);
            m_link->current = folder;
        }
        m_watcher->addPath(folder);
        {
            const std::lock_guard lock(m_link->mutex);
            m_link->current.clear();
        }
        ++m_link->steps;
    }
    m_link->post([generation](WatchService& service) { service.settled(generation); });
}

WatchService& WatchService::instance()
{
    static QPointer<WatchService> service;
    if (!service)
        service = new WatchService;
    return *service;
}

WatchService::WatchService()
    : QObject(QCoreApplication::instance())
{
    m_clock.setInterval(AnswerTimeLimit);
    connect(&m_clock, &QTimer::timeout, this, &WatchService::checkProgress);
    startThread();
}

WatchService::~WatchService()
{
    m_link->cut();
    Watches::retire(m_engine);
    if (m_thread->wait(ExitWaitMs))
        delete m_thread;
}

void WatchService::startThread()
{
    m_link = std::make_shared<Link>(this);
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("folder watcher"));
    m_engine = new Watches(m_link);
    m_engine->moveToThread(m_thread);
    m_thread->start();
    m_posted.clear();
}

void WatchService::set(FolderWatch* client, const QStringList& folders)
{
    if (folders.isEmpty())
        m_clients.remove(client);
    else
        m_clients.insert(client, folders);
    postLater();
}

// Once per turn of the event loop, however many lists changed what they watch.
void WatchService::postLater()
{
    if (std::exchange(m_postQueued, true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        m_postQueued = false;
        post();
    }, Qt::QueuedConnection);
}

void WatchService::post()
{
    QStringList folders;
    for (const QStringList& asked : std::as_const(m_clients)) {
        for (const QString& folder : asked) {
            if (!folders.contains(folder) && !m_unanswered.contains(toQString(volumeService().rootOf(toPath(folder)))))
                folders << folder;
        }
    }
    folders.sort();
    if (folders == m_posted)
        return;
    m_posted = folders;
    const std::uint64_t generation = ++m_generation;
    m_link->latest = generation;
    QMetaObject::invokeMethod(m_engine, [engine = m_engine, folders, generation] { engine->set(folders, generation); }, Qt::QueuedConnection);
    m_lastSteps = m_link->steps.load();
    m_clock.start();
}

void WatchService::settled(std::uint64_t generation)
{
    if (generation != m_generation)
        return;
    m_settledGeneration = generation;
    m_clock.stop();
}

void WatchService::checkProgress()
{
    const std::uint64_t steps = m_link->steps.load();
    if (steps != m_lastSteps) {
        m_lastSteps = steps;
        return;
    }
    QString stuck;
    {
        const std::lock_guard lock(m_link->mutex);
        stuck = m_link->current;
    }
    // Not held by a volume (a busy machine, as a rule): it is waited for.
    if (!stuck.isEmpty())
        giveUp(stuck);
}

void WatchService::giveUp(const QString& folder)
{
    m_clock.stop();
    const QString root = toQString(volumeService().rootOf(toPath(folder)));
    m_unanswered.insert(root);
    // The thread comes back, if ever, once the volume answers: it then ends, and its watches
    // with it.
    m_link->cut();
    QThread* abandoned = std::exchange(m_thread, nullptr);
    connect(abandoned, &QThread::finished, this, [this, root] { answeredAgain(root); });
    connect(abandoned, &QThread::finished, abandoned, &QObject::deleteLater);
    Watches::retire(m_engine);
    startThread();
    post();
}

// Its folders are watched again, and read again: they may have changed meanwhile.
void WatchService::answeredAgain(const QString& root)
{
    m_unanswered.remove(root);
    post();
    QSet<QString> there;
    for (const QStringList& asked : std::as_const(m_clients)) {
        for (const QString& folder : asked) {
            if (toQString(volumeService().rootOf(toPath(folder))) == root)
                there.insert(folder);
        }
    }
    for (const QString& folder : std::as_const(there))
        report(folder);
}

void WatchService::report(const QString& folder)
{
    QList<QPointer<FolderWatch>> told;
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it) {
        if (it.value().contains(folder))
            told << it.key();
    }
    for (const QPointer<FolderWatch>& client : std::as_const(told)) {
        if (client)
            Q_EMIT client->changed(folder);
    }
}

} // namespace

class FolderWatch::Engine {
public:
    QStringList folders; // sorted, once each
};

FolderWatch::FolderWatch(QObject* parent)
    : QObject(parent)
    , m_engine(std::make_unique<Engine>())
{
}

FolderWatch::~FolderWatch()
{
    if (!m_engine->folders.isEmpty())
        WatchService::instance().set(this, {});
}

void FolderWatch::setFolders(const QStringList& asked)
{
    QStringList folders = asked;
    folders.sort();
    folders.removeDuplicates();
    if (folders == m_engine->folders)
        return;
    m_engine->folders = folders;
    WatchService::instance().set(this, folders);
}

QStringList FolderWatch::folders() const
{
    return m_engine->folders;
}

bool FolderWatch::settled() const
{
    return WatchService::instance().settled();
}

} // namespace tessaro
