#include "decoration/apply_command.h"

#include "decoration/command_texts.h"
#include "decoration/folder_decoration.h"
#include "decoration/ini_install.h"
#include "decoration/picture_reference.h"
#include "platform/os/native_path.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/shown_name.h"
#include "platform/widgets/user_dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace tessaro {
namespace {

// Tried before giving up on a free name for the copied picture.
constexpr int NameAttempts = 1000;

// A path as a message shows it.
QString native(const QString& path)
{
    return shownName(QDir::toNativeSeparators(path));
}

// A name in `folder`: free, taken by a file with the source's bytes (named `actual`, which may
// differ in case), or taken otherwise. A name that differs only in case is taken: Windows
// does not tell such names apart.
enum class NameState { Free, SameFile, Taken };

std::error_code stateOf(const QString& folder, const QString& name, const QString& source, NameState& state, QString& actual)
{
    state = NameState::Free;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        bool same = false;
        if (const auto error = os::sameContents(toPath(joinPath(folder, entry)), toPath(source), same))
            return error;
        state = same ? NameState::SameFile : NameState::Taken;
        actual = entry;
        if (same)
            return {};
    }
    return {};
}

// The first name for a copy of `source` that is free or already holds it.
std::error_code firstUsable(const QString& folder, const QString& preferred, const QString& source, int from, int& n,
                            NameState& state, QString& name)
{
    for (n = from; n <= NameAttempts; ++n) {
        name = numberedName(preferred, n);
        QString actual;
        if (auto error = stateOf(folder, name, source, state, actual))
            return error;
        if (state == NameState::SameFile)
            name = actual;
        if (state != NameState::Taken)
            return {};
    }
    return std::make_error_code(std::errc::file_exists);
}

} // namespace

// A picture copied into the folder for this run, taken back unless the decoration that names
// it is installed: a declined or failed apply leaves the folder as it was.
class ApplyCommand::CopiedPicture {
public:
    CopiedPicture() = default;
    CopiedPicture(QString copy, QString source) : m_copy(std::move(copy)), m_source(std::move(source)) {}
    CopiedPicture& operator=(CopiedPicture&& other) noexcept
    {
        std::swap(m_copy, other.m_copy);
        std::swap(m_source, other.m_source);
        return *this;
    }
    CopiedPicture(const CopiedPicture&) = delete;
    ~CopiedPicture()
    {
        // Only while it is still the copy: whatever has taken its place is not ours.
        bool same = false;
        if (!m_copy.isEmpty() && !os::sameContents(toPath(m_copy), toPath(m_source), same) && same) {
            std::error_code ignored;
            std::filesystem::remove(toPath(m_copy), ignored);
        }
    }
    // Whether a copy was made in this run.
    bool made() const { return !m_copy.isEmpty(); }
    void keep() { m_copy.clear(); }

private:
    QString m_copy, m_source;
};

ApplyCommand::ApplyCommand(UserDialogs& dialogs, QWidget* window, QString stagingBase)
    : m_dialogs(dialogs)
    , m_window(window)
    , m_stagingBase(std::move(stagingBase))
{
}

bool ApplyCommand::run(const DecorationChoice& choice, const QString& targetFolder)
{
    m_target = targetFolder;
    if (const std::optional<QString> problem = checkChoice(choice)) {
        m_dialogs.warn(m_window, title(), *problem);
        return false;
    }
    if (!targetIsFolder())
        return false;
    const QString colour = colourValue(choice);
    const std::optional<Picture> picture = planPicture(choice);
    if (!picture)
        return false;
    const std::optional<os::Entry> existing = lookAtExisting(*picture, colour);
    if (!existing)
        return false;
    if (alreadyThere(*picture, colour, *existing))
        return keepAsItIs();
    if (!askFirst(*picture, *existing))
        return false;
    return install(*picture, colour, *existing);
}

// The folder's desktop.ini already says exactly what apply would write, and names a picture
// that is there: nothing to ask, nothing to copy or write.
bool ApplyCommand::alreadyThere(const Picture& picture, const QString& colour, const os::Entry& existing)
{
    if (picture.copy || existing.kind != os::Entry::Kind::RegularFile)
        return false;
    const std::optional<QByteArray> bytes = settingsFor(picture.value, colour, existing);
    return bytes && bytes->toStdString() == existing.bytes;
}

// Only the attributes are made sure of, which marking leaves as they are when they are set.
bool ApplyCommand::keepAsItIs()
{
    if (!mark())
        return false;
    m_dialogs.inform(m_window, title(), unchangedText(native(m_target)));
    return true;
}

bool ApplyCommand::targetIsFolder()
{
    const QFileInfo target(m_target);
    if (target.isDir())
        return true;
    fail(describeError(std::make_error_code(target.exists() ? std::errc::not_a_directory : std::errc::no_such_file_or_directory)));
    return false;
}

std::optional<ApplyCommand::Picture> ApplyCommand::planPicture(const DecorationChoice& choice)
{
    const QString source = picturePath(choice);
    Picture picture{source, source, native(source), false, true, {}};
    if (!os::readerMayBeElsewhere(toPath(m_target)))
        return picture;

    std::optional<QStringList> inside;
    if (const auto error = pathInside(source, m_target, inside)) {
        fail(tr("画像ファイル %1 を確かめられません。\n%2").arg(native(source), describeError(error)));
        return std::nullopt;
    }
    if (inside && std::all_of(inside->begin(), inside->end(), windowsCanOpen)) {
        // The reader joins it to the folder as Windows does, with backslashes.
        picture.value = inside->join(QLatin1Char('\\'));
        picture.shown = native(QDir(m_target).filePath(inside->join(QLatin1Char('/'))));
        return picture;
    }
    picture.outside = !inside;
    picture.preferred = windowsName(choice.pictureName);
    int n = 0;
    NameState state = NameState::Free;
    if (const auto error = firstUsable(m_target, picture.preferred, source, 1, n, state, picture.value)) {
        fail(describeError(error));
        return std::nullopt;
    }
    // A copy made before, byte for byte the same, is used as it is.
    picture.copy = state == NameState::Free;
    picture.shown = native(joinPath(m_target, picture.value));
    return picture;
}

std::optional<os::Entry> ApplyCommand::lookAtExisting(const Picture& picture, const QString& colour)
{
    os::Entry existing;
    if (const auto error = os::inspect(toPath(joinPath(m_target, IniName)), true, IniLimit, existing)) {
        fail(tr("既にある desktop.ini を読めません。\n%1").arg(describeError(error)));
        return std::nullopt;
    }
    if (existing.kind == os::Entry::Kind::Folder) {
        fail(describeError(std::make_error_code(std::errc::is_a_directory)));
        return std::nullopt;
    }
    // Refused now rather than after the user has answered.
    if (!settingsFor(picture.value, colour, existing))
        return std::nullopt;
    return existing;
}

bool ApplyCommand::askFirst(const Picture& picture, const os::Entry& existing)
{
    using Kind = os::Entry::Kind;
    if (picture.copy) {
        const QString why = picture.outside ? tr("画像ファイル %1 はフォルダ %2 の外にあります。").arg(native(picture.source), native(m_target))
                                            : tr("画像ファイル %1 のパスには、Windows で開けない名前が含まれています。").arg(native(picture.source));
        const QString question = why
            + tr("\nほかのパソコンからこのフォルダを開いたときにも背景が表示されるよう、画像を「%1」としてこのフォルダにコピーしますか?\n"
                 "「いいえ」を選ぶと、何も変更しません。").arg(picture.value);
        if (!m_dialogs.ask(m_window, title(), question, UserDialogs::Default::Yes)) {
            m_dialogs.inform(m_window, title(), tr("何も変更しませんでした。\n背景画像がフォルダ %1 の中にないと、ほかのパソコンからこのフォルダを開いたときに画像を読み込めません。")
                                           .arg(native(m_target)));
            return false;
        }
    }
    if (existing.kind == Kind::RegularFile) {
        bool readOnly = false;
        const bool known = !os::readOnly(toPath(joinPath(m_target, IniName)), readOnly);
        return askAboutExisting(tr("フォルダ %1 には既に desktop.ini があります。%2\nほかの設定はそのまま残し、背景画像と文字色だけを書き換えます。よろしいですか?")
                                    .arg(native(m_target), known && readOnly ? tr("\ndesktop.ini は読み取り専用です。") : QString()),
                                earlierPicture(picture, existing));
    }
    if (existing.kind == Kind::Other)
        return m_dialogs.ask(m_window, title(), tr("フォルダ %1 の desktop.ini はふつうのファイルではありません (リンクなど)。\n新しい desktop.ini に置き換えますか? リンク先は変更しません。")
                                           .arg(native(m_target)));
    return true;
}

// The picture the decoration names now, when apply replaces it, it lies inside the folder and
// nothing else in desktop.ini names it: most likely copied there by an apply before, and left
// behind by this one unless the user asks for it to go.
QString ApplyCommand::earlierPicture(const Picture& picture, const os::Entry& existing) const
{
    const ini::Result<ini::Values> values = ini::read(existing.bytes, readerCodec());
    if (!values || !values.value->image || values.value->image->empty())
        return {};
    const QString earlier = placePicture(m_target, QString::fromStdU16String(*values.value->image)).path;
    std::optional<QStringList> inside;
    os::Entry entry;
    if (earlier.isEmpty() || pathInside(earlier, m_target, inside) || !inside || inside->isEmpty()
        || os::inspect(toPath(earlier), false, 0, entry) || entry.kind != os::Entry::Kind::RegularFile)
        return {};
    const QString now = picture.copy ? joinPath(m_target, picture.value) : picture.source;
    if (QFileInfo(earlier).canonicalFilePath() == QFileInfo(now).canonicalFilePath())
        return {};
    // Named once, by our own key; a text that cannot be read whole may name it anywhere.
    const std::optional<std::u16string> text = ini::decodeFile(existing.bytes, readerCodec());
    if (!text || QString::fromStdU16String(*text).count(QFileInfo(earlier).fileName(), Qt::CaseInsensitive) != 1)
        return {};
    return earlier;
}

bool ApplyCommand::askAboutExisting(const QString& question, const QString& earlier)
{
    m_earlier = earlier;
    m_deleteEarlier = false;
    if (earlier.isEmpty())
        return m_dialogs.ask(m_window, title(), question);
    return m_dialogs.askWithCheck(m_window, title(), question, tr("以前の背景画像 %1 を削除する").arg(QFileInfo(earlier).fileName()), m_deleteEarlier);
}

// Once the new decoration is in place: what became of the earlier picture, for the message.
QString ApplyCommand::removeEarlier()
{
    if (!m_deleteEarlier || m_earlier.isEmpty())
        return {};
    std::error_code error;
    std::filesystem::remove(toPath(m_earlier), error);
    if (!error)
        return tr("\n以前の背景画像 %1 を削除しました。").arg(native(m_earlier));
    return tr("\n以前の背景画像 %1 は削除できませんでした。\n%2").arg(native(m_earlier), describeError(error));
}

bool ApplyCommand::install(Picture picture, const QString& colour, const os::Entry& existing)
{
    const std::unique_ptr<QTemporaryDir> staging = stagingFolder(m_stagingBase);
    if (!staging) {
        fail(tr("作業用の一時フォルダを作れません。"));
        return false;
    }
    CopiedPicture copied;
    if (picture.copy) {
        const std::optional<QString> name = copyPicture(picture, copied);
        if (!name)
            return false;
        picture.value = *name;
        picture.shown = native(joinPath(m_target, *name));
    }
    const std::optional<QByteArray> bytes = settingsFor(picture.value, colour, existing);
    if (!bytes || !installIni(joinPath(QDir::toNativeSeparators(staging->path()), IniName), *bytes, m_target, existing, m_window, m_dialogs,
                              [this](const QString& reason) { fail(reason); }))
        return false;
    const QString copiedFrom = copied.made() ? native(picture.source) : QString();
    copied.keep();
    if (!mark())
        return false;
    const QString earlier = removeEarlier();
    os::notifyFolderChanged(toPath(m_target));
    m_dialogs.inform(m_window, title(), appliedText({native(m_target), picture.shown, copiedFrom, colour, os::readerMayBeElsewhere(toPath(m_target)), earlier}));
    return true;
}

std::optional<QString> ApplyCommand::copyPicture(const Picture& picture, CopiedPicture& copied)
{
    std::error_code error;
    for (int from = 1; !error;) {
        int n = 0;
        NameState state = NameState::Free;
        QString name;
        if ((error = firstUsable(m_target, picture.preferred, picture.source, from, n, state, name)))
            break;
        if (state == NameState::SameFile)
            return name;
        error = os::copyAsNew(toPath(picture.source), toPath(m_target), toPath(name));
        if (!error) {
            copied = CopiedPicture(joinPath(m_target, name), picture.source);
            return name;
        }
        // Taken since it was looked at: the next name.
        if (os::errorKind(error) == os::ErrorKind::NameTaken)
            error.clear();
        from = n + 1;
    }
    fail(tr("画像ファイル %1 をフォルダにコピーできません。\n%2").arg(native(picture.source), describeError(error)));
    return std::nullopt;
}

std::optional<QByteArray> ApplyCommand::settingsFor(const QString& image, const QString& colour, const os::Entry& existing)
{
    const ini::Codec codec = readerCodec();
    const ini::Result<ini::File> file = existing.kind == os::Entry::Kind::RegularFile
        ? ini::merge(existing.bytes, image.toStdU16String(), colour.toStdU16String(), codec)
        : ini::compose(image.toStdU16String(), colour.toStdU16String(), codec);
    if (!file) {
        fail(existing.kind == os::Entry::Kind::RegularFile
                 ? tr("既にある desktop.ini を、ほかの設定を確実に残したまま書き換えることができないため、変更しませんでした。\n%1")
                       .arg(refusalText(file))
                 : refusalText(file));
        return std::nullopt;
    }
    return QByteArray::fromStdString(file.value->bytes);
}

bool ApplyCommand::mark()
{
    // Both are tried: the folder's mark is what makes the shell look for desktop.ini at all.
    const std::error_code file = os::markHiddenSystem(toPath(joinPath(m_target, IniName)));
    const std::error_code folder = os::markSystem(toPath(m_target));
    if (!file && !folder)
        return true;
    m_dialogs.warn(m_window, title(), tr("フォルダ %1 に desktop.ini を書き込みましたが、属性を付けられませんでした。\n%2\nこのままでは Windows はこのフォルダの背景を表示しません。")
                                   .arg(native(m_target), describeError(folder ? folder : file)));
    return false;
}

void ApplyCommand::fail(const QString& reason)
{
    m_dialogs.warn(m_window, title(), tr("フォルダ %1 に背景を設定できませんでした。\n%2").arg(native(m_target), reason));
}

} // namespace tessaro
