// The Linux side of copying desktop.ini into a folder and marking the folder System:
// the DOS attribute formats byte for byte, then both services on real folders.

#include "platform/dos_attributes.h"
#include "platform/mount_table_posix.h"
#include "platform/os_services.h"
#include "posix_support.h"
#include "test_support.h"

#include <csignal>
#include <sys/resource.h>

using namespace tessaro;
using os::Path;
using Value = std::optional<std::string>;

namespace {

std::string blob(const char* hex)
{
    return QByteArray::fromHex(hex).toStdString();
}

// Samba blobs written out by hand, so a layout mistake in the program cannot hide in a
// helper that shares it. The creation time's eight bytes all differ, so a shifted or
// zeroed byte shows. Fields: attrib_hex, padding, version, level, padding, the arm; v1 and
// v3 share the rest of their arm after the attrib field (ea_size, then sizes and times).
const std::string V1Rest = blob("00000000 0707070707070707 0707070707070707 1032547698BADCFE 0909090909090909");
const std::string V3Rest = blob("55000000 0102030405060708 1112131415161718 1032547698BADCFE 2122232425262728");
const std::string V5 = blob("00 00 0500 0500 0000 11000000 20000000 1032547698BADCFE");
const std::string V5System = blob("00 00 0500 0500 0000 11000000 24000000 1032547698BADCFE");
const std::string V3 = blob("3078323000 00 0300 0300 0000 03000000 20000000") + V3Rest;

// Hex, so that a failed comparison points at the byte.
QByteArray shown(const Value& value)
{
    return value ? QByteArray::fromStdString(*value).toHex(' ') : QByteArray("<none>");
}

// The category too: every failure is meant to come back in the system one, as errno names it.
QString describe(std::error_code error)
{
    return QString::fromUtf8(error.category().name()) + QLatin1Char(':') + QString::fromStdString(error.message());
}

QString errnoText(int value)
{
    return describe({value, std::system_category()});
}

// A tmpfs /tmp on older kernels refuses user.* attributes; /var/tmp is on disk.
const QString XattrTemplate = QStringLiteral("/var/tmp/tessaro-XXXXXX");

// Everything in a folder, hidden temporary files included.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// One row per case, named after it; the test looks the case up by its index.
template <typename Case, std::size_t N>
void rows(const Case (&cases)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(cases[i].name) << static_cast<int>(i);
}

struct DosCase { const char* name; Value stored, expected; std::uint32_t before = 0; }; // expected none: refused
const DosCase dosCases[] = {
    {"absent: the form Samba and Wine both write, no NUL", std::nullopt, "0x4"},
    {"text", "0x22", "0x26", 0x22},
    {"text, NUL kept", std::string("0x20", 5), std::string("0x24", 5), 0x20},
    {"text, already System", "0x26", "0x26", 0x26},
    {"text, upper case", "0x2A", "0x2E", 0x2A},
    {"text, high bit", "0x80000001", "0x80000005", 0x80000001},
    {"v5, creation time kept", V5, V5System, 0x20},
    {"v3, text and word", V3, blob("3078323400 00 0300 0300 0000 03000000 24000000") + V3Rest, 0x20},
    // "0x2" ends on an even offset: nothing pads the version.
    {"v1, no padding", blob("30783200 0100 0100 02000000") + V1Rest, blob("30783600 0100 0100 06000000") + V1Rest, 0x2},
    {"no digits", "0x", std::nullopt},
    {"trailing space", "0x20 ", std::nullopt},
    {"no 0x", "0020", std::nullopt},
    {"more than 32 bits", "0x100000000", std::nullopt},
    {"unknown version", blob("00 00 0600 0600 0000 11000000 20000000 1032547698BADCFE"), std::nullopt},
    {"level differs from version", blob("00 00 0500 0400 0000 11000000 20000000 1032547698BADCFE"), std::nullopt},
    {"v5 truncated", V5.substr(0, V5.size() - 1), std::nullopt},
    {"v3 truncated", V3.substr(0, V3.size() - 1), std::nullopt},
    {"v3 with bad text", blob("3078326700 00 0300 0300 0000 03000000 20000000") + V3Rest, std::nullopt},
};

enum class Existing { Nothing, File, LinkToFile, DanglingLink, LinkToFolder };
enum class Obstacle { None, ReadOnlyFolder, FileSizeLimit };
struct CopyCase { const char* name; Existing existing; bool answer; int error = 0; Obstacle obstacle = Obstacle::None;
                  const char* source = "desktop.ini"; const char* folder = "Pictures"; };
const CopyCase copyCases[] = {
    {"into an empty folder", Existing::Nothing, false},
    {"file, declined", Existing::File, false},
    {"file, accepted", Existing::File, true},
    {"link to a file, accepted", Existing::LinkToFile, true},
    {"dangling link, accepted", Existing::DanglingLink, true},
    {"link to a folder, accepted", Existing::LinkToFolder, true},
    {"missing folder", Existing::Nothing, true, ENOENT, Obstacle::None, "desktop.ini", "missing"},
    {"folder is a file", Existing::Nothing, true, ENOTDIR, Obstacle::None, "desktop.ini", "desktop.ini"},
    {"missing source", Existing::File, true, ENOENT, Obstacle::None, "missing.ini"},
    {"source is a folder", Existing::File, true, EISDIR, Obstacle::None, "Nested"},
    {"destination is a folder", Existing::Nothing, true, EISDIR, Obstacle::None, "desktop.ini", "Nested"},
    // Root ignores permission bits, so for root the folder is made immutable instead.
    {"read-only folder", Existing::File, true, ::geteuid() == 0 ? EPERM : EACCES, Obstacle::ReadOnlyFolder},
    // Fails after the first writes, as a full disk would.
    {"write fails part of the way", Existing::File, true, EFBIG, Obstacle::FileSizeLimit},
};

} // namespace

class TestPosixServices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void systemBit_keepsEveryOtherByte_data() { rows(dosCases); }
    void systemBit_keepsEveryOtherByte()
    {
        QFETCH(int, row);
        const DosCase& c = dosCases[row];
        const Value updated = dos::withSystemBit(c.stored);
        QCOMPARE(shown(updated), shown(c.expected));
        // What cannot be updated must not be read either: a misread value could mislead.
        if (c.stored)
            QCOMPARE(dos::attributesOf(*c.stored), c.expected ? std::optional(c.before) : std::nullopt);
        if (updated)
            QCOMPARE(dos::attributesOf(*updated), std::optional(c.before | dos::System));

        // The same value on a real folder: markSystem stores the update, or refuses and keeps the value.
        const QTemporaryDir dir(XattrTemplate);
        if (!test::keepsUserXattrs(dir.path()))
            QSKIP("no folder here keeps user.* attributes");
        if (c.stored)
            QCOMPARE(::setxattr(dir.path().toUtf8(), "user.DOSATTRIB", c.stored->data(), c.stored->size(), 0), 0);
        QCOMPARE(describe(os::markSystem(dir.path().toStdString())), errnoText(c.expected ? 0 : ENOTSUP));
        QCOMPARE(shown(test::dosAttrib(dir.path())), shown(c.expected ? c.expected : c.stored));
    }

    void markSystem_otherTargets()
    {
        const QTemporaryDir base(XattrTemplate);
        QCOMPARE(describe(os::markSystem(base.filePath(QStringLiteral("missing")).toStdString())), errnoText(ENOENT));
        QCOMPARE(describe(os::markSystem("/dev/null")), errnoText(ENOTDIR));

        // Already System: nothing to write, so a folder that cannot be changed is no obstacle.
        if (!test::keepsUserXattrs(base.path()))
            QSKIP("no folder here keeps user.* attributes");
        QCOMPARE(::setxattr(base.path().toUtf8(), "user.DOSATTRIB", V5System.data(), V5System.size(), 0), 0);
        const test::ReadOnlyFolder locked(base.path());
        if (!locked.active())
            QSKIP("this filesystem cannot make a folder unchangeable");
        QCOMPARE(describe(os::markSystem(base.path().toStdString())), errnoText(0));
    }

    void copy_replacesOnlyWhenConfirmed_data() { rows(copyCases); }
    void copy_replacesOnlyWhenConfirmed()
    {
        QFETCH(int, row);
        const CopyCase& c = copyCases[row];
        QTemporaryDir base;
        const auto at = [&base](const char* name) { return base.filePath(QString::fromUtf8(name)); };
        const QString destination = at("Pictures/desktop.ini"), target = at("target");
        QVERIFY(QDir().mkpath(at("Nested/desktop.ini")) && QDir().mkdir(at("Pictures")));
        // More than one read's worth, with CR LF and bytes above 0x7F that a text copy would change.
        const QByteArray content = QByteArray("[.ShellClassInfo]\r\n\x83\x73").repeated(4000);
        test::writeFile(at("desktop.ini"), content);
        if (c.existing == Existing::File || c.existing == Existing::LinkToFile)
            test::writeFile(c.existing == Existing::File ? destination : target, "old");
        if (c.existing == Existing::LinkToFolder)
            QVERIFY(QDir().mkdir(target));
        if (c.existing >= Existing::LinkToFile)
            QCOMPARE(::symlink(QFile::encodeName(target), QFile::encodeName(destination)), 0);
        struct stat before {}, after {};
        ::lstat(destination.toUtf8(), &before);

        std::optional<test::ReadOnlyFolder> locked;
        if (c.obstacle == Obstacle::ReadOnlyFolder && !locked.emplace(at("Pictures")).active())
            QSKIP("this filesystem cannot make a folder unchangeable");
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{20000, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead of ending the test
        if (c.obstacle == Obstacle::FileSizeLimit)
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        std::vector<Path> asked;
        const auto confirm = [&](const Path& existing) { asked.push_back(existing); return c.answer; };
        const auto error = os::copyToFolder(at(c.source).toStdString(), at(c.folder).toStdString(), confirm);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        locked.reset();

        QCOMPARE(describe(error), errnoText(c.error));
        // Asked once about what is there, and never by a copy that cannot start.
        const bool asks = (!c.error || c.obstacle != Obstacle::None) && c.existing != Existing::Nothing;
        QCOMPARE(asked, asks ? std::vector<Path>{destination.toStdString()} : std::vector<Path>{});
        ::lstat(destination.toUtf8(), &after);
        if (!c.error && (c.existing == Existing::Nothing || c.answer)) {
            // A new regular file renamed into place, never written through a link or rewritten
            // in place, with the mode any new file in the folder gets (not mkstemp's 0600).
            const mode_t mask = ::umask(022);
            ::umask(mask);
            QCOMPARE(after.st_mode, S_IFREG | (0666 & ~mask));
            QVERIFY(after.st_ino != before.st_ino);
            QCOMPARE(test::readFile(destination), content);
        } else {
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(test::readFile(destination), c.existing == Existing::File ? QByteArray("old") : QByteArray());
        }
        if (c.existing == Existing::LinkToFile)
            QCOMPARE(test::readFile(target), QByteArray("old"));
        if (c.existing == Existing::LinkToFolder)
            QCOMPARE(entriesOf(target), QStringList());
        // No temporary file left behind, whatever happened.
        const QStringList ini{QStringLiteral("desktop.ini")};
        QCOMPARE(entriesOf(at("Pictures")), after.st_ino ? ini : QStringList());
        QCOMPARE(entriesOf(at("Nested")), ini);
    }

    void mountTable_keepsStorageOnly();
};

void TestPosixServices::mountTable_keepsStorageOnly()
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
    for (const tessaro::os::Mount& mount : tessaro::os::parseMountInfo(table)) {
        if (tessaro::os::isStorage(mount))
            kept.push_back(mount.point.string());
    }
    QCOMPARE(kept, (std::vector<std::string>{"/", "/media/usb stick", "/run/media/user/CAMERA", "/home", "/tmp"}));
}

QTEST_GUILESS_MAIN(TestPosixServices)
#include "test_posix_services.moc"
