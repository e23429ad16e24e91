#include "platform/widgets/error_text.h"

#include "platform/os/os_services.h"

#include <QCoreApplication>

namespace tessaro {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::describeError)
};

} // namespace

QString describeError(std::error_code error)
{
    if (error.category() == os::failureCategory()) {
        switch (static_cast<os::Failure>(error.value())) {
        case os::Failure::NoFileManager:
            return Text::tr("フォルダを開くファイルマネージャが設定されていません。");
        case os::Failure::OpenerFailed:
            return Text::tr("ファイルマネージャがフォルダを開けませんでした。");
        }
    }
    const std::error_condition condition = error.default_error_condition();
    if (condition == std::errc::permission_denied || condition == std::errc::operation_not_permitted)
        return Text::tr("アクセスが拒否されました。");
    if (condition == std::errc::read_only_file_system)
        return Text::tr("読み取り専用のドライブです。");
    if (condition == std::errc::no_such_file_or_directory)
        return Text::tr("フォルダまたはファイルが見つかりません。");
    if (condition == std::errc::not_a_directory)
        return Text::tr("フォルダではありません。");
    if (condition == std::errc::no_space_on_device || condition == std::errc::file_too_large)
        return Text::tr("ディスクに空きがありません。");
    if (condition == std::errc::not_supported || condition == std::errc::operation_not_supported)
        return Text::tr("このドライブのファイルシステムはこの操作に対応していません。");
    if (condition == std::errc::io_error)
        return Text::tr("ディスクの読み書きに失敗しました。");
    if (condition == std::errc::device_or_resource_busy || condition == std::errc::text_file_busy)
        return Text::tr("ファイルが使用中です。");
    return Text::tr("エラー %1: %2").arg(error.value()).arg(QString::fromStdString(error.message()));
}

} // namespace tessaro
