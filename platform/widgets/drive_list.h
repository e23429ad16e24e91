#pragma once

#include "platform/os/os_services.h"

#include <QComboBox>
#include <QString>
#include <vector>

namespace tessaro {

class UserDialogs;

// A drop-down list of the machine's drives. Its value, drive(), is the root of the
// selected volume in native form ("C:\", "/media/usb").
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(UserDialogs& dialogs, QWidget* parent = nullptr);

    QString drive() const;

    // Selects a drive by its root, or by a drive string such as "c:" ("c:" is the system
    // drive everywhere). False, with nothing changed, for a drive the machine lacks or one
    // that is not ready.
    bool setDrive(const QString& drive);

    // The drive that holds `path`.
    static QString driveOf(const QString& path);

Q_SIGNALS:
    // The selected drive changed, by the user or by code.
    void changed();

protected:
    void showPopup() override;

private:
    void reload();
    void userActivated(int index);
    int indexOfRoot(const QString& root) const;
    bool select(int index);

    UserDialogs& m_dialogs;
    std::vector<os::Volume> m_volumes;
    int m_current = -1;
};

} // namespace tessaro
