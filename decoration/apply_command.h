#pragma once

#include "decoration/settings_file.h"

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace tessaro {

class UserDialogs;

// What pressing apply does: the settings file is staged in the program's folder, copied into
// the target folder, and the target folder is marked System so that the shell reads it.
class ApplyCommand {
    Q_DECLARE_TR_FUNCTIONS(tessaro::ApplyCommand)

public:
    ApplyCommand(UserDialogs& dialogs, QWidget* window, QString programFolder);

    void run(const DecorationChoice& choice, const QString& targetFolder);

    // Where the last run staged the file; empty when nothing was staged.
    QString stagedFile() const { return m_staged; }

private:
    std::optional<QString> stage(const QByteArray& bytes);

    UserDialogs& m_dialogs;
    QWidget* m_window;
    QString m_programFolder;
    QString m_staged;
};

} // namespace tessaro
