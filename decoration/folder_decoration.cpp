#include "decoration/folder_decoration.h"

#include "decoration/ini_install.h"
#include "decoration/settings_file.h"
#include "platform/os/native_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tessaro {
namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::FolderDecoration)
};

QString colourText(const std::optional<QString>& colour)
{
    if (!colour)
        return Text::tr("指定なし");
    const std::optional<os::ColourRef> value = readerColour(*colour);
    if (!value)
        return Text::tr("%1 (読めません)").arg(*colour);
    return Text::tr("%1 (赤 %2、緑 %3、青 %4)").arg(*colour).arg(*value & 0xFF).arg((*value >> 8) & 0xFF).arg((*value >> 16) & 0xFF);
}

} // namespace

QString resolvePicture(const QString& folder, const QString& image)
{
    QString path = image;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (path.startsWith(QStringLiteral("//")) || drive.match(path).hasMatch()) {
        // On Windows a full path; elsewhere a place on another machine.
        return QDir::isAbsolutePath(path) ? QDir::toNativeSeparators(QDir::cleanPath(path)) : QString();
    }
    // The reader takes even a leading separator as relative to the folder.
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(folder) + QLatin1Char('/') + path));
}

std::optional<os::ColourRef> readerColour(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?)(0[xX][0-9A-Fa-f]+|0[0-7]*|[1-9][0-9]*)$"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString digits = match.captured(2);
    bool ok = false;
    long long value = digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? digits.mid(2).toLongLong(&ok, 16)
                    : digits.size() > 1 && digits.startsWith(QLatin1Char('0')) ? digits.mid(1).toLongLong(&ok, 8)
                                                                                : digits.toLongLong(&ok, 10);
    // wcstol stops at LONG_MAX; the reader's long is 32 bits.
    if (!ok || value > 0x7FFFFFFF)
        value = 0x7FFFFFFF;
    if (match.captured(1) == QLatin1String("-"))
        value = -value;
    return static_cast<os::ColourRef>(value) & 0xFFFFFF;
}

std::optional<FolderDecoration> readDecoration(const QString& folder)
{
    os::Entry entry;
    if (os::inspect(toPath(joinPath(folder, IniName)), true, IniLimit, entry) || entry.kind != os::Entry::Kind::RegularFile)
        return std::nullopt;
    const ini::Result<ini::Values> values = ini::read(entry.bytes, readerCodec());
    if (!values) {
        // Our values are there, in characters this machine cannot read for sure.
        if (values.refusal == ini::Refusal::UnreadableValue)
            return FolderDecoration{{}, {}, false, {}, false};
        return std::nullopt;
    }
    if (!values.value->image || values.value->image->empty())
        return std::nullopt;
    FolderDecoration decoration;
    decoration.image = QString::fromStdU16String(*values.value->image);
    decoration.picture = resolvePicture(folder, decoration.image);
    decoration.found = !decoration.picture.isEmpty() && QFileInfo(decoration.picture).isFile();
    if (values.value->text)
        decoration.colour = QString::fromStdU16String(*values.value->text);
    return decoration;
}

FolderMark folderMark(const QString& folder)
{
    const std::optional<FolderDecoration> decoration = readDecoration(folder);
    if (!decoration)
        return {};
    if (!decoration->readable)
        return {FolderMark::State::Broken, Text::tr("背景が設定されていますが、desktop.ini の背景画像と文字色をこのパソコンでは正確に読めません。"),
                Text::tr("背景を読めません")};
    const QString colour = Text::tr("文字色: %1").arg(colourText(decoration->colour));
    if (!decoration->found) {
        const QString where = decoration->picture.isEmpty() ? decoration->image : decoration->picture;
        return {FolderMark::State::Broken, Text::tr("背景画像が見つかりません: %1\n%2").arg(where, colour), Text::tr("背景画像が見つかりません")};
    }
    return {FolderMark::State::Decorated, Text::tr("背景画像: %1\n%2").arg(decoration->picture, colour), Text::tr("背景あり")};
}

} // namespace tessaro
