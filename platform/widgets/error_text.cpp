#include "platform/widgets/error_text.h"

#include "platform/os/os_services.h"

#include <QCoreApplication>

namespace tessaro {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::describeError)
};

QString describeFailure(os::Failure failure)
{
    switch (failure) {
    case os::Failure::NoFileManager:
        return Text::tr("フォルダを開くファイルマネージャが設定されていません。");
    case os::Failure::OpenerFailed:
        return Text::tr("ファイルマネージャがフォルダを開けませんでした。");
    case os::Failure::UnknownAttributeFormat:
        return Text::tr("属性がこのプログラムの知らない形式で記録されているため、変更しませんでした。");
    }
    return {};
}

QString describeKind(os::ErrorKind kind)
{
    using Kind = os::ErrorKind;
    switch (kind) {
    case Kind::Unknown: break;
    case Kind::NotFound: return Text::tr("フォルダまたはファイルが見つかりません。");
    case Kind::NotAFolder: return Text::tr("フォルダではありません。");
    case Kind::FolderInTheWay: return Text::tr("ファイルを置く場所に同じ名前のフォルダがあります。");
    case Kind::AccessDenied: return Text::tr("アクセスが拒否されました。");
    case Kind::ReadOnlyVolume: return Text::tr("読み取り専用のドライブです。");
    case Kind::DiskFull: return Text::tr("ディスクに空きがありません。");
    case Kind::QuotaExceeded: return Text::tr("ディスクの使用量の上限に達しています。");
    case Kind::FileTooLarge: return Text::tr("ファイルが大きすぎます。");
    case Kind::NotSupported: return Text::tr("このドライブのファイルシステムはこの操作に対応していません。");
    case Kind::IoError: return Text::tr("ディスクの読み書きに失敗しました。");
    case Kind::Busy: return Text::tr("ファイルがほかのプログラムで使用中です。");
    case Kind::NameTooLong: return Text::tr("名前またはパスが長すぎます。");
    case Kind::TooManyLinks: return Text::tr("シンボリックリンクが多すぎるか、循環しています。");
    case Kind::NameTaken: return Text::tr("同じ名前のファイルまたはフォルダが既にあります。");
    case Kind::InvalidName: return Text::tr("このドライブでは使えない名前です。");
    case Kind::InvalidArgument: return Text::tr("この場所またはこのファイルには、この操作を行えません。");
    case Kind::OutOfMemory: return Text::tr("メモリが足りません。");
    case Kind::TooManyOpenFiles: return Text::tr("開いているファイルが多すぎます。");
    case Kind::TryAgain: return Text::tr("一時的に操作できません。もう一度お試しください。");
    case Kind::NoAttribute: return Text::tr("ファイルシステムに必要な属性がありません。");
    case Kind::NetworkFailure: return Text::tr("ネットワークの接続に問題があります。");
    case Kind::NoMedium: return Text::tr("ドライブにディスクがないか、装置が見つかりません。");
    case Kind::Cancelled: return Text::tr("操作は取り消されました。");
    }
    return {};
}

// What the user can do about a failure of this kind, for those where the reason alone leaves
// them guessing; empty for the others.
QString describeRemedy(os::ErrorKind kind)
{
    using Kind = os::ErrorKind;
    switch (kind) {
    case Kind::AccessDenied:
        return Text::tr("書き込みが許されているフォルダを選ぶか、フォルダの持ち主に権限をもらってください。");
    case Kind::ReadOnlyVolume:
        return Text::tr("書き込みできるドライブのフォルダを選ぶか、ディスクやカードの書き込み禁止を解除してください。");
    case Kind::DiskFull:
    case Kind::QuotaExceeded:
        return Text::tr("不要なファイルを削除して空きを作ってから、もう一度お試しください。");
    case Kind::Busy:
        return Text::tr("そのファイルを使っているプログラムを閉じてから、もう一度お試しください。");
    case Kind::NetworkFailure:
        return Text::tr("ネットワークの接続を確かめてから、もう一度お試しください。");
    case Kind::NoMedium:
        return Text::tr("ディスクを入れるか装置をつなぎ直してから、もう一度お試しください。");
    default:
        return {};
    }
}

} // namespace

QString describeError(std::error_code error)
{
    if (error.category() == os::failureCategory()) {
        if (QString text = describeFailure(static_cast<os::Failure>(error.value())); !text.isEmpty())
            return text;
    } else if (QString text = describeKind(os::errorKind(error)); !text.isEmpty()) {
        if (const QString remedy = describeRemedy(os::errorKind(error)); !remedy.isEmpty())
            text += QLatin1Char('\n') + remedy;
        return text;
    }
    // The system's own text would be English: the number alone lets someone look it up.
    return Text::tr("エラー %1").arg(error.value());
}

QString describeNoAnswer()
{
    return Text::tr("応答がありません。\nネットワークやケーブルの接続、装置の電源を確かめてから、もう一度開いてください。");
}

} // namespace tessaro
