#pragma once

// What the commands that change a folder's desktop.ini share: where the file is, how big it
// may be, why a file is refused, and how the new one reaches the folder.

#include "decoration/desktop_ini.h"
#include "platform/os/os_services.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QTemporaryDir;
class QWidget;

namespace tessaro {

class UserDialogs;

inline const QString IniName = QStringLiteral("desktop.ini");

// More than any folder's settings: a bigger file is not one to edit by hand here.
inline constexpr std::size_t IniLimit = 1 << 20;

// Why the file cannot be changed (or read) exactly, in the user's words, with the line (counted
// from 1) and the name of the setting there when they are known.
QString refusalText(ini::Refusal refusal, std::size_t line = 0, const std::u16string& name = {});

template <typename T>
QString refusalText(const ini::Result<T>& result)
{
    return refusalText(result.refusal, result.line, result.name);
}

// A folder of its own for one run under `base` (the system's temporary folder, else the
// application's data folder, when empty), removed when it ends: never a folder the user
// could pick as the target, and nothing in it for a link to send the write elsewhere.
std::unique_ptr<QTemporaryDir> stagingFolder(const QString& base);

// Writes `bytes` as `staged` (a desktop.ini in a staging folder) and copies it into `target`,
// where the user has answered for `existing`: what stands there now, if different, is asked
// about again. True when the folder's desktop.ini holds `bytes` afterwards; a failure is
// handed to `fail`, a declined copy is not.
bool installIni(const QString& staged, const QByteArray& bytes, const QString& target, const os::Entry& existing,
                QWidget* window, UserDialogs& dialogs, const std::function<void(const QString&)>& fail);

} // namespace tessaro
