#pragma once

#include "platform/widgets/folder_reading.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>

namespace tessaro {

struct FolderNode;

// The folders below one root as a lazily read tree: a folder's subfolders are read the first
// time it is opened, so a drive with a deep tree costs nothing until the user goes there.
// The root (a drive's root or any folder) is the one top-level row. Hidden folders (a
// leading dot) are left out, as a file manager does, unless a path leads through them.
class FolderModel : public QAbstractItemModel {
public:
    explicit FolderModel(QIcon folderIcon, QObject* parent = nullptr);
    ~FolderModel() override;

    // Shows the folders below `root`, in native form; nothing is read until asked for.
    void setRoot(const QString& root);
    QString root() const;

    // The folder's full path in native form.
    QString pathOf(const QModelIndex& index) const;

    // The row of `path`, a folder at or below the root, reading the folders on the way (the
    // caller is about to open them) and adding any the listings left out. Invalid when
    // `path` is not below the root.
    QModelIndex indexFor(const QString& path);

    // Forgets what was read below `index`, so that its subfolders are read again.
    void unload(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    FolderNode* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(FolderNode* node) const;
    QString pathOf(const FolderNode* node) const;
    void load(FolderNode* node);
    void fetch(FolderNode* node);
    void insertChildren(FolderNode* node, FolderEntries found);
    FolderNode* child(FolderNode* node, const QString& name);

    std::unique_ptr<FolderNode> m_top;
    QIcon m_folderIcon;
};

} // namespace tessaro
