#pragma once

#include "platform/os/os_services.h"

#include <QComboBox>
#include <QString>

#include <memory>
#include <vector>

namespace tessaro {

class UserDialogs;
class VolumeService;

// A drop-down list of the machine's drives. Its value, drive(), is the root of the
// selected volume in native form ("C:\", "/media/usb").
// The list is read from the system's table of volumes alone; the drives themselves (ready?
// label?) are asked on workers, so that one that stopped answering never holds the window.
// It starts with the current drive only and lists the others when it opens.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(UserDialogs& dialogs, QWidget* parent = nullptr);
    ~DriveList() override;

    QString drive() const;

    // Selects a drive by its root, or by a drive string such as "c:" ("c:" is the system
    // drive everywhere). False, with nothing changed, for a drive the machine does not list
    // and for one found not ready, or not answering, when the list last asked it. Whether it
    // is ready now is found out by the folder list that goes there.
    bool setDrive(const QString& drive);

    // The drive that holds `path`.
    static QString driveOf(const QString& path);

    // Lists the drives anew as it opens: drives come and go.
    void showPopup() override;

Q_SIGNALS:
    // The selected drive changed, by code or by the user, who may also choose the drive
    // shown again to go back to it.
    void changed();

private:
    struct Drive;
    static QString nameOf(const Drive& drive);
    void list(const std::vector<os::Path>& roots);
    void check(Drive& drive);
    void show(const Drive& drive);
    int indexOf(const Drive& drive) const;
    int indexOfRoot(const os::Path& root) const;
    void userActivated(int index);
    bool select(int index);

    UserDialogs& m_dialogs;
    const VolumeService& m_volumes;
    std::vector<std::unique_ptr<Drive>> m_drives;
    int m_current = -1;
};

} // namespace tessaro
