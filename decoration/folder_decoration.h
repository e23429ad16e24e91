#pragma once

// A folder's decoration as its reader finds it: the picture desktop.ini names, where the
// reader looks for it, and the caption colour.

#include "platform/os/os_services.h"
#include "platform/widgets/folder_model.h"

#include <QString>

#include <optional>

namespace tessaro {

// Where the reader opens the picture desktop.ini names.
struct PicturePlace {
    QString path;    // in native form; empty when no path on this machine leads there
    QString problem; // why the reader opens no picture there whatever lies there: the path leaves
                     // the folder's drive, or names a device; empty when it may
};

struct FolderDecoration {
    QString image;   // iconarea_image, as the reader reads it
    PicturePlace place;
    bool found = false;             // a picture file is there
    std::optional<QString> colour;  // iconarea_text, as the reader reads it
    bool readable = true; // false: the values are there but cannot be read exactly here (code page)
};

// The folder's decoration; none when its desktop.ini names no picture in our section, or
// is no regular file. Waits for the volume: on a worker.
std::optional<FolderDecoration> readDecoration(const QString& folder);

// Where the reader finds `image`, as Windows opens it: a relative path (backslashes or slashes,
// a leading one included) is joined to `folder`, ".." resolved; a name's trailing dots and
// spaces are dropped, and each name below the folder is looked up without regard to case. A
// drive letter or a share is no path here but on Windows. Asks the volume: on a worker.
PicturePlace placePicture(const QString& folder, const QString& image);

// The colour as the reader takes iconarea_text: a C number (0x hexadecimal, a leading 0
// octal, else decimal) and nothing after it, masked to COLORREF's three bytes.
std::optional<os::ColourRef> readerColour(const QString& text);

// The folder list's emblem and tooltip for the folder, and the folder to watch for the picture
// coming or going. Waits for the volume: on a worker.
FolderMark folderMark(const QString& folder);

} // namespace tessaro
