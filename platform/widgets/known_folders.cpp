#include "platform/widgets/known_folders.h"

#include "platform/os/native_path.h"

#include <QDir>

#include <atomic>

namespace tessaro {
namespace {

std::atomic<const KnownFolders*> replacement{nullptr};

} // namespace

KnownFolders knownFolders()
{
    if (const KnownFolders* folders = replacement.load())
        return *folders;
    return {os::documentsFolder(), os::picturesFolder(), toPath(QDir::homePath())};
}

const KnownFolders* replaceKnownFolders(const KnownFolders* folders)
{
    return replacement.exchange(folders);
}

} // namespace tessaro
