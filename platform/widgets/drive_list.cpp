#include "platform/widgets/drive_list.h"

#include "platform/os/native_path.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/folder_reading.h"
#include "platform/widgets/user_dialogs.h"
#include "platform/widgets/volume_service.h"

#include <QDir>

#include <algorithm>

namespace tessaro {

struct DriveList::Drive {
    enum class State { Unknown, Ready, NotReady, Unanswered };

    os::Path root;
    std::u16string label;
    State state = State::Unknown;
    VolumeTask check;
};

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// "c:" or "C:\": a drive letter as the user writes it.
bool isDriveString(const QString& text)
{
    return (text.size() == 2 || (text.size() == 3 && text[2] == QLatin1Char('\\'))) && isAsciiLetter(text[0])
        && text[1] == QLatin1Char(':');
}

} // namespace

// "c: [System]" as Windows lists its drives; a mount point with its label elsewhere.
QString DriveList::nameOf(const Drive& drive)
{
    QString text = toQString(drive.root);
    if (isDriveString(text))
        text = text.left(2).toLower();
    if (!drive.label.empty())
        text += QStringLiteral(" [%1]").arg(QString::fromStdU16String(drive.label));
    return text;
}

DriveList::DriveList(UserDialogs& dialogs, QWidget* parent)
    : QComboBox(parent)
    , m_dialogs(dialogs)
    , m_volumes(volumeService())
{
    // The others are listed when the list opens: until then nobody looks at them.
    list({m_volumes.rootOf(toPath(QDir::currentPath()))});
    m_current = 0;
    setCurrentIndex(m_current);
    check(*m_drives.front());
    connect(this, &QComboBox::activated, this, &DriveList::userActivated);
}

DriveList::~DriveList() = default;

QString DriveList::drive() const
{
    if (m_current < 0)
        return {};
    return toQString(m_drives[static_cast<std::size_t>(m_current)]->root);
}

QString DriveList::driveOf(const QString& path)
{
    return toQString(volumeService().rootOf(toPath(QDir(path).absolutePath())));
}

bool DriveList::setDrive(const QString& drive)
{
    QString root = drive;
    if (isDriveString(drive)) {
        root = drive[0].toLower() == QLatin1Char('c') ? toQString(m_volumes.systemRoot())
                                                     : drive.left(2).toUpper() + QLatin1Char('\\');
    }
    int index = indexOfRoot(toPath(root));
    if (index < 0) {
        list(m_volumes.roots());
        index = indexOfRoot(toPath(root));
    }
    if (index < 0)
        return false;
    const Drive::State state = m_drives[static_cast<std::size_t>(index)]->state;
    if (state == Drive::State::NotReady || state == Drive::State::Unanswered)
        return false;
    return select(index);
}

void DriveList::showPopup()
{
    // A USB stick, a network share: ask each drive again whether it is ready.
    list(m_volumes.roots());
    for (const auto& drive : m_drives)
        check(*drive);
    QComboBox::showPopup();
}

// Lists `roots`, keeping what is known of the drives listed before.
void DriveList::list(const std::vector<os::Path>& roots)
{
    const os::Path current = m_current >= 0 ? m_drives[static_cast<std::size_t>(m_current)]->root : os::Path();
    std::vector<std::unique_ptr<Drive>> listed;
    for (const os::Path& root : roots) {
        const auto known = std::find_if(m_drives.begin(), m_drives.end(), [&](const auto& d) { return d && d->root == root; });
        if (known != m_drives.end()) {
            listed.push_back(std::move(*known));
        } else {
            listed.push_back(std::make_unique<Drive>());
            listed.back()->root = root;
        }
    }
    m_drives = std::move(listed);

    const QSignalBlocker blocker(this);
    clear();
    for (const auto& drive : m_drives) {
        addItem(QString());
        show(*drive);
    }
    m_current = indexOfRoot(current);
    setCurrentIndex(m_current);
}

void DriveList::check(Drive& drive)
{
    if (drive.check.busy())
        return;
    auto answer = std::make_shared<VolumeCheck>();
    drive.check.start(
        [answer, root = drive.root, &volumes = m_volumes](VolumeTask::Control&) { *answer = volumes.check(root); },
        [this, &drive, answer] {
            drive.state = answer->ready ? Drive::State::Ready : Drive::State::NotReady;
            drive.label = answer->label;
            show(drive);
        },
        [this, &drive] {
            drive.state = Drive::State::Unanswered;
            show(drive);
        },
        VolumeTask::Wait::Never);
}

void DriveList::show(const Drive& drive)
{
    const QString name = nameOf(drive);
    setItemText(indexOf(drive), drive.state == Drive::State::Unanswered ? tr("%1 (応答がありません)").arg(name) : name);
}

int DriveList::indexOf(const Drive& drive) const
{
    const auto it = std::find_if(m_drives.begin(), m_drives.end(), [&](const auto& d) { return d.get() == &drive; });
    return it == m_drives.end() ? -1 : static_cast<int>(it - m_drives.begin());
}

int DriveList::indexOfRoot(const os::Path& root) const
{
    const auto it = std::find_if(m_drives.begin(), m_drives.end(), [&](const auto& d) { return d->root == root; });
    return it == m_drives.end() ? -1 : static_cast<int>(it - m_drives.begin());
}

void DriveList::userActivated(int index)
{
    if (index < 0)
        return;
    // The drive shown, chosen again: back to its current folder.
    if (index == m_current) {
        Q_EMIT changed();
        return;
    }
    const Drive& chosen = *m_drives[static_cast<std::size_t>(index)];
    if (chosen.state == Drive::State::NotReady || chosen.state == Drive::State::Unanswered) {
        setCurrentIndex(m_current);
        m_dialogs.warn(this, tr("ドライブ"), chosen.state == Drive::State::NotReady
                                   ? tr("ドライブ %1 の準備ができていません。\nディスクを入れるか装置をつなぎ直してから、もう一度選んでください。").arg(nameOf(chosen))
                                   : tr("ドライブ %1 を開けません。\n%2").arg(nameOf(chosen), describeNoAnswer()));
        return;
    }
    select(index);
}

bool DriveList::select(int index)
{
    setCurrentIndex(index);
    if (index == m_current)
        return true;
    m_current = index;
    Q_EMIT changed();
    return true;
}

} // namespace tessaro
