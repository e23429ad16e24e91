#include "decoration/command_texts.h"

#include "decoration/folder_decoration.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tessaro {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::commands)
};

} // namespace

QString describeColour(os::ColourRef colour)
{
    const unsigned red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    const QString web = QStringLiteral("#%1").arg(red << 16 | green << 8 | blue, 6, 16, QLatin1Char('0')).toUpper();
    return Text::tr("赤 %1、緑 %2、青 %3 (%4)").arg(red).arg(green).arg(blue).arg(web);
}

QString appliedText(const AppliedDecoration& applied)
{
    QString text = Text::tr("フォルダ %1 に背景を設定しました。\n背景画像: %2").arg(applied.folder, applied.picture);
    if (!applied.copiedFrom.isEmpty())
        text += Text::tr("\n(画像 %1 を「%2」という名前でこのフォルダにコピーしました)").arg(applied.copiedFrom, QFileInfo(applied.picture).fileName());
    if (const std::optional<os::ColourRef> colour = readerColour(applied.colour))
        text += Text::tr("\n文字色: %1 = %2").arg(applied.colour, describeColour(*colour));
    // Where the reader is Windows elsewhere, this machine's own file manager shows nothing of it.
    text += applied.readerElsewhere
        ? Text::tr("\nWindows のファイルマネージャでこのフォルダを開くと (ネットワーク越しに、またはこのディスクや USB メモリを"
                   "つないで)、背景と文字色が表示されます。")
        : Text::tr("\nファイルマネージャでこのフォルダを次に開いたときに表示されます。");
    return text + applied.earlier;
}

QString unchangedText(const QString& folder)
{
    return Text::tr("フォルダ %1 には既にこの背景画像と文字色が設定されています。\ndesktop.ini を書き換える必要はありませんでした。")
        .arg(folder);
}

QString takeOffQuestion(const QString& folder, bool nothingLeft, bool readOnly)
{
    QString question = Text::tr("フォルダ %1 の背景画像と文字色の設定を外しますか?").arg(folder);
    if (readOnly)
        question += Text::tr("\ndesktop.ini は読み取り専用です。");
    return question + (nothingLeft ? Text::tr("\ndesktop.ini にはほかの設定がないため、desktop.ini を削除します。")
                                   : Text::tr("\ndesktop.ini のほかの設定はそのまま残します。"));
}

} // namespace tessaro
