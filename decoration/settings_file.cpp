#include "decoration/settings_file.h"

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace tessaro {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::settings)
};

QString colourTextOf(const DecorationChoice& choice)
{
    return choice.colourText.trimmed();
}

} // namespace

QString picturePath(const DecorationChoice& choice)
{
    return joinPath(choice.pictureFolder, choice.pictureName);
}

std::optional<QString> checkChoice(const DecorationChoice& choice)
{
    if (choice.pictureName.isEmpty())
        return Text::tr("背景にする画像ファイルを選んでください。");
    if (!choice.pictureNameExact)
        return Text::tr("画像ファイルの名前をこのシステムの文字コードで表せません。\n%1").arg(picturePath(choice));
    // The shell reads the value to the end of its line: a line break in a file name would
    // add lines of its own to the file.
    if (picturePath(choice).contains(QLatin1Char('\r')) || picturePath(choice).contains(QLatin1Char('\n')))
        return Text::tr("画像ファイルのパスに改行が含まれているため使えません。\n%1").arg(picturePath(choice));
    // The preview's reason, in the preview's words: a picture Tessaro cannot show, the shell cannot either.
    if (!choice.pictureProblem.isEmpty())
        return Text::tr("画像を表示できません。\n%1\n%2").arg(picturePath(choice), choice.pictureProblem);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    if (!hex.match(colourTextOf(choice)).hasMatch())
        return Text::tr("文字色は 1～8 桁の16進数で指定してください。\n%1\n"
                        "順番は青・緑・赤 (0x00BBGGRR) です。例: 赤は FF、緑は FF00、青は FF0000")
            .arg(choice.colourText);
    return std::nullopt;
}

QString colourValue(const DecorationChoice& choice)
{
    return QStringLiteral("0x") + (QStringLiteral("00000000") + colourTextOf(choice)).right(8);
}

} // namespace tessaro
