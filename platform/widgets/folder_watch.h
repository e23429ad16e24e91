#pragma once

// Tells when a folder may have changed on disk: an entry added, removed or renamed in it,
// the folder itself gone, or its desktop.ini written. The lists ask for the folders they
// show, which are few, and only while they are shown.
//
// Windows (folder_watch_win.cpp) holds no folder open. Its change notifications need a handle
// on the folder, and a folder removed while a handle is open is only marked for deletion: it
// stays until the handle is closed, and until then the folder above it cannot be removed, so
// the user could not delete a folder Tessaro shows, nor the folders around it. There each
// folder is looked at once a second instead, on a worker, opened and closed at once.
// Linux (folder_watch_posix.cpp) has the system's notifications, which hold nothing open;
// setting one asks the volume, so they are set on a thread of their own.
// Either way nothing waits for a volume on the window's thread, and a volume that keeps the
// watching waiting for AnswerTimeLimit is left to itself while the others are still watched.

#include <QObject>
#include <QStringList>

#include <memory>

namespace tessaro {

class FolderWatch : public QObject {
    Q_OBJECT
public:
    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;

    // Watches `folders` (absolute, native form) in the place of those watched before: none
    // when empty.
    void setFolders(const QStringList& folders);
    QStringList folders() const;
    // Whether the watches are in place as last asked: a change made from now on in a folder
    // asked for is reported.
    bool settled() const;

Q_SIGNALS:
    // Something in `folder` changed, or the folder itself went. From the event loop.
    void changed(const QString& folder);

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
};

} // namespace tessaro
