#include "platform/widgets/folder_model.h"

#include "platform/os/native_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include <algorithm>
#include <type_traits>

namespace tessaro {

struct FolderNode {
    QString name;  // the root's full path, else the folder's own name
    FolderNode* parent = nullptr;
    int row = 0;
    bool exact = true;
    bool loaded = false;
    std::uint64_t listing = 0; // when its subfolders were listed
    std::unique_ptr<FolderReading> reading;  // its subfolders, once asked for
    std::vector<std::unique_ptr<FolderNode>> children;
};

namespace {

// What a folder's mark changes of its row.
const QList<int> MarkRoles = {Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleTextRole, Qt::AccessibleDescriptionRole};

// Windows' filesystems take names that differ only in case for one; Linux's mostly do not.
constexpr bool FoldsCase = std::is_same_v<std::filesystem::path::value_type, wchar_t>;

bool isSubfolder(const std::filesystem::directory_entry& entry)
{
    const std::filesystem::path name = entry.path().filename();
    std::error_code typeError;
    return !name.empty() && name.native().front() != '.' && entry.is_directory(typeError);
}

// The names from `root` down to `path`, both native and clean; none when `path` is not at
// or below `root`.
std::optional<QStringList> namesBelow(const QString& root, const QString& path)
{
    const Qt::CaseSensitivity cs = FoldsCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (root.isEmpty())
        return std::nullopt;
    if (path.compare(root, cs) == 0)
        return QStringList();
    const QString prefix = root.endsWith(QDir::separator()) ? root : root + QDir::separator();
    if (!path.startsWith(prefix, cs))
        return std::nullopt;
    return path.mid(prefix.size()).split(QDir::separator(), Qt::SkipEmptyParts);
}

bool sortsBefore(const FolderNode& node, const FolderEntry& entry)
{
    if (const int byKey = QString::compare(node.name.toCaseFolded(), entry.key); byKey != 0)
        return byKey < 0;
    return node.name < entry.name;
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
    // The old tree's marks go with it, so that they do not pile up; coming back reads them again.
    m_marks.clear();
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

bool FolderModel::exact(const QModelIndex& index) const
{
    const FolderNode* node = nodeOf(index);
    return node && node->exact;
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

QModelIndex FolderModel::find(const QString& path) const
{
    const std::optional<QStringList> names = namesBelow(root(), path);
    if (!names)
        return {};
    FolderNode* node = m_top->children.front().get();
    for (const QString& name : *names) {
        if (!(node = child(node, name)))
            return {};
    }
    return indexOf(node);
}

std::optional<FolderWay> FolderModel::wayTo(const QString& root, const QString& path) const
{
    std::optional<QStringList> names = namesBelow(root, path);
    if (!names)
        return std::nullopt;
    FolderWay way;
    way.root = root;
    way.names = std::move(*names);
    FolderNode* node = this->root() == root ? m_top->children.front().get() : nullptr;
    for (qsizetype i = 0; i <= way.names.size(); ++i) {
        way.unread.push_back(!node || !node->loaded);
        node = node && i < way.names.size() ? child(node, way.names[i]) : nullptr;
    }
    return way;
}

void FolderModel::readWay(FolderWay& way, VolumeTask::Control& control)
{
    std::vector<std::filesystem::path> folders{toPath(way.root)};
    for (const QString& name : std::as_const(way.names))
        folders.push_back(folders.back() / toPath(name));
    const auto there = [&](int i) {
        std::error_code error;
        const bool folder = std::filesystem::is_directory(folders[static_cast<std::size_t>(i)], error);
        control.advance();
        return folder;
    };
    int reached = static_cast<int>(way.names.size());
    while (reached >= 0 && !there(reached)) {
        if (!way.climb)
            return;
        --reached;
    }
    way.reached = reached;
    // Once it has climbed, the folder reached has lost a subfolder: its listing is read anew.
    const bool climbed = reached < way.names.size();
    way.subfolders.resize(static_cast<std::size_t>(reached) + 1);
    for (int i = 0; i <= reached && !control.cancelled(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (way.unread[at] || (climbed && i == reached))
            way.subfolders[at] = readFolder(folders[at], isSubfolder, control);
    }
}

QModelIndex FolderModel::takeWay(FolderWay& way)
{
    if (way.reached < 0)
        return {};
    if (root() != way.root)
        setRoot(way.root);
    const bool climbed = way.reached < way.names.size();
    FolderNode* node = m_top->children.front().get();
    for (int i = 0;; ++i) {
        std::optional<FolderEntries>& subfolders = way.subfolders[static_cast<std::size_t>(i)];
        if (subfolders && climbed && i == way.reached)
            unload(indexOf(node));
        if (subfolders && !node->loaded) {
            node->reading.reset();
            insertChildren(node, std::move(*subfolders));
        }
        if (i == way.reached)
            return indexOf(node);
        node = childOrAdded(node, way.names[i]);
    }
}

// Reads the subfolders of `node` for showing them: at once for an everyday folder, else on
// a worker, the expander staying open until they arrive.
void FolderModel::fetch(FolderNode* node)
{
    if (!node->reading)
        node->reading = std::make_unique<FolderReading>();
    node->reading->start(
        pathOf(node), isSubfolder,
        [this, node](std::optional<FolderEntries> found) {
            insertChildren(node, found ? std::move(*found) : FolderEntries());
            if (!found)
                Q_EMIT lost(pathOf(node));
        },
        [this, node] { Q_EMIT unanswered(pathOf(node)); });
}

// Folders added before the listing came (on a path's way) stay; the listing's others go in
// around them, in runs, so that a big folder still goes in at once.
void FolderModel::insertChildren(FolderNode* node, FolderEntries found)
{
    node->loaded = true;
    node->listing = ++m_listings;
    if (found.empty()) {
        // The expander was shown on trust; take it away now that we know.
        const QModelIndex index = indexOf(node);
        Q_EMIT dataChanged(index, index);
        return;
    }
    const std::size_t early = node->children.size();
    std::vector<FolderNode*> before;
    QSet<QString> there;
    for (const auto& c : node->children) {
        before.push_back(c.get());
        there.insert(c->name);
    }
    std::vector<std::unique_ptr<FolderNode>> run;
    int row = 0;
    std::size_t passed = 0;
    const auto flush = [&] {
        const int size = static_cast<int>(run.size());
        if (size > 0)
            insertRun(node, row - size, std::exchange(run, {}));
    };
    for (FolderEntry& entry : found) {
        if (there.contains(entry.name))
            continue;
        for (; passed < early && sortsBefore(*before[passed], entry); ++passed, ++row)
            flush();
        auto fresh = std::make_unique<FolderNode>();
        fresh->name = std::move(entry.name);
        fresh->exact = entry.exact;
        fresh->parent = node;
        run.push_back(std::move(fresh));
        ++row;
    }
    flush();
}

void FolderModel::insertRun(FolderNode* node, int row, std::vector<std::unique_ptr<FolderNode>> run)
{
    auto& children = node->children;
    beginInsertRows(indexOf(node), row, row + static_cast<int>(run.size()) - 1);
    children.insert(children.begin() + row, std::make_move_iterator(run.begin()), std::make_move_iterator(run.end()));
    for (std::size_t i = static_cast<std::size_t>(row); i < children.size(); ++i)
        children[i]->row = static_cast<int>(i);
    endInsertRows();
}

void FolderModel::setMarkIcons(QIcon decorated, QIcon broken)
{
    m_decoratedIcon = std::move(decorated);
    m_brokenIcon = std::move(broken);
}

void FolderModel::setMark(const QString& path, FolderMark mark)
{
    m_marks.insert(path, std::move(mark));
    if (const QModelIndex index = find(path); index.isValid())
        Q_EMIT dataChanged(index, index, MarkRoles);
}

void FolderModel::forgetMark(const QString& path)
{
    if (m_marks.remove(path) == 0)
        return;
    if (const QModelIndex index = find(path); index.isValid())
        Q_EMIT dataChanged(index, index, MarkRoles);
}

const FolderMark* FolderModel::mark(const QString& path) const
{
    const auto it = m_marks.constFind(path);
    return it == m_marks.constEnd() ? nullptr : &*it;
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

std::uint64_t FolderModel::listing(const QModelIndex& index) const
{
    const FolderNode* node = nodeOf(index);
    return node && node->loaded ? node->listing : 0;
}

void FolderModel::reread(const QModelIndex& index, FolderReading::Done done, std::function<void()> unanswered)
{
    FolderNode* node = nodeOf(index);
    if (!node || !node->loaded)
        return;
    // Hidden folders are in the tree only where a path led through them: they stay while there.
    std::vector<std::filesystem::path::string_type> hidden;
    for (const auto& c : node->children) {
        if (c->name.startsWith(QLatin1Char('.')))
            hidden.push_back(toPath(c->name).native());
    }
    AcceptEntry accept = [hidden = std::move(hidden)](const std::filesystem::directory_entry& entry) {
        if (isSubfolder(entry))
            return true;
        std::error_code typeError;
        return std::find(hidden.begin(), hidden.end(), entry.path().filename().native()) != hidden.end() && entry.is_directory(typeError);
    };
    if (!node->reading)
        node->reading = std::make_unique<FolderReading>();
    node->reading->start(pathOf(node), std::move(accept), std::move(done), std::move(unanswered), VolumeTask::Wait::Never);
}

void FolderModel::update(const QModelIndex& index, FolderEntries found)
{
    FolderNode* node = nodeOf(index);
    if (!node)
        return;
    if (!node->loaded) {
        insertChildren(node, std::move(found));
        return;
    }
    QSet<QString> names;
    for (const FolderEntry& entry : found)
        names.insert(entry.name);
    // Gone, in runs from the last, so that the rows before a run are counted as they were.
    auto& children = node->children;
    for (int last = static_cast<int>(children.size()) - 1; last >= 0; --last) {
        if (names.contains(children[static_cast<std::size_t>(last)]->name))
            continue;
        int first = last;
        while (first > 0 && !names.contains(children[static_cast<std::size_t>(first - 1)]->name))
            --first;
        dropChildren(node, first, last);
        last = first;
    }
    QSet<QString> kept;
    for (const auto& c : children)
        kept.insert(c->name);
    FolderEntries fresh;
    for (FolderEntry& entry : found) {
        if (!kept.contains(entry.name))
            fresh.push_back(std::move(entry));
    }
    if (!fresh.empty()) {
        insertChildren(node, std::move(fresh));
        return;
    }
    node->listing = ++m_listings;
    // The expander goes with the last subfolder.
    if (children.empty())
        Q_EMIT dataChanged(index, index);
}

void FolderModel::dropChildren(FolderNode* node, int first, int last)
{
    auto& children = node->children;
    // Their marks go with them: a folder made again by the same name is another folder.
    for (int row = first; row <= last && !m_marks.isEmpty(); ++row)
        m_marks.remove(pathOf(children[static_cast<std::size_t>(row)].get()));
    beginRemoveRows(indexOf(node), first, last);
    children.erase(children.begin() + first, children.begin() + last + 1);
    for (std::size_t i = static_cast<std::size_t>(first); i < children.size(); ++i)
        children[i]->row = static_cast<int>(i);
    endRemoveRows();
}

QStringList FolderModel::forgetMarks(const QString& folder)
{
    const QString below = joinPath(folder, QString());
    QStringList forgotten;
    for (auto it = m_marks.begin(); it != m_marks.end();) {
        if (it.key() == folder || it.key().startsWith(below)) {
            forgotten << it.key();
            it = m_marks.erase(it);
        } else {
            ++it;
        }
    }
    for (const QString& path : std::as_const(forgotten)) {
        if (const QModelIndex index = find(path); index.isValid())
            Q_EMIT dataChanged(index, index, {Qt::DecorationRole, Qt::ToolTipRole});
    }
    return forgotten;
}

FolderNode* FolderModel::child(FolderNode* node, const QString& name) const
{
    const auto& children = node->children;
    auto it = std::find_if(children.begin(), children.end(), [&](const auto& c) { return c->name == name; });
    if (it == children.end() && FoldsCase) {
        it = std::find_if(children.begin(), children.end(), [&](const auto& c) {
            return c->name.compare(name, Qt::CaseInsensitive) == 0;
        });
    }
    return it == children.end() ? nullptr : it->get();
}

// The child of `node` named `name`, added when the listing left it out (a hidden folder,
// or one made since the listing was read).
FolderNode* FolderModel::childOrAdded(FolderNode* node, const QString& name)
{
    if (FolderNode* found = child(node, name))
        return found;
    const FolderEntry entry{name, name.toCaseFolded(), true};
    const auto at = std::find_if(node->children.begin(), node->children.end(), [&](const auto& c) { return !sortsBefore(*c, entry); });
    std::vector<std::unique_ptr<FolderNode>> run;
    run.push_back(std::make_unique<FolderNode>());
    run.front()->name = name;
    run.front()->parent = node;
    FolderNode* added = run.front().get();
    insertRun(node, static_cast<int>(at - node->children.begin()), std::move(run));
    return added;
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
    return !node->loaded && !(node->reading && node->reading->busy());
}

void FolderModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() && canFetchMore(parent))
        fetch(nodeOf(parent));
}

QVariant FolderModel::data(const QModelIndex& index, int role) const
{
    const FolderNode* node = nodeOf(index);
    if (!node)
        return {};
    if (role == Qt::DisplayRole)
        return node->name;
    if (!MarkRoles.contains(role))
        return {};
    const FolderMark* mark = m_marks.isEmpty() ? nullptr : this->mark(pathOf(node));
    const FolderMark::State state = mark ? mark->state : FolderMark::State::Plain;
    if (role == Qt::DecorationRole)
        return state == FolderMark::State::Decorated ? m_decoratedIcon : state == FolderMark::State::Broken ? m_brokenIcon : m_folderIcon;
    if (state == FolderMark::State::Plain)
        return {};
    // The emblem exists only as pixels: a screen reader hears it with the name (旅行、背景あり).
    if (role == Qt::AccessibleTextRole)
        return mark->summary.isEmpty() ? QVariant() : QVariant(tr("%1、%2").arg(node->name, mark->summary));
    return mark->description;
}

// The header is hidden, but a screen reader reads it out: "フォルダ", not the column's number.
QVariant FolderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QCoreApplication::translate("tessaro::FolderModel", "フォルダ");
    return QAbstractItemModel::headerData(section, orientation, role);
}

} // namespace tessaro
