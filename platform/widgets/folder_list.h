#pragma once

#include "platform/widgets/folder_model.h"
#include "platform/widgets/folder_reading.h"
#include "platform/widgets/folder_watch.h"

#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeView>

#include <QHash>
#include <QSet>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace tessaro {

struct FolderWay;
class VolumeService;

// A tree of one drive's folders, opened down to the current path. The current path is
// always the highlighted folder, so what the user sees selected is what the program uses.
// A click opens the folder clicked, where it lies (nothing scrolls under the pointer); the
// arrow keys and typing move without opening; Right, Enter, a double-click or the expander
// open. The tree follows the disk: the folders it shows open are watched while it is shown,
// and F5 reads the folders open at and below the current row again. Nothing here waits for
// a volume on the window's thread.
class FolderList : public QTreeView {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);
    ~FolderList() override;

    // The current folder in native form, without a trailing separator except at a root;
    // empty until the list is first moved.
    QString path() const { return m_path; }

    // The root of the tree: the drive it was put on. A mount point below it is a folder
    // like any other.
    QString root() const;

    // Moves to `path` and opens it, in the middle of the list. The tree keeps its root when
    // `path` lies below it, else takes the root of the volume holding it. False, with
    // nothing changed, when `path` is not an existing folder.
    // The volume is asked on a worker. For an everyday folder the move is made, its
    // subfolders listed, before this returns. A volume slower than WaitOnTheSpot (or a
    // folder on the way with more than EntriesReadAtOnce entries) is waited for with the
    // window answering: the list stays where it was, returns true, and moves once the volume
    // has answered, or reports failed() should it not answer in time.
    bool setPath(const QString& path);

    // Roots the tree at the drive `root` and moves to its current folder: the working
    // directory when it lies on that drive, else the drive's root.
    bool setDrive(const QString& root);

    // Reads a folder's mark (the emblem over its icon and its tooltip); called on a worker.
    using MarkReader = std::function<FolderMark(const QString& folder)>;

    // Marks the folders as `reader` finds them: only the rows shown and the current folder,
    // on workers, each folder once until its mark is forgotten. A list without a reader
    // reads nothing more than its folders.
    void setMarkReader(MarkReader reader);
    // The folder's mark, when it has been read.
    const FolderMark* mark(const QString& path) const;
    // Drops the folder's mark, because the folder changed: read again while shown.
    void forgetMark(const QString& path);
    // Whether marks of rows shown are still to come.
    bool marksPending() const;

Q_SIGNALS:
    // The current path changed, by the user or by code. Keyboard moves in quick succession
    // report once, when the keys rest, so that what follows the list does not read every
    // folder passed over.
    void changed();

    // A move could not be made, for the user to read why: the volume did not answer in
    // time, the folder went away meanwhile, or its name cannot be used.
    void failed(const QString& message);

    // The folder's mark was read, or forgotten.
    void markChanged(const QString& path);

    // The user asked for a folder's context menu (the right button, the Menu key or
    // Shift+F10), to be shown at `globalPos`.
    void menuRequested(const QString& folder, const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // How a move came: each asks the volume for what it needs.
    enum class Move {
        Code,   // setPath(): goes there and opens it, in the middle of the list
        Click,  // opens the folder clicked
        Check,  // the current folder, when the keys rest or it changed on disk: still there?
    };

    bool moveTo(const QString& path, const QString& root, Move how);
    bool arrive(FolderWay& way, Move how);
    void userMoved(const QModelIndex& current);
    void settleUserMove(Move how);
    void rest();
    void setCurrentPath(const QString& path);
    void centre();
    bool waitsForFirstPaint() const;
    void onceLater(bool& queued, std::function<void()> step);
    void sizeColumnLater();
    void readFailed(const QString& folder, const QString& why);
    void report(const QString& message);
    void watchShown();
    void reread(const QString& folder, bool tell);
    void takeListing(const QString& folder, std::optional<FolderEntries> found);
    void refresh();
    void collapseIfEmpty(const QModelIndex& index);
    void rowsShownLater();
    void markShown();
    void readMarks();
    void setMark(const QString& path, FolderMark mark);
    void markUnanswered(const QString& folder, const std::shared_ptr<const std::atomic<bool>>& returned);
    void checkSilentVolumes();
    void watchPicture();

    FolderModel* m_model;
    const VolumeService& m_volumes;
    QString m_path;
    FolderWatch m_watch;      // the folders shown open
    QStringList m_changed;    // changed on disk, to be read once the changes rest
    QTimer m_changesRest;
    std::uint64_t m_listingsWatched = 0;  // the model's last listing when the watches were last set
    VolumeTask m_walk;       // the volume asked on the way to a folder
    bool m_walkFound = false;
    bool m_onTheSpot = false;
    QTimer m_rest;           // runs while the keys move the highlight
    QPersistentModelIndex m_userMove;
    bool m_inUserEvent = false;
    bool m_moving = false;   // the list itself moves the highlight
    bool m_centreWhenShown = false;
    bool m_columnQueued = false;
    bool m_painted = false;  // the list has reached the screen once
    std::vector<std::function<void()>> m_waiting;  // for the first paint
    MarkReader m_markReader;
    VolumeTask m_markTask;   // reads the marks of m_markBatch
    QStringList m_markQueue, m_markBatch;
    bool m_shownQueued = false;
    QSet<QString> m_shown;   // the rows on the screen when marks were last asked for
    QSet<QString> m_recheck; // folders whose marks are read again, the old one shown meanwhile
    // Volumes where reading a mark did not end in time, until that read returns: their
    // folders show plain and are not asked, as each ask would hold a worker.
    QHash<QString, std::shared_ptr<const std::atomic<bool>>> m_silent;
    QStringList m_unanswered; // folders shown plain for that
    QTimer m_silentCheck;
    FolderWatch m_pictureWatch; // the folder of the picture the current folder's decoration names
};

} // namespace tessaro
