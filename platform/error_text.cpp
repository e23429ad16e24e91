#include "platform/error_text.h"

#include <QCoreApplication>

namespace tessaro {

QString describeError(std::error_code error)
{
    const auto tr = [](const char* text) { return QCoreApplication::translate("tessaro::describeError", text); };
    const std::error_condition condition = error.default_error_condition();
    if (condition == std::errc::permission_denied || condition == std::errc::operation_not_permitted)
        return tr("アクセスが拒否されました。");
    if (condition == std::errc::read_only_file_system)
        return tr("読み取り専用のドライブです。");
    if (condition == std::errc::no_such_file_or_directory)
        return tr("フォルダまたはファイルが見つかりません。");
    if (condition == std::errc::not_a_directory)
        return tr("フォルダではありません。");
    if (condition == std::errc::no_space_on_device || condition == std::errc::file_too_large)
        return tr("ディスクに空きがありません。");
    if (condition == std::errc::not_supported || condition == std::errc::operation_not_supported)
        return tr("このドライブのファイルシステムはこの操作に対応していません。");
    if (condition == std::errc::io_error)
        return tr("ディスクの読み書きに失敗しました。");
    if (condition == std::errc::device_or_resource_busy || condition == std::errc::text_file_busy)
        return tr("ファイルが使用中です。");
    return tr("エラー %1: %2").arg(error.value()).arg(QString::fromStdString(error.message()));
}

} // namespace tessaro
