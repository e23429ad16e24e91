#pragma once

// A folder's decoration as its reader finds it: the picture desktop.ini names, where the
// reader looks for it, and the caption colour.

#include "platform/os/os_services.h"
#include "platform/widgets/folder_model.h"

#include <QString>

#include <optional>

namespace tessaro {

struct FolderDecoration {
    QString image;   // iconarea_image, as the reader reads it
    QString picture; // where the reader opens it, in native form; empty when no path on this machine leads there
    bool found = false;             // a file is there
    std::optional<QString> colour;  // iconarea_text, as the reader reads it
    bool readable = true; // false: the values are there but cannot be read exactly here (code page)
};

// The folder's decoration; none when its desktop.ini names no picture in our section, or
// is no regular file. Waits for the volume: on a worker.
std::optional<FolderDecoration> readDecoration(const QString& folder);

// Where the reader finds `image`: a relative path (backslashes or slashes, a leading one
// included) is joined to `folder`, ".." resolved. Empty when it names another machine's
// place (a drive letter or a share that is no path here).
QString resolvePicture(const QString& folder, const QString& image);

// The colour as the reader takes iconarea_text: a C number (0x hexadecimal, a leading 0
// octal, else decimal) and nothing after it, masked to COLORREF's three bytes.
std::optional<os::ColourRef> readerColour(const QString& text);

// The folder list's emblem and tooltip for the folder. Waits for the volume: on a worker.
FolderMark folderMark(const QString& folder);

} // namespace tessaro
