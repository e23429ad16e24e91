// The kernel's mount table, read into the drives a user would browse.

#include "platform/os/mount_table_posix.h"

#include <QtTest>

using namespace tessaro;

class MountTableTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mountTable_keepsStorageOnly();
};

void MountTableTest::mountTable_keepsStorageOnly()
{
    const std::string table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
        "24 22 0:22 / /sys rw - sysfs sysfs rw\n"
        "25 24 0:23 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
        "26 22 0:5 / /dev rw - devtmpfs udev rw\n"
        "27 22 0:24 / /run rw - tmpfs tmpfs rw\n"
        "28 22 8:17 / /media/usb\\040stick rw - vfat /dev/sdb1 rw\n"
        "29 22 8:33 / /run/media/user/CAMERA rw - exfat /dev/sdc1 rw\n"
        "30 22 0:40 / /home rw shared:5 master:2 - btrfs /dev/sda2 rw\n"
        "31 22 0:41 / /tmp rw - tmpfs tmpfs rw\n"
        "malformed line\n";
    std::vector<std::string> kept;
    for (const os::Mount& mount : os::parseMountInfo(table)) {
        if (os::isStorage(mount))
            kept.push_back(mount.point.string());
    }
    QCOMPARE(kept, (std::vector<std::string>{"/", "/media/usb stick", "/run/media/user/CAMERA", "/home", "/tmp"}));
}

QTEST_GUILESS_MAIN(MountTableTest)
#include "test_mount_table_posix.moc"
