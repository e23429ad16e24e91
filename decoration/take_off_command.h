#pragma once

#include "decoration/ini_install.h"
#include "platform/os/os_services.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

class QWidget;

namespace tessaro {

class UserDialogs;

// Takes a folder's decoration off: iconarea_image and iconarea_text leave our section of
// its desktop.ini, the section goes when nothing else is left in it, and desktop.ini itself
// when nothing is left at all. Every other byte stays, in the file's encoding. The user is
// asked first (default No); a picture lying inside the folder goes too only when the user
// ticks that in the same question. The folder keeps its System mark: other settings in
// desktop.ini, or other programs, may rely on it.
class TakeOffCommand {
    Q_DECLARE_TR_FUNCTIONS(tessaro::TakeOffCommand)

public:
    // Each run stages in a new folder under `stagingBase` (the system's temporary folder when
    // empty) and removes it when it ends.
    explicit TakeOffCommand(UserDialogs& dialogs, QWidget* window, QString stagingBase = {});

    // True when the folder's decoration is off afterwards, and all went well; every outcome but
    // a No has told the user, in one message.
    bool run(const QString& folder);

    // What its questions and messages are titled: what they are about.
    static QString title() { return tr("背景を外す"); }

private:
    struct Plan {
        os::Entry existing;   // desktop.ini as the user was asked about it
        std::string bytes;    // what is left of it
        bool nothingLeft = false;
        QString picture;      // the picture inside the folder that may go with it; empty when none
    };

    std::optional<Plan> plan();
    IniInstalled write(const Plan& plan);
    bool removeIni(const os::Entry& existing);
    QString removePicture(const QString& picture);
    void fail(const QString& reason);

    UserDialogs& m_dialogs;
    QWidget* m_window;
    QString m_stagingBase;
    QString m_folder;
};

} // namespace tessaro
