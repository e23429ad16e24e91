#pragma once

// How desktop.ini names its picture so that the folder's reader can open it. A reader on
// another machine (Windows reading the folder over a share, from a stick or from the disk)
// cannot open this machine's full paths: it joins a relative path to the folder it reads, so
// the picture has to lie inside the folder, under names Windows can open.

#include <QString>
#include <QStringList>

#include <optional>
#include <system_error>

namespace tessaro {

// Whether Windows can open a file or folder of this name: no character Windows forbids
// (control characters, < > : " / \ | ? *), no dot or space at the end, not a device's
// name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension).
bool windowsCanOpen(const QString& name);

// Whether Windows opens a device for a file of this name (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// with or without an extension).
bool deviceName(const QString& name);

// `name` changed only as far as Windows needs: each forbidden character becomes '_', dots
// and spaces at the end go, and a device's name gets a '_' in front.
QString windowsName(const QString& name);

// The n-th name to try for a copy of `name`: the name itself for 1, then "sea (2).jpg",
// "sea (3).jpg", ..., the part before the extension shortened where the number would make
// the name longer than a folder can hold.
QString numberedName(const QString& name, int n);

// Where `picture` lies below `folder`, as the names of the folders on the way and the file's
// own, both paths taken with every link resolved; empty when it lies elsewhere. A folder on
// the way that cannot be looked at is a failure, not a sign that it lies elsewhere.
std::error_code pathInside(const QString& picture, const QString& folder, std::optional<QStringList>& names);

} // namespace tessaro
