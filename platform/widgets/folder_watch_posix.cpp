#include "platform/widgets/folder_watch.h"

#include <QFileSystemWatcher>

namespace tessaro {

class FolderWatch::Engine {
public:
    QFileSystemWatcher watcher;
};

FolderWatch::FolderWatch(QObject* parent)
    : QObject(parent)
    , m_engine(std::make_unique<Engine>())
{
    connect(&m_engine->watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatch::changed);
}

FolderWatch::~FolderWatch() = default;

void FolderWatch::setFolders(const QStringList& folders)
{
    QFileSystemWatcher& watcher = m_engine->watcher;
    const QStringList watched = watcher.directories();
    QStringList gone, added;
    for (const QString& folder : watched) {
        if (!folders.contains(folder))
            gone << folder;
    }
    for (const QString& folder : folders) {
        if (!watched.contains(folder))
            added << folder;
    }
    if (!gone.isEmpty())
        watcher.removePaths(gone);
    if (!added.isEmpty())
        watcher.addPaths(added);
}

QStringList FolderWatch::folders() const
{
    return m_engine->watcher.directories();
}

} // namespace tessaro
