// The kernel's mount table, read into the drives a user would browse.

#include "platform/os/mount_table_posix.h"
#include "test_support.h"

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Each mount as "point|type|source", then "storage" or "hidden"; mounts joined by "; ".
struct MountCase { const char* name; const char* table; const char* expected; };
const MountCase mountCases[] = {
    {"root, one optional field", "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw", "/|ext4|/dev/sda1 storage"},
    {"two optional fields", "30 22 0:40 / /home rw shared:5 master:2 - btrfs /dev/sda2 rw", "/home|btrfs|/dev/sda2 storage"},
    {"no optional field", "31 22 0:41 / /tmp rw - tmpfs tmpfs rw", "/tmp|tmpfs|tmpfs storage"},
    {"pseudo filesystems, wherever mounted", "24 22 0:22 / /mnt/s rw - sysfs sysfs rw\n26 22 0:24 / /mnt/x rw - fuse.portal portal rw",
     "/mnt/s|sysfs|sysfs hidden; /mnt/x|fuse.portal|portal hidden"},
    {"scratch space under /dev and /run", "26 22 0:5 / /dev rw - devtmpfs udev rw\n27 22 0:24 / /run rw - tmpfs tmpfs rw",
     "/dev|devtmpfs|udev hidden; /run|tmpfs|tmpfs hidden"},
    {"removable media under /run/media", "29 22 8:33 / /run/media/user/CAMERA rw - exfat /dev/sdc1 rw",
     "/run/media/user/CAMERA|exfat|/dev/sdc1 storage"},
    {"escaped point, an escape at its end too", "28 22 8:17 / /media/usb\\040stick\\040 rw - vfat /dev/sdb1 rw",
     "/media/usb stick |vfat|/dev/sdb1 storage"},
    {"a later mount over the same point hides the earlier",
     "50 22 8:1 / /mnt/a rw - ext4 /dev/sde1 rw\n51 22 8:2 / /mnt/a rw - xfs /dev/sdf1 rw", "/mnt/a|xfs|/dev/sdf1 storage"},
    {"malformed lines", "malformed line\n22 1 8:1 / / rw shared:1 ext4 /dev/sda1 rw\n22 1 8:1 / / rw - ext4\n\n", ""},
};

} // namespace

class MountTableTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mountTable_readsEveryField_data() { rows(mountCases); }
    void mountTable_readsEveryField()
    {
        QFETCH(int, row);
        QStringList got;
        for (const os::Mount& mount : os::parseMountInfo(mountCases[row].table)) {
            got << QString::fromStdString(mount.point.string() + '|' + mount.type + '|' + mount.source)
                    + (os::isStorage(mount) ? QStringLiteral(" storage") : QStringLiteral(" hidden"));
        }
        QCOMPARE(got.join(QStringLiteral("; ")), QString::fromUtf8(mountCases[row].expected));
    }
};

TESSARO_TEST_GUILESS_MAIN(MountTableTest)
#include "test_mount_table_posix.moc"
