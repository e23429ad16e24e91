#include "decoration/take_off_command.h"

#include "decoration/command_texts.h"
#include "decoration/folder_decoration.h"
#include "decoration/ini_install.h"
#include "decoration/picture_reference.h"
#include "decoration/settings_file.h"
#include "platform/os/native_path.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/shown_name.h"
#include "platform/widgets/user_dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <filesystem>

namespace tessaro {
namespace {

// A path as a message shows it.
QString native(const QString& path)
{
    return shownName(QDir::toNativeSeparators(path));
}

// The picture the decoration names when it lies inside `folder` (links resolved on both
// sides) and is a file: the one the user may want gone with it, most likely copied there by
// apply. Empty otherwise.
QString pictureInside(const QString& folder, const os::Entry& ini)
{
    const ini::Result<ini::Values> values = ini::read(ini.bytes, readerCodec());
    if (!values || !values.value->image)
        return {};
    const QString picture = placePicture(folder, QString::fromStdU16String(*values.value->image)).path;
    std::optional<QStringList> inside;
    if (picture.isEmpty() || pathInside(picture, folder, inside) || !inside || inside->isEmpty())
        return {};
    os::Entry entry;
    if (os::inspect(toPath(picture), false, 0, entry) || entry.kind != os::Entry::Kind::RegularFile)
        return {};
    return picture;
}

} // namespace

TakeOffCommand::TakeOffCommand(UserDialogs& dialogs, QWidget* window, QString stagingBase)
    : m_dialogs(dialogs)
    , m_window(window)
    , m_stagingBase(std::move(stagingBase))
{
}

bool TakeOffCommand::run(const QString& folder)
{
    m_folder = folder;
    const std::optional<Plan> planned = plan();
    if (!planned)
        return false;
    bool deletePicture = false;
    bool readOnly = false;
    const bool known = planned->existing.kind == os::Entry::Kind::RegularFile && !os::readOnly(toPath(joinPath(m_folder, IniName)), readOnly);
    const QString question = takeOffQuestion(native(m_folder), planned->nothingLeft, known && readOnly);
    const bool yes = planned->picture.isEmpty()
        ? m_dialogs.ask(m_window, title(), question)
        : m_dialogs.askWithCheck(m_window, title(), question,
                                 tr("フォルダ内の背景画像 %1 も削除する").arg(QFileInfo(planned->picture).fileName()),
                                 deletePicture);
    if (!yes || !write(*planned))
        return false;
    const QString pictureNote = deletePicture ? removePicture(planned->picture) : QString();
    os::notifyFolderChanged(toPath(m_folder));
    m_dialogs.inform(m_window, title(), tr("フォルダ %1 の背景画像と文字色の設定を外しました。%2\nファイルマネージャでこのフォルダを次に開いたときに反映されます。")
                                   .arg(native(m_folder), pictureNote));
    return true;
}

std::optional<TakeOffCommand::Plan> TakeOffCommand::plan()
{
    if (!QFileInfo(m_folder).isDir()) {
        fail(describeError(std::make_error_code(std::errc::no_such_file_or_directory)));
        return std::nullopt;
    }
    Plan plan;
    if (const auto error = os::inspect(toPath(joinPath(m_folder, IniName)), true, IniLimit, plan.existing)) {
        fail(tr("desktop.ini を読めません。\n%1").arg(describeError(error)));
        return std::nullopt;
    }
    if (plan.existing.kind == os::Entry::Kind::Folder || plan.existing.kind == os::Entry::Kind::Other) {
        fail(tr("desktop.ini がふつうのファイルではありません (フォルダやリンクなど)。"));
        return std::nullopt;
    }
    const ini::Result<ini::Removal> removal = plan.existing.kind == os::Entry::Kind::RegularFile
        ? ini::remove(plan.existing.bytes, readerCodec())
        : ini::Result<ini::Removal>{ini::Removal{{plan.existing.bytes, ini::Encoding::Ansi}, false}, {}};
    if (!removal) {
        fail(tr("desktop.ini を、ほかの設定を確実に残したまま書き換えることができないため、変更しませんでした。\n%1")
                 .arg(refusalText(removal)));
        return std::nullopt;
    }
    if (plan.existing.kind == os::Entry::Kind::Absent || removal.value->file.bytes == plan.existing.bytes) {
        m_dialogs.inform(m_window, title(), tr("フォルダ %1 には背景画像と文字色が設定されていません。").arg(native(m_folder)));
        return std::nullopt;
    }
    plan.bytes = removal.value->file.bytes;
    plan.nothingLeft = removal.value->nothingLeft;
    plan.picture = pictureInside(m_folder, plan.existing);
    return plan;
}

bool TakeOffCommand::write(const Plan& plan)
{
    if (plan.nothingLeft)
        return removeIni(plan.existing);
    const std::unique_ptr<QTemporaryDir> staging = stagingFolder(m_stagingBase);
    if (!staging) {
        fail(tr("作業用の一時フォルダを作れません。"));
        return false;
    }
    const QByteArray bytes = QByteArray::fromStdString(plan.bytes);
    if (!installIni(joinPath(QDir::toNativeSeparators(staging->path()), IniName), bytes, m_folder, plan.existing, m_window, m_dialogs,
                    [this](const QString& reason) { fail(reason); }))
        return false;
    // The new file takes the old one's place, and the file manager keeps it Hidden and System.
    if (const auto error = os::markHiddenSystem(toPath(joinPath(m_folder, IniName))))
        m_dialogs.warn(m_window, title(), tr("フォルダ %1 の desktop.ini に属性を付けられませんでした。\n%2").arg(native(m_folder), describeError(error)));
    return true;
}

bool TakeOffCommand::removeIni(const os::Entry& existing)
{
    const QString ini = joinPath(m_folder, IniName);
    // Only the file the user was asked about: one that changed since is not ours to delete.
    os::Entry now;
    if (const auto error = os::inspect(toPath(ini), true, IniLimit, now)) {
        fail(describeError(error));
        return false;
    }
    if (now != existing) {
        fail(tr("確認のあとで desktop.ini が変更されたため、変更しませんでした。"));
        return false;
    }
    std::error_code error;
    std::filesystem::remove(toPath(ini), error);
    if (error) {
        fail(tr("desktop.ini を削除できません。\n%1").arg(describeError(error)));
        return false;
    }
    return true;
}

// What became of the picture, for the message.
QString TakeOffCommand::removePicture(const QString& picture)
{
    std::error_code error;
    std::filesystem::remove(toPath(picture), error);
    if (!error)
        return tr("\n背景画像 %1 を削除しました。").arg(native(picture));
    return tr("\n背景画像 %1 は削除できませんでした。\n%2").arg(native(picture), describeError(error));
}

void TakeOffCommand::fail(const QString& reason)
{
    m_dialogs.warn(m_window, title(), tr("フォルダ %1 の背景画像と文字色の設定を外せませんでした。\n%2").arg(native(m_folder), reason));
}

} // namespace tessaro
