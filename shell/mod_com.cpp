#include "shell/mod_com.h"

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/native_window.h"
#include "platform/widgets/user_dialogs.h"

#include <QCoreApplication>

namespace tessaro::Mod_Com {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::Mod_Com)
};

} // namespace

os::CopyOutcome CopyToFolder(const QString& source, const QString& destination, QWidget* window, UserDialogs& dialogs,
                             const AlreadyAgreed& agreed, const os::PrepareCopy& prepare)
{
    const auto confirm = [&](const os::Path& existing) {
        const QString shown = toQString(existing);
        if (agreed && agreed(shown))
            return true;
        return dialogs.ask(window, Text::tr("ファイルの置き換え"), Text::tr("%1 は既にあります。\n置き換えますか?").arg(shown));
    };
    return os::copyToFolder(toPath(source), toPath(destination), confirm,
                            agreed ? os::ReplaceQuestion::AlreadyAnswered : os::ReplaceQuestion::NotAsked, prepare);
}

void OpenFolder(const QString& folder, QWidget* window, UserDialogs& dialogs)
{
    if (const std::error_code error = os::openFolder(toPath(folder), nativeWindowOf(window)))
        dialogs.warn(window, Text::tr("フォルダを開く"), Text::tr("失敗しました") + QLatin1Char('\n') + describeError(error));
}

} // namespace tessaro::Mod_Com
