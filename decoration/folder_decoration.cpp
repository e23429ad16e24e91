#include "decoration/folder_decoration.h"

#include "decoration/command_texts.h"
#include "decoration/ini_install.h"
#include "decoration/picture_reference.h"
#include "decoration/settings_file.h"
#include "platform/os/native_path.h"
#include "platform/widgets/shown_name.h"
#include "platform/widgets/volume_service.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace tessaro {
namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::FolderDecoration)
};

QString colourText(const std::optional<QString>& colour)
{
    if (!colour)
        return Text::tr("指定なし");
    const QString shown = shownName(*colour);
    const std::optional<os::ColourRef> value = readerColour(*colour);
    if (!value)
        return Text::tr("%1 (読めません)").arg(shown);
    return Text::tr("%1 = %2").arg(shown, describeColour(*value));
}

// A name as Windows opens it: the last of a path loses its trailing dots and spaces, another
// one trailing dot.
QString win32Name(QString name, bool last)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return name;
    if (!last)
        return name.endsWith(QLatin1Char('.')) ? name.chopped(1) : name;
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name;
}

// `name` in `folder` as a file system that ignores case finds it: the name itself when it is
// there, else the first entry that differs from it in case alone.
QString lookUp(const QString& folder, const QString& name)
{
    if (name.isEmpty() || QFileInfo::exists(folder + QLatin1Char('/') + name))
        return name;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return name;
}

// Whether `path` lies at `root` or below it, both clean and with slashes.
bool within(const QString& path, const QString& root)
{
    return path == root || path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

} // namespace

PicturePlace placePicture(const QString& folder, const QString& image)
{
    QString path = image;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // \\.\ and \\?\ name devices and the system's own namespace.
    if (path.startsWith(QLatin1String("//./")) || path.startsWith(QLatin1String("//?/")))
        return {{}, Text::tr("背景画像のパスがデバイスを指しています: %1").arg(shownName(image))};
    QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < names.size(); ++i)
        names[i] = win32Name(names[i], i + 1 == names.size());
    if (!names.isEmpty() && deviceName(names.back()))
        return {{}, Text::tr("背景画像のパスがデバイス (%1) を指しています。").arg(shownName(names.back()))};

    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (path.startsWith(QStringLiteral("//")) || drive.match(path).hasMatch()) {
        // On Windows a full path; elsewhere a place on another machine.
        return {QDir::isAbsolutePath(path) ? QDir::toNativeSeparators(QDir::cleanPath(path)) : QString(), {}};
    }
    // The reader takes even a leading separator as relative to the folder, and its ".." stops
    // at the root of the drive it reads: a path that would climb higher is not the one here.
    const QString base = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    QString root = QDir::cleanPath(QDir::fromNativeSeparators(toQString(volumeService().rootOf(toPath(folder)))));
    if (!within(base, root))
        root = base;
    QStringList at = base.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    qsizetype own = at.size(); // the folder's own names, still on the way
    for (const QString& name : std::as_const(names)) {
        if (name == QLatin1String("..")) {
            if (at.isEmpty())
                return {{}, Text::tr("背景画像のパスが、フォルダのあるドライブの外を指しています: %1").arg(shownName(image))};
            at.removeLast();
            own = std::min(own, at.size());
        } else if (!name.isEmpty() && name != QLatin1String(".")) {
            at.append(name);
        }
    }
    // The folder's own names are as they are; below, each is found as Windows finds it.
    QString found = root;
    for (qsizetype i = 0; i < at.size(); ++i)
        found = QDir::cleanPath(found + QLatin1Char('/') + (i < own ? at[i] : lookUp(found, at[i])));
    return {QDir::toNativeSeparators(found), {}};
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
    decoration.place = placePicture(folder, decoration.image);
    decoration.found = !decoration.place.path.isEmpty() && QFileInfo(decoration.place.path).isFile();
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
    const PicturePlace& place = decoration->place;
    if (!place.problem.isEmpty())
        return {FolderMark::State::Broken, place.problem + QLatin1Char('\n') + colour, Text::tr("背景画像が見つかりません")};
    // The nearest folder that is there on the way to the picture: what changes when it comes or goes.
    QString watch;
    for (QFileInfo at(place.path); !place.path.isEmpty() && watch.isEmpty() && !at.filePath().isEmpty(); at = QFileInfo(at.path())) {
        if (at.path() == at.filePath())
            break;
        if (QFileInfo(at.path()).isDir())
            watch = QDir::toNativeSeparators(at.path());
    }
    if (!decoration->found) {
        const QString where = place.path.isEmpty() ? decoration->image : place.path;
        return {FolderMark::State::Broken, Text::tr("背景画像が見つかりません: %1\n%2").arg(shownName(where), colour), Text::tr("背景画像が見つかりません"), watch};
    }
    return {FolderMark::State::Decorated, Text::tr("背景画像: %1\n%2").arg(shownName(place.path), colour), Text::tr("背景あり"), watch};
}

} // namespace tessaro
