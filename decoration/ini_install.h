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

// A folder of its own for one run, removed when it ends, and held as in use meanwhile so that
// no other run's start takes it for a leftover.
class StagingFolder {
public:
    explicit StagingFolder(std::unique_ptr<QTemporaryDir> folder);
    ~StagingFolder();
    QString path() const;
    // False when it could not be held, or another run's start took it for a leftover first.
    bool held() const;

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<os::FolderHold> m_hold; // let go before the folder is removed
};

// A folder of its own for one run under `base` (the system's temporary folder, else the
// application's data folder, when empty): never a folder the user could pick as the target,
// and nothing in it for a link to send the write elsewhere.
std::unique_ptr<StagingFolder> stagingFolder(const QString& base);

// Removes the staging folders that runs which ended before their time left in the places
// stagingFolder() uses; those of runs still going stay.
void removeStaleStaging(const QString& base = {});

// Whether the folder's desktop.ini, read as its reader reads it, names `name` in the folder
// as its picture. True when that cannot be told (the file cannot be read): what it may name is
// kept then.
bool namesPicture(const QString& folder, const QString& name);

// Clears `folder` of the files runs that ended before their time left there (see
// os::removeLeftovers()), before a run changes it.
void removeLeftovers(const QString& folder);

// What installIni() did. Not `installed`: nothing changed, and the user has been told why
// (or said No). `installed`: the folder's desktop.ini holds the new bytes, Hidden and System;
// `afterwards` then says what failed after it was in place (the folder not synced to the
// disk, the attributes of a copy the shell made), for the message that reports it.
struct IniInstalled {
    bool installed = false;
    QString afterwards;
};

// Writes `bytes` as `staged` (a desktop.ini in a staging folder) and copies it into `target`,
// where the user has answered for `existing`: what stands there now, if different, is asked
// about again. The copy is Hidden and System before it takes desktop.ini's place, so that a
// reader never sees it without them. A failure that leaves the folder as it was is handed to
// `fail`; a declined copy is not.
IniInstalled installIni(const QString& staged, const QByteArray& bytes, const QString& target, const os::Entry& existing,
                        QWidget* window, UserDialogs& dialogs, const std::function<void(const QString&)>& fail);

} // namespace tessaro
