#pragma once

#include <QString>

class QWidget;

namespace tessaro {
class UserDialogs;
}

// The shell's file operations: copying a file into a folder and opening a folder.
namespace tessaro::Mod_Com {

// Copies `source` into the folder `destination`. Windows: the shell copies it with its own
// confirmation, progress and error dialogs. Elsewhere the user is asked before an existing
// file is replaced, and a failure is shown with its reason, as the shell would show it.
void CopyToFolder(const QString& source, const QString& destination, QWidget* window, UserDialogs& dialogs);

// Opens `folder` in the file manager; a failure shows "失敗しました".
void OpenFolder(const QString& folder, QWidget* window, UserDialogs& dialogs);

} // namespace tessaro::Mod_Com
