#include "decoration/ini_install.h"

#include "decoration/folder_decoration.h"
#include "decoration/settings_file.h"
#include "platform/os/native_path.h"
#include "platform/widgets/error_text.h"
#include "shell/mod_com.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace tessaro {
namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::ApplyCommand)
};

} // namespace

QString refusalText(ini::Refusal refusal, std::size_t line, const std::u16string& name)
{
    const QString where = line == 0 ? QString()
        : name.empty()              ? Text::tr("%1 行目").arg(line)
                                    : Text::tr("%1 行目 (%2)").arg(line).arg(QString::fromStdU16String(name));
    const QString at = where.isEmpty() ? QString() : Text::tr("\n場所: %1").arg(where);
    switch (refusal) {
    case ini::Refusal::Utf16OddLength: return Text::tr("UTF-16 のファイルが文字の途中で終わっています。");
    case ini::Refusal::Utf16BigEndian: return Text::tr("UTF-16 (ビッグエンディアン) で書かれています。");
    case ini::Refusal::Utf8Mark: return Text::tr("UTF-8 のバイト順マーク付きで書かれています。Windows はこの形式を正しく読みません。");
    case ini::Refusal::NulCharacter: return Text::tr("テキストファイルではありません (NUL 文字を含んでいます)。");
    case ini::Refusal::CarriageReturnInLine: return Text::tr("行の途中に CR (復帰) 文字があり、読み手によって行の区切りが変わります。") + at;
    case ini::Refusal::SplitCharacter: return Text::tr("行が 2 バイト文字の途中で終わっていて、読み手によって行の区切りが変わります。") + at;
    case ini::Refusal::AmbiguousName: return Text::tr("読み手によって背景の設定と読まれたり読まれなかったりする名前があります。") + at;
    case ini::Refusal::UnreadableValue: return Text::tr("背景の設定に、このパソコンでは正確に読めない文字があります。");
    case ini::Refusal::NotConvertible:
        return (where.isEmpty() ? Text::tr("この画像の名前を書き込むには desktop.ini 全体の文字の形式を変える必要がありますが、ほかの設定の文字を正確に移せません。")
                                : Text::tr("この画像の名前を書き込むには desktop.ini 全体の文字の形式を変える必要がありますが、%1 の文字を正確に移せません。").arg(where))
            + Text::tr("\n画像のファイル名を半角の英数字だけにすれば、desktop.ini の形式を変えずに書き込めます。");
    case ini::Refusal::ValueHasLineBreak: return Text::tr("画像のパスに改行が含まれています。");
    }
    return {};
}

StagingFolder::StagingFolder(std::unique_ptr<QTemporaryDir> folder)
    : m_folder(std::move(folder))
    , m_hold(std::make_unique<os::FolderHold>(toPath(m_folder->path())))
{
}

StagingFolder::~StagingFolder()
{
    m_hold.reset();
}

QString StagingFolder::path() const
{
    return m_folder->path();
}

bool StagingFolder::held() const
{
    return m_hold->held() && QFileInfo(path()).isDir();
}

namespace {

// The staging folders' names, six letters or digits after it.
const QString StagingPrefix = QStringLiteral("tessaro-");

QStringList stagingBases(const QString& base)
{
    return base.isEmpty() ? QStringList{QDir::tempPath(), QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)}
                          : QStringList{base};
}

} // namespace

std::unique_ptr<StagingFolder> stagingFolder(const QString& base)
{
    for (const QString& folder : stagingBases(base)) {
        if (folder.isEmpty() || !QDir().mkpath(folder))
            continue;
        // Taken for a leftover by another run's start before it was held, it is gone: another.
        for (int attempt = 0; attempt < 3; ++attempt) {
            auto staging = std::make_unique<QTemporaryDir>(folder + QLatin1Char('/') + StagingPrefix + QStringLiteral("XXXXXX"));
            if (!staging->isValid())
                break;
            auto held = std::make_unique<StagingFolder>(std::move(staging));
            if (held->held())
                return held;
        }
    }
    return nullptr;
}

void removeStaleStaging(const QString& base)
{
    for (const QString& folder : stagingBases(base)) {
        if (!folder.isEmpty())
            os::removeStaleFolders(toPath(folder), StagingPrefix.toStdString());
    }
}

bool namesPicture(const QString& folder, const QString& name)
{
    os::Entry ini;
    if (os::inspect(toPath(joinPath(folder, IniName)), true, IniLimit, ini))
        return true;
    if (ini.kind != os::Entry::Kind::RegularFile)
        return false;
    const ini::Result<ini::Values> values = ini::read(ini.bytes, readerCodec());
    if (!values)
        return values.refusal == ini::Refusal::UnreadableValue;
    if (!values.value->image)
        return false;
    const QString named = QDir::fromNativeSeparators(placePicture(folder, QString::fromStdU16String(*values.value->image)).path);
    const QString file = QDir::cleanPath(QDir::fromNativeSeparators(joinPath(folder, name)));
    // Windows opens a name whatever its case.
    return !named.isEmpty() && named.compare(file, Qt::CaseInsensitive) == 0;
}

void removeLeftovers(const QString& folder)
{
    os::removeLeftovers(toPath(folder), [&folder](const os::Path& name) { return namesPicture(folder, toQString(name)); });
}

IniInstalled installIni(const QString& staged, const QByteArray& bytes, const QString& target, const os::Entry& existing,
                        QWidget* window, UserDialogs& dialogs, const std::function<void(const QString&)>& fail)
{
    if (const auto error = os::writeNewFile(toPath(staged), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
        fail(Text::tr("作業用の一時ファイルを書き込めません。\n%1").arg(describeError(error)));
        return {};
    }
    // The user has answered for what was there; what differs from it now is asked about again.
    const auto agreed = [&existing](const QString& found) {
        os::Entry now;
        return !os::inspect(toPath(found), true, IniLimit, now) && now == existing;
    };
    const bool answered = existing.kind != os::Entry::Kind::Absent;
    const os::CopyOutcome copied = Mod_Com::CopyToFolder(staged, target, window, dialogs, answered ? Mod_Com::AlreadyAgreed(agreed) : nullptr,
                                                         os::markHiddenSystem);
    if (copied.examined) {
        if (!copied.placed && copied.error)
            fail(Text::tr("desktop.ini をコピーできません。\n%1").arg(describeError(copied.error)));
        if (!copied.placed)
            return {};
        if (copied.error)
            return {true, Text::tr("desktop.ini がディスクに書き込まれたことを確かめられません。\n%1").arg(describeError(copied.error))};
        return {true, {}};
    }
    // The shell's copy may have been declined or cancelled in its own dialog: read back.
    const QString ini = joinPath(target, IniName);
    os::Entry installed;
    if (const auto error = os::inspect(toPath(ini), true, IniLimit, installed)) {
        fail(Text::tr("desktop.ini をコピーできたかどうか確かめられません。\n%1").arg(describeError(error)));
        return {};
    }
    if (installed != os::Entry{os::Entry::Kind::RegularFile, bytes.toStdString()})
        return {};
    if (const auto error = os::markHiddenSystem(toPath(ini)))
        return {true, Text::tr("desktop.ini に属性 (隠しファイル、システム) を付けられませんでした。\n%1").arg(describeError(error))};
    return {true, {}};
}

} // namespace tessaro
