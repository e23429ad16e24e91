#pragma once

#include "platform/os/os_services.h"

#include <QString>

#include <functional>
#include <system_error>

class QWidget;

namespace tessaro {
class UserDialogs;
}

// The shell's file operations: copying a file into a folder and opening a folder.
namespace tessaro::Mod_Com {

// Whether the user has already agreed to replace the file now at `existing`.
using AlreadyAgreed = std::function<bool(const QString& existing)>;

// Copies `source` into the folder `destination` under its own name and gives back what came
// of it, a failure for the caller to show. Windows: the shell copies it with its own progress
// and error dialogs, and with its own question before it replaces a file unless `agreed` is
// given (the caller has asked already: one question, not two). Elsewhere a file already there
// is replaced only when `agreed` says the user agreed to replace that very file, or when the
// user says so now (the question defaults to No); `prepare` is given the copy before it takes
// its name (see os::copyToFolder()).
os::CopyOutcome CopyToFolder(const QString& source, const QString& destination, QWidget* window, UserDialogs& dialogs,
                             const AlreadyAgreed& agreed = {}, const os::PrepareCopy& prepare = {});

// Opens `folder` in the file manager; a failure shows "失敗しました" and the reason.
void OpenFolder(const QString& folder, QWidget* window, UserDialogs& dialogs);

} // namespace tessaro::Mod_Com
