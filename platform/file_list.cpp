#include "platform/file_list.h"

#include "platform/native_path.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>

namespace tessaro {
namespace {

constexpr int ExactRole = Qt::UserRole;

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
    setPath(QDir::currentPath());
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
    return it && it->data(ExactRole).toBool();
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
    struct Entry {
        QString name;
        QString key;
        bool exact;
    };
    std::vector<Entry> entries;
    const std::vector<NativeString> patterns = nativePatterns(m_pattern);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(toPath(m_path), std::filesystem::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::filesystem::path name = it->path().filename();
        const NativeView native(name.native());
        if (std::none_of(patterns.begin(), patterns.end(), [&](const NativeString& p) { return wildcardMatch(native, NativeView(p)); }))
            continue;
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue;
        QString text = toQString(name);
        QString key = text.toCaseFolded();
        entries.push_back({std::move(text), std::move(key), representable(name)});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (const int byKey = QString::compare(a.key, b.key); byKey != 0)
            return byKey < 0;
        return a.name < b.name;
    });

    const QSignalBlocker blocker(this);
    setUpdatesEnabled(false);
    clear();
    for (Entry& e : entries) {
        auto* item = new QListWidgetItem(e.name);
        item->setData(ExactRole, e.exact);
        addItem(item);
    }
    setCurrentRow(-1);
    setUpdatesEnabled(true);
}

} // namespace tessaro
