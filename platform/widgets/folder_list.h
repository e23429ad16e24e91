#pragma once

#include <QFileSystemWatcher>
#include <QTreeView>

#include <memory>

namespace tessaro {

class FolderModel;

// A tree of the current drive's folders, opened down to the current path. The current path
// is always the highlighted folder, so what the user sees selected is what the program uses.
class FolderList : public QTreeView {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);
    ~FolderList() override;

    // The current folder in native form, without a trailing separator except at a root.
    QString path() const { return m_path; }

    // Moves to `path`. False, with nothing changed, when it is not an existing folder.
    // The folder is open when this returns, its subfolders listed, unless it holds more
    // entries (of any kind) than EntriesReadAtOnce: its subfolders are then read on a
    // worker thread and appear once all are read, the window answering meanwhile.
    bool setPath(const QString& path);

    // Moves to the current folder of the drive whose root is `root`: the working directory
    // when it lies on that drive, else the drive's root.
    bool setDrive(const QString& root);

Q_SIGNALS:
    // The current path changed, by the user or by code.
    void changed();

private:
    void userMoved(const QModelIndex& current);
    void watchedFolderChanged();
    void moveToNearestExisting(const QString& vanished);
    void watch(const QString& path);
    void collapseIfEmpty(const QModelIndex& index);

    FolderModel* m_model;
    QString m_path;
    QFileSystemWatcher m_watcher;
    bool m_moving = false;
};

} // namespace tessaro
