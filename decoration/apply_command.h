#pragma once

#include "decoration/settings_file.h"
#include "platform/os/os_services.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

class QWidget;

namespace tessaro {

class UserDialogs;

// What pressing apply does. Every question is asked before anything changes, so that a No
// leaves the folder as it was. Then the picture is copied into the target folder when its
// reader needs it there, desktop.ini is written (merged into the one already there, when the
// user agreed) in a staging folder of its own and copied into the target folder, and
// desktop.ini is marked Hidden and System and the folder System so that the shell reads it.
class ApplyCommand {
    Q_DECLARE_TR_FUNCTIONS(tessaro::ApplyCommand)

public:
    // Each run stages in a new folder under `stagingBase` (the system's temporary folder when
    // empty) and removes it when it ends.
    explicit ApplyCommand(UserDialogs& dialogs, QWidget* window, QString stagingBase = {});

    // True when the folder holds the decoration afterwards; every outcome but a No has told
    // the user.
    bool run(const DecorationChoice& choice, const QString& targetFolder);

    // What its questions and messages are titled: what they are about.
    static QString title() { return tr("背景の設定"); }

private:
    // What iconarea_image will name, and how the picture gets there.
    struct Picture {
        QString source;      // the chosen picture
        QString value;       // iconarea_image's value
        QString shown;       // the picture the folder uses, as the user is told
        bool copy = false;   // copied into the folder first, as `value`
        bool outside = true; // why a copy: it lies outside the folder, or has a name Windows cannot open
        QString preferred;   // the copy's name before a number is added to make it free
    };

    class CopiedPicture;

    std::optional<Picture> planPicture(const DecorationChoice& choice);
    std::optional<os::Entry> lookAtExisting(const Picture& picture, const QString& colour);
    bool alreadyThere(const Picture& picture, const QString& colour, const os::Entry& existing);
    bool keepAsItIs();
    QString earlierPicture(const Picture& picture, const os::Entry& existing) const;
    bool askFirst(const Picture& picture, const os::Entry& existing);
    bool askAboutExisting(const QString& question, const QString& earlier);
    QString removeEarlier();
    bool install(Picture picture, const QString& colour, const os::Entry& existing);
    bool targetIsFolder();
    std::optional<QString> copyPicture(const Picture& picture, CopiedPicture& copied);
    std::optional<QByteArray> settingsFor(const QString& image, const QString& colour, const os::Entry& existing);
    bool mark();
    void fail(const QString& reason);

    UserDialogs& m_dialogs;
    QWidget* m_window;
    QString m_stagingBase;
    QString m_target;
    QString m_earlier;            // the picture the decoration named before, offered for deletion
    bool m_deleteEarlier = false; // as the user left the offer
};

} // namespace tessaro
