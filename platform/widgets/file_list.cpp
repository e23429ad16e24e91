#include "platform/widgets/file_list.h"

#include "platform/os/native_path.h"
#include "platform/widgets/folder_reading.h"
#include "platform/widgets/wildcard.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <filesystem>

namespace tessaro {
namespace {

// How long the folder's changes must rest before it is read again: copying a hundred
// pictures into it changes it a hundred times.
constexpr int ChangesRestMs = 100;

// Set on the few entries whose names do not lead back to their file; the others go in as
// plain text, all in one insertion.
constexpr int InexactRole = Qt::UserRole;

using NativeString = std::filesystem::path::string_type;
using NativeView = std::basic_string_view<NativeString::value_type>;

std::vector<NativeString> nativePatterns(const QString& pattern)
{
    std::vector<NativeString> result;
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        result.push_back(toPath(part.trimmed()).native());
    return result;
}

AcceptEntry pictures(const QString& pattern)
{
    return [patterns = nativePatterns(pattern)](const std::filesystem::directory_entry& entry) {
        const std::filesystem::path filename = entry.path().filename();
        const NativeView name(filename.native());
        if (std::none_of(patterns.begin(), patterns.end(), [&](const NativeString& p) { return wildcardMatch(name, NativeView(p)); }))
            return false;
        std::error_code typeError;
        return !entry.is_directory(typeError);
    };
}

} // namespace

FileList::FileList(QWidget* parent)
    : QListWidget(parent)
    , m_watcher(this)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Tabbing into the list makes its first entry current without selecting it: that must
    // not choose a picture the user never chose.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &FileList::clicked);
    m_changesRest.setSingleShot(true);
    m_changesRest.setInterval(ChangesRestMs);
    connect(&m_watcher, &FolderWatch::changed, &m_changesRest, qOverload<>(&QTimer::start));
    connect(&m_changesRest, &QTimer::timeout, this, &FileList::reread);
}

FileList::~FileList() = default;

bool FileList::setPath(const QString& path)
{
    return !path.isEmpty() && read(absoluteFolder(path));
}

void FileList::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    if (!m_path.isEmpty())
        read(m_path);
}

void FileList::setListIndex(int index)
{
    setCurrentRow(index);
}

int FileList::listIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.front().row();
}

QString FileList::entry(int index) const
{
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

bool FileList::entryExact(int index) const
{
    const QListWidgetItem* it = item(index);
    return it && !it->data(InexactRole).toBool();
}

bool FileList::read(const QString& folder)
{
    m_found = false;
    const bool ended = m_reading.start(folder, pictures(m_pattern), [this, folder](std::optional<FolderEntries> entries) {
        m_found = entries.has_value();
        if (!entries)
            return;
        m_path = folder;
        m_listed = true;
        fill(*entries);
        watch();
    });
    if (ended)
        return m_found;
    // A big folder or a slow volume: show nothing of the folder before meanwhile.
    m_path = folder;
    m_listed = false;
    fill({});
    watch();
    return true;
}

void FileList::watch()
{
    m_watcher.setFolders(isVisible() && m_listed ? QStringList{m_path} : QStringList());
}

void FileList::showEvent(QShowEvent* event)
{
    QListWidget::showEvent(event);
    watch();
}

void FileList::hideEvent(QHideEvent* event)
{
    QListWidget::hideEvent(event);
    watch();
}

// Reads the folder again in the background, the window going on meanwhile, unless a read
// of a folder just asked for is under way.
void FileList::reread()
{
    if (!m_listed || m_reading.busy())
        return;
    m_reading.start(m_path, pictures(m_pattern), [this](std::optional<FolderEntries> entries) { refill(entries.value_or(FolderEntries())); },
                    {}, VolumeTask::Wait::Never);
}

// The new entries in place of the old, the selected one still selected, and where the list
// was scrolled to, unless nothing changed. Should the selected file have gone, nothing is
// selected and that is told.
void FileList::refill(const FolderEntries& entries)
{
    bool same = static_cast<int>(entries.size()) == count();
    for (int row = 0; same && row < count(); ++row)
        same = entries[static_cast<std::size_t>(row)].name == entry(row) && entries[static_cast<std::size_t>(row)].exact == entryExact(row);
    if (same)
        return;
    const int selected = listIndex();
    const QString chosen = selected >= 0 ? entry(selected) : QString();
    const int scrolled = verticalScrollBar()->value();
    fill(entries);
    const auto kept = std::find_if(entries.begin(), entries.end(), [&](const FolderEntry& e) { return e.name == chosen; });
    if (!chosen.isEmpty() && kept != entries.end()) {
        const QSignalBlocker blocker(this);
        setCurrentRow(static_cast<int>(kept - entries.begin()));
    }
    verticalScrollBar()->setValue(scrolled);
    if (!chosen.isEmpty() && kept == entries.end())
        Q_EMIT clicked();
}

void FileList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F5 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        reread();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FileList::fill(const FolderEntries& entries)
{
    const QSignalBlocker blocker(this);
    setUpdatesEnabled(false);
    clear();
    QStringList names;
    names.reserve(static_cast<qsizetype>(entries.size()));
    for (const FolderEntry& entry : entries)
        names.push_back(entry.name);
    addItems(names);
    for (std::size_t row = 0; row < entries.size(); ++row) {
        if (!entries[row].exact)
            item(static_cast<int>(row))->setData(InexactRole, true);
    }
    // Set through the view, so that tabbing into the list leaves it without a current entry
    // too: the first Down then selects the first entry instead of passing over it.
    setCurrentIndex(QModelIndex());
    setUpdatesEnabled(true);
}

// With the focus and no current entry the view would mark nothing, and a Tab into the list
// would seem to go nowhere: the focus is marked where the first Down lands, on the first
// entry (or the first line of an empty list), as the system's list boxes do.
void FileList::paintEvent(QPaintEvent* event)
{
    QListWidget::paintEvent(event);
    if (!hasFocus() || currentIndex().isValid())
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = count() > 0 ? visualItemRect(item(0)) : QRect(0, 0, viewport()->width(), fontMetrics().height() + 2);
    focus.backgroundColor = palette().color(QPalette::Base);
    QPainter painter(viewport());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

} // namespace tessaro
