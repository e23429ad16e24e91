#pragma once

// A name (a path, a picture's name, a value read from a file) as a tooltip or a message shows
// it: a name of a megabyte would take the window seconds to lay out, and nobody reads it.

#include <QString>

namespace tessaro {

// More than anyone reads of one name, and still a whole path of the deepest folders.
inline constexpr qsizetype ShownNameLength = 300;

// `name` as it is up to ShownNameLength characters; else its beginning and its end with "…"
// between them, never cutting a surrogate pair.
inline QString shownName(const QString& name)
{
    if (name.size() <= ShownNameLength)
        return name;
    qsizetype head = ShownNameLength / 2, tail = ShownNameLength - head - 1;
    if (name.at(head - 1).isHighSurrogate())
        --head;
    if (name.at(name.size() - tail).isLowSurrogate())
        --tail;
    return name.left(head) + QChar(0x2026) + name.right(tail);
}

} // namespace tessaro
