#pragma once

#include "platform/widgets/folder_reading.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tessaro {

struct FolderNode;

// What a list shows of one folder beyond its name: an emblem over its icon and a tooltip.
// A screen reader reads the summary with the name, and the tooltip as the row's description.
struct FolderMark {
    enum class State { Plain, Decorated, Broken }; // Broken: the decoration cannot work as it is
    State state = State::Plain;
    QString description; // the tooltip; empty for a plain folder
    QString summary = {}; // a few words on the state (背景あり); empty for a plain folder
    QString watch = {};  // a folder whose changes may change the mark (the picture's); empty for none
};

// The way from a tree's root down to one folder, and what a worker read on it for the tree.
struct FolderWay {
    QString root;
    QStringList names;        // the folders from the root down, the root left out
    std::vector<bool> unread; // per folder on the way, the root first: the tree lacks its subfolders
    bool climb = false;       // should the folder be gone, go up to the nearest folder still there

    // What the worker found.
    int reached = -1;  // how many names lead to a folder that is there; -1 when not even the start is
    std::vector<std::optional<FolderEntries>> subfolders;  // per folder on the way, those read
};

// The folders below one root as a lazily read tree: a folder's subfolders are read the first
// time it is opened, so a drive with a deep tree costs nothing until the user goes there.
// The root (a drive's root or any folder) is the one top-level row. Hidden folders (a
// leading dot) are left out, as a file manager does, unless a path leads through them.
// Nothing here waits for a volume: reading is done by workers (VolumeTask).
class FolderModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderModel(QIcon folderIcon, QObject* parent = nullptr);
    ~FolderModel() override;

    // Shows the folders below `root`, in native form; nothing is read until asked for.
    void setRoot(const QString& root);
    QString root() const;

    // The folder's full path in native form.
    QString pathOf(const QModelIndex& index) const;

    // False for a folder whose name shows only approximately (bytes the locale cannot
    // decode): its path leads to no folder, or to another one.
    bool exact(const QModelIndex& index) const;

    // The row of `path` as far as the tree has read: invalid when it has not listed a folder
    // on the way, or `path` is not below the root.
    QModelIndex find(const QString& path) const;

    // Going to a folder takes three steps: the way there as the tree has it (here), what a
    // worker reads for it (readWay), and taking that in (takeWay), which adds the folders
    // the listings left out (hidden ones, or those made since) and gives the row reached.
    // Invalid when `path` is not below `root`.
    std::optional<FolderWay> wayTo(const QString& root, const QString& path) const;
    static void readWay(FolderWay& way, VolumeTask::Control& control);
    QModelIndex takeWay(FolderWay& way);

    // The marks of folders by path, as far as they are known; the rows show them, with
    // these icons in the place of the folder icon for a folder marked Decorated or Broken,
    // and say them to a screen reader.
    void setMarkIcons(QIcon decorated, QIcon broken);
    void setMark(const QString& path, FolderMark mark);
    void forgetMark(const QString& path);
    const FolderMark* mark(const QString& path) const;

    // Forgets what was read below `index`, so that its subfolders are read again.
    void unload(const QModelIndex& index);

    // When the subfolders of `index` were last listed: a number that grows with each listing
    // taken in, 0 for a folder not listed yet; lastListing() is the newest.
    std::uint64_t listing(const QModelIndex& index) const;
    std::uint64_t lastListing() const { return m_listings; }

    // Reads the subfolders of the listed folder `index` again, on a worker, for update():
    // the window goes on meanwhile. Hidden folders in the tree are read with the others.
    void reread(const QModelIndex& index, FolderReading::Done done, std::function<void()> unanswered = {});
    // Takes in a new listing of `index`: folders gone leave with what was read below them,
    // new ones come in their places, the others stay as they are, open or not.
    void update(const QModelIndex& index, FolderEntries found);

    // Forgets the marks of `folder` and of every folder below it; gives back their paths.
    QStringList forgetMarks(const QString& folder);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // A folder opened for its subfolders lay on a volume that did not answer in time; it is
    // left unread, to be read when opened again. By path: a row may move before it is heard.
    void unanswered(const QString& folder);
    // A folder opened for its subfolders is no longer there.
    void lost(const QString& folder);

private:
    FolderNode* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(FolderNode* node) const;
    QString pathOf(const FolderNode* node) const;
    void fetch(FolderNode* node);
    void insertChildren(FolderNode* node, FolderEntries found);
    void insertRun(FolderNode* node, int row, std::vector<std::unique_ptr<FolderNode>> run);
    FolderNode* child(FolderNode* node, const QString& name) const;
    FolderNode* childOrAdded(FolderNode* node, const QString& name);

    void dropChildren(FolderNode* node, int first, int last);

    std::unique_ptr<FolderNode> m_top;
    std::uint64_t m_listings = 0;
    QIcon m_folderIcon, m_decoratedIcon, m_brokenIcon;
    QHash<QString, FolderMark> m_marks;
};

} // namespace tessaro
