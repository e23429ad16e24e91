#include "platform/os/os_services.h"

#include "platform/os/native_path.h"

#include <QStandardPaths>

namespace tessaro::os {
namespace {

std::optional<Path> location(QStandardPaths::StandardLocation which)
{
    const QString folder = QStandardPaths::writableLocation(which);
    if (folder.isEmpty())
        return std::nullopt;
    return toPath(folder);
}

} // namespace

std::optional<Path> documentsFolder()
{
    return location(QStandardPaths::DocumentsLocation);
}

std::optional<Path> picturesFolder()
{
    return location(QStandardPaths::PicturesLocation);
}

} // namespace tessaro::os
