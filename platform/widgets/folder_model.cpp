#include "platform/widgets/folder_model.h"

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace tessaro {

struct FolderNode {
    QString name;  // the root's full path, else the folder's own name
    FolderNode* parent = nullptr;
    int row = 0;
    bool loaded = false;
    std::unique_ptr<FolderReading> reading;  // its subfolders, while a worker reads them
    std::vector<std::unique_ptr<FolderNode>> children;
};

namespace {

std::shared_ptr<FolderScan> subfolderScan(const QString& folder)
{
    return std::make_shared<FolderScan>(folder, [](const std::filesystem::directory_entry& entry) {
        const std::filesystem::path name = entry.path().filename();
        std::error_code typeError;
        return !name.empty() && name.native().front() != '.' && entry.is_directory(typeError);
    });
}

} // namespace

FolderModel::FolderModel(QIcon folderIcon, QObject* parent)
    : QAbstractItemModel(parent)
    , m_top(std::make_unique<FolderNode>())
    , m_folderIcon(std::move(folderIcon))
{
    m_top->loaded = true;
}

FolderModel::~FolderModel() = default;

void FolderModel::setRoot(const QString& root)
{
    beginResetModel();
    m_top->children.clear();
    auto node = std::make_unique<FolderNode>();
    node->name = root;
    node->parent = m_top.get();
    m_top->children.push_back(std::move(node));
    endResetModel();
}

QString FolderModel::root() const
{
    return m_top->children.empty() ? QString() : m_top->children.front()->name;
}

QString FolderModel::pathOf(const QModelIndex& index) const
{
    const FolderNode* node = nodeOf(index);
    return node ? pathOf(node) : QString();
}

QString FolderModel::pathOf(const FolderNode* node) const
{
    if (node->parent == m_top.get())
        return node->name;
    return joinPath(pathOf(node->parent), node->name);
}

FolderNode* FolderModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<FolderNode*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderModel::indexOf(FolderNode* node) const
{
    if (!node || node == m_top.get())
        return {};
    return createIndex(node->row, 0, node);
}

QModelIndex FolderModel::indexFor(const QString& path)
{
    if (m_top->children.empty())
        return {};
    const os::Path root = toPath(this->root());
    const os::Path relative = toPath(path).lexically_relative(root);
    if (relative.empty() || *relative.begin() == "..")
        return {};
    FolderNode* node = m_top->children.front().get();
    for (const auto& part : relative) {
        if (!part.empty() && part != ".")
            node = child(node, toQString(part));
    }
    return indexOf(node);
}

// Reads the subfolders of `node` now, whatever their number: the caller needs them.
void FolderModel::load(FolderNode* node)
{
    if (node->loaded)
        return;
    node->reading.reset();
    const auto scan = subfolderScan(pathOf(node));
    scan->read(std::numeric_limits<std::size_t>::max());
    insertChildren(node, scan->takeSorted());
}

// Reads the subfolders of `node` for showing them: at once for an everyday folder, else on
// a worker thread, the expander staying open until they arrive.
void FolderModel::fetch(FolderNode* node)
{
    if (node->loaded || node->reading)
        return;
    node->reading = std::make_unique<FolderReading>();
    node->reading->start(subfolderScan(pathOf(node)), [this, node](FolderEntries found) {
        insertChildren(node, std::move(found));
    });
}

void FolderModel::insertChildren(FolderNode* node, FolderEntries found)
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
    for (FolderEntry& entry : found) {
        auto child = std::make_unique<FolderNode>();
        child->name = std::move(entry.name);
        child->parent = node;
        child->row = static_cast<int>(node->children.size());
        node->children.push_back(std::move(child));
    }
    endInsertRows();
}

void FolderModel::unload(const QModelIndex& index)
{
    FolderNode* node = nodeOf(index);
    if (!node)
        return;
    node->reading.reset();
    if (!node->children.empty()) {
        beginRemoveRows(index, 0, static_cast<int>(node->children.size()) - 1);
        node->children.clear();
        endRemoveRows();
    }
    node->loaded = false;
}

// The child of `node` named `name`, added when the listing left it out (a hidden folder,
// or one created since the listing was read).
FolderNode* FolderModel::child(FolderNode* node, const QString& name)
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

QModelIndex FolderModel::index(int row, int column, const QModelIndex& parent) const
{
    const FolderNode* node = parent.isValid() ? nodeOf(parent) : m_top.get();
    if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderModel::parent(const QModelIndex& index) const
{
    const FolderNode* node = nodeOf(index);
    return node ? indexOf(node->parent) : QModelIndex();
}

int FolderModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const FolderNode* node = parent.isValid() ? nodeOf(parent) : m_top.get();
    return static_cast<int>(node->children.size());
}

int FolderModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool FolderModel::hasChildren(const QModelIndex& parent) const
{
    const FolderNode* node = parent.isValid() ? nodeOf(parent) : m_top.get();
    return !node->loaded || !node->children.empty();
}

bool FolderModel::canFetchMore(const QModelIndex& parent) const
{
    const FolderNode* node = parent.isValid() ? nodeOf(parent) : m_top.get();
    return !node->loaded && !node->reading;
}

void FolderModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid())
        fetch(nodeOf(parent));
}

QVariant FolderModel::data(const QModelIndex& index, int role) const
{
    const FolderNode* node = nodeOf(index);
    if (!node)
        return {};
    if (role == Qt::DisplayRole)
        return node->name;
    if (role == Qt::DecorationRole)
        return m_folderIcon;
    return {};
}

// The header is hidden, but a screen reader reads it out: "フォルダ", not the column's number.
QVariant FolderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QCoreApplication::translate("tessaro::FolderModel", "フォルダ");
    return QAbstractItemModel::headerData(section, orientation, role);
}

} // namespace tessaro
