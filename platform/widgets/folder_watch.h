#pragma once

// Tells when a folder may have changed on disk: an entry added, removed or renamed in it,
// the folder itself gone, or its desktop.ini written.
//
// Windows (folder_watch_win.cpp) holds no folder open. Its change notifications need a handle
// on the folder, and a folder removed while a handle is open is only marked for deletion: it
// stays until the handle is closed, and until then the folder above it cannot be removed, so
// the user could not delete a folder Tessaro shows, nor the folders around it. There each
// folder is looked at once a second instead, on a worker, opened and closed at once.
// Linux (folder_watch_posix.cpp) has the system's notifications, which hold nothing open.

#include <QObject>
#include <QStringList>

#include <memory>

namespace tessaro {

class FolderWatch : public QObject {
    Q_OBJECT
public:
    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;

    // Watches `folders` (absolute, native form) in the place of those watched before.
    void setFolders(const QStringList& folders);
    QStringList folders() const;

Q_SIGNALS:
    void changed(const QString& folder);

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
};

} // namespace tessaro
