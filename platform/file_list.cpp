#include "platform/file_list.h"

#include "platform/folder_reading.h"
#include "platform/native_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPromise>
#include <QThreadPool>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>

namespace tessaro {
namespace {

// Set on the few entries whose names do not lead back to their file; the others go in as
// plain text, all in one insertion.
constexpr int InexactRole = Qt::UserRole;

template <typename Char>
Char foldAscii(Char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

// A wildcard match over code units with ASCII case folding, which is all that file
// extensions need; it runs on the OS's own names, so that a folder of a hundred thousand
// files is filtered before any name is converted.
template <typename Char>
bool wildcardMatch(std::basic_string_view<Char> name, std::basic_string_view<Char> pattern)
{
    std::size_t n = 0, p = 0;
    std::size_t starP = std::basic_string_view<Char>::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || foldAscii(pattern[p]) == foldAscii(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::basic_string_view<Char>::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

using NativeString = std::filesystem::path::string_type;
using NativeView = std::basic_string_view<NativeString::value_type>;

std::vector<NativeString> nativePatterns(const QString& pattern)
{
    std::vector<NativeString> result;
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        result.push_back(toPath(part.trimmed()).native());
    return result;
}

// Reads the matching files of a folder, in as many steps as the caller wants.
class FileScan {
public:
    FileScan(const QString& folder, const QString& pattern)
        : m_patterns(nativePatterns(pattern))
        , m_it(toPath(folder), std::filesystem::directory_options::skip_permission_denied, m_error)
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
            const std::filesystem::path name = m_it->path().filename();
            const NativeView native(name.native());
            if (std::none_of(m_patterns.begin(), m_patterns.end(), [&](const NativeString& p) { return wildcardMatch(native, NativeView(p)); }))
                continue;
            std::error_code typeError;
            if (m_it->is_directory(typeError))
                continue;
            QString text = toQString(name);
            QString key = text.toCaseFolded();
            m_entries.push_back({std::move(text), std::move(key), representable(name)});
        }
        return true;
    }

    // The names sorted without regard to case, as Windows lists them, and the rows of those
    // that do not lead back to their file.
    void takeSorted(QStringList& names, std::vector<int>& inexact)
    {
        sortByName(m_entries);
        names.reserve(static_cast<qsizetype>(m_entries.size()));
        for (Entry& e : m_entries) {
            if (!e.exact)
                inexact.push_back(static_cast<int>(names.size()));
            names.push_back(std::move(e.name));
        }
        m_entries.clear();
    }

private:
    struct Entry {
        QString name;
        QString key;
        bool exact;
    };

    std::vector<NativeString> m_patterns;
    std::error_code m_error;
    std::filesystem::directory_iterator m_it;
    std::vector<Entry> m_entries;
};

} // namespace

FileList::FileList(QWidget* parent)
    : QListWidget(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            Q_EMIT clicked();
    });
    connect(&m_listing, &QFutureWatcherBase::finished, this, [this] {
        QFuture<Names> done = m_listing.future();
        if (done.isFinished() && !done.isCanceled() && done.resultCount() > 0)
            fill(done.takeResult());
    });
    setPath(QDir::currentPath());
}

FileList::~FileList()
{
    m_listing.cancel();
}

bool FileList::setPath(const QString& path)
{
    const QFileInfo info(QDir::current(), path);
    if (path.isEmpty() || !info.isDir())
        return false;
    m_path = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    reload();
    return true;
}

void FileList::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    reload();
}

void FileList::setListIndex(int index)
{
    setCurrentRow(index);
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

bool FileList::matches(QStringView name, QStringView pattern)
{
    for (QStringView part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const std::u16string_view wanted(reinterpret_cast<const char16_t*>(part.trimmed().utf16()), static_cast<std::size_t>(part.trimmed().size()));
        const std::u16string_view candidate(reinterpret_cast<const char16_t*>(name.utf16()), static_cast<std::size_t>(name.size()));
        if (wildcardMatch(candidate, wanted))
            return true;
    }
    return false;
}

void FileList::reload()
{
    m_listing.cancel();
    auto scan = std::make_shared<FileScan>(m_path, m_pattern);
    if (scan->read(EntriesReadAtOnce, [] { return false; })) {
        m_listing.setFuture(QFuture<Names>());
        Names names;
        scan->takeSorted(names.names, names.inexact);
        fill(names);
        return;
    }
    fill({});
    auto promise = std::make_shared<QPromise<Names>>();
    promise->start();
    m_listing.setFuture(promise->future());
    m_filling = true;
    folderReaderPool()->start([promise, scan] {
        if (scan->read(std::numeric_limits<std::size_t>::max(), [&] { return promise->isCanceled(); })) {
            Names names;
            scan->takeSorted(names.names, names.inexact);
            promise->addResult(std::move(names));
        }
        promise->finish();
    });
}

void FileList::fill(const Names& names)
{
    const QSignalBlocker blocker(this);
    setUpdatesEnabled(false);
    clear();
    addItems(names.names);
    for (int row : names.inexact)
        item(row)->setData(InexactRole, true);
    setCurrentRow(-1);
    setUpdatesEnabled(true);
    m_filling = false;
}

} // namespace tessaro
