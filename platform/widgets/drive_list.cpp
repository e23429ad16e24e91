#include "platform/widgets/drive_list.h"

#include "platform/os/native_path.h"
#include "platform/widgets/user_dialogs.h"

#include <QDir>
#include <QRegularExpression>

namespace tessaro {
namespace {

QString rootText(const os::Path& root)
{
    return toQString(root);
}

// "c: [System]" as Windows lists its drives; a mount point with its label elsewhere.
QString displayText(const os::Volume& volume)
{
    QString text = rootText(volume.root);
    static const QRegularExpression driveRoot(QStringLiteral("^([A-Za-z]:)\\\\$"));
    if (const auto match = driveRoot.match(text); match.hasMatch())
        text = match.captured(1).toLower();
    if (!volume.label.empty())
        text += QStringLiteral(" [%1]").arg(QString::fromStdU16String(volume.label));
    return text;
}

} // namespace

DriveList::DriveList(UserDialogs& dialogs, QWidget* parent)
    : QComboBox(parent)
    , m_dialogs(dialogs)
{
    reload();
    m_current = indexOfRoot(driveOf(QDir::currentPath()));
    setCurrentIndex(m_current);
    connect(this, &QComboBox::activated, this, &DriveList::userActivated);
}

QString DriveList::drive() const
{
    if (m_current < 0)
        return {};
    return rootText(m_volumes[static_cast<std::size_t>(m_current)].root);
}

QString DriveList::driveOf(const QString& path)
{
    return rootText(os::volumeOf(toPath(QDir(path).absolutePath())));
}

bool DriveList::setDrive(const QString& drive)
{
    static const QRegularExpression driveString(QStringLiteral("^([A-Za-z]):\\\\?$"));
    QString root = drive;
    if (const auto match = driveString.match(drive); match.hasMatch()) {
        root = match.captured(1).compare(QLatin1String("c"), Qt::CaseInsensitive) == 0
            ? rootText(os::systemVolume())
            : match.captured(1).toUpper() + QStringLiteral(":\\");
    }
    int index = indexOfRoot(root);
    if (index < 0) {
        reload();
        index = indexOfRoot(root);
    }
    if (index < 0 || !os::volumeReady(m_volumes[static_cast<std::size_t>(index)].root))
        return false;
    return select(index);
}

void DriveList::showPopup()
{
    // Drives come and go (a USB stick, a network share): list them anew each time.
    const QString current = drive();
    reload();
    m_current = indexOfRoot(current);
    setCurrentIndex(m_current);
    QComboBox::showPopup();
}

void DriveList::reload()
{
    m_volumes = os::volumes();
    const QSignalBlocker blocker(this);
    clear();
    for (const os::Volume& volume : m_volumes)
        addItem(displayText(volume));
}

int DriveList::indexOfRoot(const QString& root) const
{
    const os::Path wanted = toPath(root);
    for (std::size_t i = 0; i < m_volumes.size(); ++i) {
        if (m_volumes[i].root == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

void DriveList::userActivated(int index)
{
    if (index == m_current)
        return;
    if (index < 0 || !os::volumeReady(m_volumes[static_cast<std::size_t>(index)].root)) {
        const QString name = itemText(index);
        setCurrentIndex(m_current);
        m_dialogs.inform(this, tr("ドライブ %1 の準備ができていません。").arg(name));
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
