#pragma once

// Paths cross between Qt and the operating system here. Qt holds paths as UTF-16; Windows
// takes them as UTF-16 as well, Linux as bytes in the locale's encoding.

#include <QString>
#include <filesystem>

namespace tessaro {

std::filesystem::path toPath(const QString& path);
QString toQString(const std::filesystem::path& path);

// False when `path` has a name that Qt cannot hold exactly (on Linux, bytes that are not
// valid in the locale's encoding): such a name shows with replacement characters, and the
// QString no longer leads back to the file.
bool representable(const std::filesystem::path& path);

// `folder` joined with `name`: a separator goes between them unless `folder` already ends
// in one (a drive root such as "C:\" or "/").
QString joinPath(const QString& folder, const QString& name);

} // namespace tessaro
