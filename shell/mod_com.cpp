#include "shell/mod_com.h"

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/native_window.h"
#include "platform/widgets/user_dialogs.h"

#include <QCoreApplication>
#include <QDir>

namespace tessaro::Mod_Com {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::Mod_Com)
};

} // namespace

void CopyToFolder(const QString& source, const QString& destination, QWidget* window, UserDialogs& dialogs)
{
    const auto confirm = [&](const os::Path& existing) {
        return dialogs.ask(window, Text::tr("%1 は既にあります。\n置き換えますか?").arg(toQString(existing)));
    };
    if (const std::error_code error = os::copyToFolder(toPath(source), toPath(destination), confirm)) {
        dialogs.inform(window, Text::tr("%1 を %2 にコピーできません。\n%3")
                                   .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(destination),
                                        describeError(error)));
    }
}

void OpenFolder(const QString& folder, QWidget* window, UserDialogs& dialogs)
{
    if (os::openFolder(toPath(folder), nativeWindowOf(window)))
        dialogs.inform(window, Text::tr("失敗しました"));
}

} // namespace tessaro::Mod_Com
