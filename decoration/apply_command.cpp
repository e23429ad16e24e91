#include "decoration/apply_command.h"

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/user_dialogs.h"
#include "shell/mod_com.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>

namespace tessaro {
namespace {

// Written beside and renamed into place, so that the file is never seen half-written.
bool writeWhole(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

ApplyCommand::ApplyCommand(UserDialogs& dialogs, QWidget* window, QString programFolder)
    : m_dialogs(dialogs)
    , m_window(window)
    , m_programFolder(std::move(programFolder))
{
}

void ApplyCommand::run(const DecorationChoice& choice, const QString& targetFolder)
{
    m_staged.clear();
    if (const std::optional<QString> problem = checkChoice(choice)) {
        m_dialogs.inform(m_window, *problem);
        return;
    }
    const std::optional<QString> staged = stage(settingsBytes(settingsText(choice), os::systemEncoding()));
    if (!staged)
        return;
    m_staged = *staged;

    // As the shell does it: a declined or failed copy still leaves the folder marked.
    Mod_Com::CopyToFolder(*staged, targetFolder, m_window, m_dialogs);
    if (const std::error_code error = os::markSystem(toPath(targetFolder))) {
        m_dialogs.inform(m_window, tr("フォルダにシステム属性を付けられませんでした。\n%1\n%2")
                                       .arg(QDir::toNativeSeparators(targetFolder), describeError(error)));
    }
}

std::optional<QString> ApplyCommand::stage(const QByteArray& bytes)
{
    const QString beside = joinPath(m_programFolder, QStringLiteral("desktop.ini"));
    QString error;
    if (writeWhole(beside, bytes, error))
        return beside;

    // An installed program's folder is not the user's to write: stage in the user's own data folder.
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    const QString fallback = joinPath(QDir::toNativeSeparators(dataFolder), QStringLiteral("desktop.ini"));
    QString fallbackError;
    if (!dataFolder.isEmpty() && QDir().mkpath(dataFolder) && writeWhole(fallback, bytes, fallbackError))
        return fallback;

    m_dialogs.inform(m_window, tr("設定ファイルを書き込めません。\n%1\n%2").arg(beside, error));
    return std::nullopt;
}

} // namespace tessaro
