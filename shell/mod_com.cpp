#include "shell/mod_com.h"

#include "platform/error_text.h"
#include "platform/native_path.h"
#include "platform/os_services.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

namespace tessaro::Mod_Com {
namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("tessaro::Mod_Com", text);
}

} // namespace

void CopyToFolder(const QString& source, const QString& destination, UserDialogs& dialogs, QWidget* window)
{
    const auto confirm = [&](const os::Path& existing) {
        return dialogs.ask(window, tr("%1 は既にあります。\n置き換えますか?").arg(toQString(existing)));
    };
    if (const std::error_code error = os::copyToFolder(toPath(source), toPath(destination), confirm)) {
        dialogs.inform(window, tr("%1 を %2 にコピーできません。\n%3")
                                   .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(destination),
                                        describeError(error)));
    }
}

void OpenFolder(const QString& folder, QWidget* window, UserDialogs& dialogs)
{
    const os::NativeWindow owner = window ? static_cast<os::NativeWindow>(window->window()->winId()) : 0;
    if (os::openFolder(toPath(folder), owner))
        dialogs.inform(window, tr("失敗しました"));
}

} // namespace tessaro::Mod_Com
