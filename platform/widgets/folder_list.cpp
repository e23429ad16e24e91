#include "platform/widgets/folder_list.h"

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"
#include "platform/widgets/folder_model.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

namespace tessaro {

FolderList::FolderList(QWidget* parent)
    : QTreeView(parent)
    , m_model(new FolderModel(style()->standardIcon(QStyle::SP_DirIcon), this))
{
    setModel(m_model);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setIndentation(12);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderList::userMoved);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderList::watchedFolderChanged);
    // An opened folder may turn out to have no subfolders, at once or once read in the
    // background. Collapsed on the next turn: inside the expansion that read it, a collapse
    // would leave the view stuck in its expanding state, deaf to clicks.
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& index) {
        QTimer::singleShot(0, this, [this, folder = QPersistentModelIndex(index)] { collapseIfEmpty(folder); });
    });
    setPath(QDir::currentPath());
}

FolderList::~FolderList() = default;

bool FolderList::setPath(const QString& requested)
{
    const QFileInfo info(QDir::current(), requested);
    if (requested.isEmpty() || !info.isDir())
        return false;
    const QString absolute = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    if (absolute == m_path)
        return true;

    const QString root = toQString(os::volumeOf(toPath(absolute)));
    if (m_model->root() != root)
        m_model->setRoot(root);
    // Every folder on the way is read before it is opened: opening a big one first would
    // start a background read that the walk down would only cancel and repeat.
    const QModelIndex index = m_model->indexFor(absolute);
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        setExpanded(above, true);
    {
        const QScopedValueRollback moving(m_moving, true);
        setExpanded(index, true);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index, QAbstractItemView::PositionAtCenter);
        // The list is narrow: keep the tree's left edge in view rather than the deepest name.
        horizontalScrollBar()->setValue(0);
    }

    m_path = absolute;
    watch(m_path);
    Q_EMIT changed();
    return true;
}

bool FolderList::setDrive(const QString& root)
{
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    if (toQString(os::volumeOf(toPath(current))) == root && setPath(current))
        return true;
    return setPath(root);
}

void FolderList::userMoved(const QModelIndex& current)
{
    if (m_moving || !current.isValid())
        return;
    const QString path = m_model->pathOf(current);
    if (!setPath(path))
        moveToNearestExisting(path);
}

void FolderList::watchedFolderChanged()
{
    if (!QFileInfo(m_path).isDir())
        moveToNearestExisting(m_path);
}

void FolderList::moveToNearestExisting(const QString& vanished)
{
    QString path = vanished;
    while (!QFileInfo(path).isDir()) {
        const QString parent = QDir::toNativeSeparators(QFileInfo(path).path());
        if (parent == path) {
            path = toQString(os::systemVolume());
            break;
        }
        path = parent;
    }
    // The tree still holds the folders that went away; read the survivor's anew.
    m_path.clear();
    {
        const QScopedValueRollback moving(m_moving, true);
        m_model->unload(m_model->indexFor(path));
    }
    setPath(path);
}

// An open folder without subfolders would be announced as expanded, with nothing in it.
void FolderList::collapseIfEmpty(const QModelIndex& index)
{
    if (isExpanded(index) && !m_model->hasChildren(index))
        collapse(index);
}

void FolderList::watch(const QString& path)
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_watcher.addPath(path);
}

} // namespace tessaro
