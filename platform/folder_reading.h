#pragma once

// What the file list and the folder list share in reading folders.

#include <QString>

#include <algorithm>
#include <cstddef>
#include <vector>

class QThreadPool;

namespace tessaro {

// A folder with up to this many entries is read on the spot, so that an everyday folder is
// listed by the time a list's setPath() returns and never shows an empty list first. A
// bigger one is read on a worker thread: a hundred thousand entries take longer than a
// window may stop answering.
inline constexpr std::size_t EntriesReadAtOnce = 4096;

// Big folders are read on a pool of their own. Qt's global pool also runs the raster paint
// engine's fills, and a paint waiting behind a long read would freeze the window.
QThreadPool* folderReaderPool();

// Sorts names as Windows lists them, without regard to case. Each item has `name` and
// `key`, the name case-folded once beforehand: folding inside the comparison would fold
// every name log n times.
template <typename Item>
void sortByName(std::vector<Item>& items)
{
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (const int byKey = QString::compare(a.key, b.key); byKey != 0)
            return byKey < 0;
        return a.name < b.name;
    });
}

} // namespace tessaro
