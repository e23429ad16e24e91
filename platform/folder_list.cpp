#include "platform/folder_list.h"

#include "platform/folder_reading.h"
#include "platform/native_path.h"
#include "platform/os_services.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QPromise>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QThreadPool>

#include <algorithm>
#include <limits>
#include <vector>

namespace tessaro {
namespace {

struct Found {
    QString name;
    QString key;
};
using Subfolders = std::vector<Found>;

// Reads a folder's subfolders, in as many steps as the caller wants. Hidden folders (a
// leading dot) are left out as a file manager does.
class SubfolderScan {
public:
    explicit SubfolderScan(const QString& folder)
        : m_it(toPath(folder), std::filesystem::directory_options::skip_permission_denied, m_error)
    {
    }

    // Reads up to `limit` more entries; true once the folder is read to its end. Stops early,
    // false, when `cancelled` says so.
    template <typename Cancelled>
    bool read(std::size_t limit, Cancelled cancelled)
    {
        const std::filesystem::directory_iterator end;
        for (std::size_t n = 0; !m_error && m_it != end; m_it.increment(m_error), ++n) {
            if (n == limit || (n % 256 == 255 && cancelled()))
                return false;
            const std::filesystem::path filename = m_it->path().filename();
            if (filename.native().empty() || filename.native().front() == '.')
                continue;
            std::error_code typeError;
            if (!m_it->is_directory(typeError))
                continue;
            QString name = toQString(filename);
            QString key = name.toCaseFolded();
            m_found.push_back({std::move(name), std::move(key)});
        }
        return true;
    }
    bool read(std::size_t limit)
    {
        return read(limit, [] { return false; });
    }

    // Sorted as Windows sorts them, without regard to case.
    Subfolders takeSorted()
    {
        sortByName(m_found);
        return std::move(m_found);
    }

private:
    std::error_code m_error;
    std::filesystem::directory_iterator m_it;
    Subfolders m_found;
};

} // namespace

struct FolderNode {
    FolderNode() = default;
    FolderNode(const FolderNode&) = delete;
    FolderNode& operator=(const FolderNode&) = delete;
    // A listing still being read for a node that goes is not wanted any more.
    ~FolderNode()
    {
        if (pending)
            pending->cancel();
    }

    QString name;  // a root's full path, else the folder's own name
    FolderNode* parent = nullptr;
    int row = 0;
    bool loaded = false;
    std::unique_ptr<QFutureWatcher<Subfolders>> pending;  // its subfolders, being read
    std::vector<std::unique_ptr<FolderNode>> children;
};

// The folders as a lazily read tree: a folder's subfolders are read the first time it is
// opened, so a drive with a deep tree costs nothing until the user goes there.
class FolderModel : public QAbstractItemModel {
public:
    explicit FolderModel(QObject* parent)
        : QAbstractItemModel(parent)
    {
        m_top.loaded = true;
    }

    void setRoot(const QString& root)
    {
        beginResetModel();
        m_top.children.clear();
        auto node = std::make_unique<FolderNode>();
        node->name = root;
        node->parent = &m_top;
        m_top.children.push_back(std::move(node));
        endResetModel();
    }

    FolderNode* root() const { return m_top.children.empty() ? nullptr : m_top.children.front().get(); }

    static QString pathOf(const FolderNode* node)
    {
        if (!node->parent || !node->parent->parent)
            return node->name;
        return joinPath(pathOf(node->parent), node->name);
    }

    FolderNode* nodeOf(const QModelIndex& index) const
    {
        return index.isValid() ? static_cast<FolderNode*>(index.internalPointer()) : nullptr;
    }

    QModelIndex indexOf(FolderNode* node) const
    {
        if (!node || node == &m_top)
            return {};
        return createIndex(node->row, 0, node);
    }

    // Reads the subfolders of `node` now, whatever their number: the caller needs them.
    void load(FolderNode* node)
    {
        if (node->loaded)
            return;
        if (node->pending) {
            node->pending->cancel();
            node->pending.reset();
        }
        SubfolderScan scan(pathOf(node));
        scan.read(std::numeric_limits<std::size_t>::max());
        insertChildren(node, scan.takeSorted());
    }

    // Reads the subfolders of `node` for showing them: at once for an everyday folder, else on
    // a worker thread, the expander staying open until they arrive.
    void fetch(FolderNode* node)
    {
        if (node->loaded || node->pending)
            return;
        auto scan = std::make_shared<SubfolderScan>(pathOf(node));
        if (scan->read(EntriesReadAtOnce)) {
            insertChildren(node, scan->takeSorted());
            return;
        }
        auto promise = std::make_shared<QPromise<Subfolders>>();
        promise->start();
        node->pending = std::make_unique<QFutureWatcher<Subfolders>>();
        connect(node->pending.get(), &QFutureWatcherBase::finished, this, [this, node] {
            // The watcher goes with the signal it is sending: delete it afterwards.
            QFutureWatcher<Subfolders>* done = node->pending.release();
            done->deleteLater();
            if (!done->isCanceled() && done->future().resultCount() > 0)
                insertChildren(node, done->future().takeResult());
        });
        node->pending->setFuture(promise->future());
        folderReaderPool()->start([promise, scan] {
            if (scan->read(std::numeric_limits<std::size_t>::max(), [&] { return promise->isCanceled(); }))
                promise->addResult(scan->takeSorted());
            promise->finish();
        });
    }

    void insertChildren(FolderNode* node, Subfolders found)
    {
        node->loaded = true;
        if (found.empty()) {
            // The expander was shown on trust; take it away now that we know.
            const QModelIndex index = indexOf(node);
            Q_EMIT dataChanged(index, index);
            return;
        }
        beginInsertRows(indexOf(node), 0, static_cast<int>(found.size()) - 1);
        node->children.reserve(found.size());
        for (Found& entry : found) {
            auto child = std::make_unique<FolderNode>();
            child->name = std::move(entry.name);
            child->parent = node;
            child->row = static_cast<int>(node->children.size());
            node->children.push_back(std::move(child));
        }
        endInsertRows();
    }

    // Forgets what was read below `node`, so that its subfolders are read again.
    void unload(FolderNode* node)
    {
        if (node->pending) {
            node->pending->cancel();
            node->pending.reset();
        }
        if (!node->children.empty()) {
            beginRemoveRows(indexOf(node), 0, static_cast<int>(node->children.size()) - 1);
            node->children.clear();
            endRemoveRows();
        }
        node->loaded = false;
    }

    // The child of `node` named `name`, added when the listing left it out (a hidden folder,
    // or one created since the listing was read).
    FolderNode* child(FolderNode* node, const QString& name)
    {
        load(node);
        auto& children = node->children;
        auto it = std::find_if(children.begin(), children.end(), [&](const auto& c) { return c->name == name; });
        if (it == children.end()) {
            // Names that differ only in case are one folder where the filesystem says so.
            it = std::find_if(children.begin(), children.end(), [&](const auto& c) {
                return c->name.compare(name, Qt::CaseInsensitive) == 0
                    && QFileInfo(joinPath(pathOf(node), c->name)) == QFileInfo(joinPath(pathOf(node), name));
            });
        }
        if (it != children.end())
            return it->get();

        const QString key = name.toCaseFolded();
        const auto at = std::find_if(children.begin(), children.end(), [&](const auto& c) {
            return QString::compare(c->name.toCaseFolded(), key) > 0;
        });
        const int row = static_cast<int>(at - children.begin());
        beginInsertRows(indexOf(node), row, row);
        auto fresh = std::make_unique<FolderNode>();
        fresh->name = name;
        fresh->parent = node;
        FolderNode* result = fresh.get();
        children.insert(children.begin() + row, std::move(fresh));
        for (std::size_t i = static_cast<std::size_t>(row); i < children.size(); ++i)
            children[i]->row = static_cast<int>(i);
        endInsertRows();
        return result;
    }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override
    {
        const FolderNode* node = parent.isValid() ? nodeOf(parent) : &m_top;
        if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
            return {};
        return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
    }

    QModelIndex parent(const QModelIndex& index) const override
    {
        const FolderNode* node = nodeOf(index);
        return node ? indexOf(node->parent) : QModelIndex();
    }

    int rowCount(const QModelIndex& parent) const override
    {
        const FolderNode* node = parent.isValid() ? nodeOf(parent) : &m_top;
        return static_cast<int>(node->children.size());
    }

    int columnCount(const QModelIndex&) const override { return 1; }

    bool hasChildren(const QModelIndex& parent) const override
    {
        const FolderNode* node = parent.isValid() ? nodeOf(parent) : &m_top;
        return !node->loaded || !node->children.empty();
    }

    bool canFetchMore(const QModelIndex& parent) const override
    {
        const FolderNode* node = parent.isValid() ? nodeOf(parent) : &m_top;
        return !node->loaded && !node->pending;
    }

    void fetchMore(const QModelIndex& parent) override
    {
        if (parent.isValid())
            fetch(nodeOf(parent));
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const FolderNode* node = nodeOf(index);
        if (!node)
            return {};
        if (role == Qt::DisplayRole)
            return node->name;
        if (role == Qt::DecorationRole) {
            if (m_folderIcon.isNull())
                m_folderIcon = qobject_cast<QWidget*>(QObject::parent())->style()->standardIcon(QStyle::SP_DirIcon);
            return m_folderIcon;
        }
        return {};
    }

private:
    FolderNode m_top;
    mutable QIcon m_folderIcon;
};

FolderList::FolderList(QWidget* parent)
    : QTreeView(parent)
    , m_model(new FolderModel(this))
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

    const os::Path target = toPath(absolute);
    const os::Path root = os::volumeOf(target);
    const QString rootText = toQString(root);
    if (!m_model->root() || m_model->root()->name != rootText)
        m_model->setRoot(rootText);

    FolderNode* node = m_model->root();
    for (const auto& part : target.lexically_relative(root)) {
        if (part.empty() || part == ".")
            continue;
        // Read each folder on the way before opening it: opening a big one would start a
        // background read that the walk down would only cancel and repeat.
        FolderNode* next = m_model->child(node, toQString(part));
        setExpanded(m_model->indexOf(node), true);
        node = next;
    }
    const QModelIndex index = m_model->indexOf(node);
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
    const QString path = FolderModel::pathOf(m_model->nodeOf(current));
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
    const QString root = m_model->root() ? m_model->root()->name : QString();
    if (path.startsWith(root) && m_model->root()) {
        FolderNode* node = m_model->root();
        const os::Path relative = toPath(path).lexically_relative(toPath(root));
        for (const auto& part : relative) {
            if (part.empty() || part == ".")
                continue;
            node = m_model->child(node, toQString(part));
        }
        const QScopedValueRollback moving(m_moving, true);
        m_model->unload(node);
    }
    setPath(path);
}

void FolderList::watch(const QString& path)
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_watcher.addPath(path);
}

} // namespace tessaro
