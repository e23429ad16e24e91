#include "platform/widgets/folder_watch.h"

#include "platform/widgets/folder_reading.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace tessaro {
namespace {

constexpr int LookEveryMs = 1000;

// What a look at a folder saw. The folder's own time changes when an entry is added,
// removed or renamed in it (on NTFS; FAT keeps it, but desktop.ini's own stamp is looked at).
struct Stamp {
    bool exists = false;
    qint64 folderTime = 0;
    bool ini = false;
    qint64 iniTime = 0;
    qint64 iniSize = 0;

    friend bool operator==(const Stamp&, const Stamp&) = default;
};

Stamp stampOf(const QString& folder)
{
    Stamp stamp;
    const QFileInfo info(folder);
    stamp.exists = info.isDir();
    if (!stamp.exists)
        return stamp;
    stamp.folderTime = info.lastModified().toMSecsSinceEpoch();
    const QFileInfo ini(QDir(folder).filePath(QStringLiteral("desktop.ini")));
    stamp.ini = ini.exists();
    if (stamp.ini) {
        stamp.iniTime = ini.lastModified().toMSecsSinceEpoch();
        stamp.iniSize = ini.size();
    }
    return stamp;
}

} // namespace

class FolderWatch::Engine {
public:
    explicit Engine(FolderWatch& owner) : m_owner(owner)
    {
        m_clock.setInterval(LookEveryMs);
        QObject::connect(&m_clock, &QTimer::timeout, &owner, [this] { look(); });
    }

    void setFolders(const QStringList& folders)
    {
        const bool added = std::any_of(folders.begin(), folders.end(), [this](const QString& folder) { return !m_folders.contains(folder); });
        m_folders = folders;
        for (auto it = m_seen.begin(); it != m_seen.end();)
            it = folders.contains(it.key()) ? std::next(it) : m_seen.erase(it);
        if (folders.isEmpty()) {
            m_clock.stop();
            return;
        }
        m_clock.start();
        // The first look is what later ones are compared with: as soon as possible.
        if (added)
            look();
    }

    const QStringList& folders() const { return m_folders; }
    // Each folder asked for has had its first look, which later ones are compared with.
    bool settled() const
    {
        return std::all_of(m_folders.begin(), m_folders.end(), [this](const QString& folder) { return m_seen.contains(folder); });
    }

private:
    void look()
    {
        if (m_look.busy() || m_out->load())
            return;
        auto folders = std::make_shared<QStringList>(m_folders);
        auto stamps = std::make_shared<std::vector<Stamp>>();
        m_out->store(true);
        m_look.start(
            [folders, stamps, out = m_out](VolumeTask::Control& control) {
                for (const QString& folder : *folders) {
                    if (control.cancelled())
                        break;
                    stamps->push_back(stampOf(folder));
                    control.advance();
                }
                out->store(false);
            },
            [this, folders, stamps] { compare(*folders, *stamps); },
            [] {}, VolumeTask::Wait::Never);
    }

    void compare(const QStringList& folders, const std::vector<Stamp>& stamps)
    {
        for (std::size_t i = 0; i < stamps.size(); ++i) {
            const QString& folder = folders[static_cast<qsizetype>(i)];
            if (!m_folders.contains(folder))
                continue;
            // A folder gone by the first look has changed all the same.
            const auto before = m_seen.constFind(folder);
            const bool changed = before == m_seen.cend() ? !stamps[i].exists : *before != stamps[i];
            m_seen.insert(folder, stamps[i]);
            if (changed)
                Q_EMIT m_owner.changed(folder);
        }
    }

    FolderWatch& m_owner;
    QStringList m_folders;
    QHash<QString, Stamp> m_seen;
    QTimer m_clock;
    VolumeTask m_look;
    // A look held by a volume that stopped answering is given up, not ended: no other starts
    // while it is out, so that such a volume holds one worker, not one a second.
    std::shared_ptr<std::atomic<bool>> m_out = std::make_shared<std::atomic<bool>>(false);
};

FolderWatch::FolderWatch(QObject* parent)
    : QObject(parent)
    , m_engine(std::make_unique<Engine>(*this))
{
}

FolderWatch::~FolderWatch() = default;

void FolderWatch::setFolders(const QStringList& folders)
{
    m_engine->setFolders(folders);
}

QStringList FolderWatch::folders() const
{
    return m_engine->folders();
}

bool FolderWatch::settled() const
{
    return m_engine->settled();
}

} // namespace tessaro
