// The Linux side of copying desktop.ini into a folder and marking the folder System:
// the DOS attribute formats byte for byte, then both services on real folders.

#include "platform/dos_attributes.h"
#include "platform/mount_table_posix.h"
#include "platform/os_services.h"
#include "posix_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using tessaro::os::Path;

namespace {

constexpr const char* DosAttrib = "user.DOSATTRIB";

// Samba blobs written out by hand, so a layout mistake in the program cannot hide in a
// helper that shares it. The creation time's eight bytes all differ, so a shifted or
// zeroed byte shows. Fields: attrib_hex, padding, version, level, padding, the arm.
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}
const char* const V5Archive = "00 00 0500 0500 0000 11000000 20000000 1032547698BADCFE";
const char* const V5ArchiveSystem = "00 00 0500 0500 0000 11000000 24000000 1032547698BADCFE";
const char* const V3Archive = "3078323000 00 0300 0300 0000 03000000 20000000 55000000"
                              " 0102030405060708 1112131415161718 1032547698BADCFE 2122232425262728";
const char* const V3ArchiveSystem = "3078323400 00 0300 0300 0000 03000000 24000000 55000000"
                                    " 0102030405060708 1112131415161718 1032547698BADCFE 2122232425262728";
// "0x2" ends on an even offset: nothing pads the version.
const char* const V1Hidden = "30783200 0100 0100 02000000 00000000 0707070707070707 0707070707070707"
                             " 1032547698BADCFE 0909090909090909";
const char* const V1HiddenSystem = "30783600 0100 0100 06000000 00000000 0707070707070707 0707070707070707"
                                   " 1032547698BADCFE 0909090909090909";

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

Path toPath(const QString& path)
{
    return Path(nativePath(path).toStdString());
}

std::optional<QByteArray> readXattr(const QString& path, const char* name)
{
    char buffer[256];
    const ssize_t got = ::getxattr(nativePath(path).constData(), name, buffer, sizeof buffer);
    if (got < 0)
        return std::nullopt;
    return QByteArray(buffer, static_cast<qsizetype>(got));
}

bool writeXattr(const QString& path, const char* name, const QByteArray& value)
{
    return ::setxattr(nativePath(path).constData(), name, value.constData(), static_cast<std::size_t>(value.size()), 0)
        == 0;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Everything in a folder, hidden temporary files included.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct stat lstatOf(const QString& path)
{
    struct stat info {};
    ::lstat(nativePath(path).constData(), &info);
    return info;
}

QString describe(const std::error_code& error)
{
    return QString::fromUtf8(error.category().name()) + QLatin1Char(':') + QString::fromStdString(error.message());
}

QString describe(int errnoValue)
{
    return describe(std::error_code(errnoValue, std::system_category()));
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Answers the replace question and remembers every time it was asked.
struct Confirmer {
    bool answer = false;
    std::vector<Path> asked;
    tessaro::os::ConfirmReplace callback()
    {
        return [this](const Path& existing) {
            asked.push_back(existing);
            return answer;
        };
    }
};

using tessaro::test::ReadOnlyFolder;

enum class Existing { Nothing, File, LinkToFile, DanglingLink, LinkToFolder };

} // namespace

Q_DECLARE_METATYPE(Existing)
Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestPosixServices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void withSystemBit_keepsEveryOtherByte_data();
    void withSystemBit_keepsEveryOtherByte();
    void unusableValue_isLeftAlone_data();
    void unusableValue_isLeftAlone();
    void markSystem_updatesStoredValue_data();
    void markSystem_updatesStoredValue();
    void markSystem_badFolder_fails();
    void copy_replacesOnlyWhenConfirmed_data();
    void copy_replacesOnlyWhenConfirmed();
    void copy_badPaths_fail_data();
    void copy_badPaths_fail();
    void copy_failure_keepsOldFile_data();
    void copy_failure_keepsOldFile();
    void mountTable_keepsStorageOnly();

private:
    QString m_xattrBase; // where user.* attributes are kept; empty when nowhere here
    QString m_skipReason;
};

void TestPosixServices::initTestCase()
{
    QStringList refused;
    for (const QString& candidate : {QDir::tempPath(), QStringLiteral("/var/tmp"),
                                     QCoreApplication::applicationDirPath(), QDir::currentPath()}) {
        QTemporaryDir probe(candidate + QStringLiteral("/tessaro-probe-XXXXXX"));
        if (probe.isValid() && writeXattr(probe.path(), DosAttrib, "0x0")) {
            m_xattrBase = candidate;
            return;
        }
        refused << candidate + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    m_skipReason = QStringLiteral("no folder here keeps user.* attributes (") + refused.join(QStringLiteral(", "))
        + QLatin1Char(')');
}

void TestPosixServices::withSystemBit_keepsEveryOtherByte_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<uint>("before");

    // Absent: the form both Samba and Wine write, without a NUL.
    QTest::newRow("absent") << false << QByteArray() << QByteArray("0x4") << 0u;
    QTest::newRow("text") << true << QByteArray("0x20") << QByteArray("0x24") << 0x20u;
    QTest::newRow("text, NUL kept") << true << QByteArray("0x20", 5) << QByteArray("0x24", 5) << 0x20u;
    QTest::newRow("text, already System") << true << QByteArray("0x26") << QByteArray("0x26") << 0x26u;
    QTest::newRow("text, upper case") << true << QByteArray("0x2A") << QByteArray("0x2E") << 0x2Au;
    QTest::newRow("text, high bit") << true << QByteArray("0x80000001") << QByteArray("0x80000005") << 0x80000001u;
    QTest::newRow("v5") << true << hex(V5Archive) << hex(V5ArchiveSystem) << 0x20u;
    QTest::newRow("v5, already System") << true << hex(V5ArchiveSystem) << hex(V5ArchiveSystem) << 0x24u;
    QTest::newRow("v3") << true << hex(V3Archive) << hex(V3ArchiveSystem) << 0x20u;
    QTest::newRow("v1") << true << hex(V1Hidden) << hex(V1HiddenSystem) << 0x2u;
}

void TestPosixServices::withSystemBit_keepsEveryOtherByte()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, expected);
    QFETCH(uint, before);

    const auto current = present ? std::optional<std::string>(stored.toStdString()) : std::nullopt;
    const auto updated = tessaro::dos::withSystemBit(current);
    QVERIFY(updated);
    QCOMPARE(QByteArray::fromStdString(*updated).toHex(' '), expected.toHex(' '));
    if (present)
        QCOMPARE(tessaro::dos::attributesOf(*current), std::optional<std::uint32_t>(before));
    QCOMPARE(tessaro::dos::attributesOf(*updated), std::optional<std::uint32_t>(before | tessaro::dos::System));
}

void TestPosixServices::unusableValue_isLeftAlone_data()
{
    QTest::addColumn<QByteArray>("stored");

    QByteArray v6 = hex(V5Archive);
    v6[2] = v6[4] = '\x06';
    QByteArray levelDiffers = hex(V5Archive);
    levelDiffers[4] = '\x04';
    QByteArray badText = hex(V3Archive);
    badText[3] = 'g';

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no digits") << QByteArray("0x");
    QTest::newRow("trailing space") << QByteArray("0x20 ");
    QTest::newRow("garbage") << QByteArray("\xFF\xFE garbage");
    QTest::newRow("unknown version") << v6;
    QTest::newRow("level differs from version") << levelDiffers;
    QTest::newRow("v5 truncated") << hex(V5Archive).chopped(1);
    QTest::newRow("v3 truncated") << hex(V3Archive).chopped(1);
    QTest::newRow("v3 with bad text") << badText;
}

void TestPosixServices::unusableValue_isLeftAlone()
{
    QFETCH(QByteArray, stored);
    QCOMPARE(tessaro::dos::withSystemBit(stored.toStdString()), std::nullopt);
    QCOMPARE(tessaro::dos::attributesOf(stored.toStdString()), std::nullopt);
}

void TestPosixServices::markSystem_updatesStoredValue_data()
{
    QTest::addColumn<std::optional<QByteArray>>("stored");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("expectedErrno");
    QTest::addColumn<bool>("readOnly");

    QByteArray v6 = hex(V5Archive);
    v6[2] = v6[4] = '\x06';
    QTest::newRow("absent") << std::optional<QByteArray>() << QByteArray("0x4") << 0 << false;
    QTest::newRow("text") << std::optional(QByteArray("0x22")) << QByteArray("0x26") << 0 << false;
    QTest::newRow("v5, creation time kept") << std::optional(hex(V5Archive)) << hex(V5ArchiveSystem) << 0 << false;
    QTest::newRow("unknown version untouched") << std::optional(v6) << v6 << ENOTSUP << false;
    // Nothing to write, so nothing to be refused.
    QTest::newRow("already System, read-only") << std::optional(hex(V5ArchiveSystem)) << hex(V5ArchiveSystem) << 0
                                               << true;
}

void TestPosixServices::markSystem_updatesStoredValue()
{
    if (m_xattrBase.isEmpty())
        QSKIP(qPrintable(m_skipReason));
    QFETCH(std::optional<QByteArray>, stored);
    QFETCH(QByteArray, expected);
    QFETCH(int, expectedErrno);
    QFETCH(bool, readOnly);

    QTemporaryDir base(m_xattrBase + QStringLiteral("/tessaro-XXXXXX"));
    const QString folder = base.filePath(QStringLiteral("Pictures"));
    QVERIFY(QDir().mkdir(folder));
    if (stored)
        QVERIFY(writeXattr(folder, DosAttrib, *stored));
    std::optional<ReadOnlyFolder> locked;
    if (readOnly && !locked.emplace(folder).active())
        QSKIP("this filesystem cannot make a folder unchangeable");

    QCOMPARE(describe(tessaro::os::markSystem(toPath(folder))), describe(expectedErrno));
    QCOMPARE(readXattr(folder, DosAttrib).value_or("<absent>").toHex(' '), expected.toHex(' '));
}

void TestPosixServices::markSystem_badFolder_fails()
{
    QTemporaryDir base;
    QVERIFY(writeFile(base.filePath(QStringLiteral("file.txt")), "x"));
    QCOMPARE(describe(tessaro::os::markSystem(toPath(base.filePath(QStringLiteral("missing"))))), describe(ENOENT));
    QCOMPARE(describe(tessaro::os::markSystem(toPath(base.filePath(QStringLiteral("file.txt"))))), describe(ENOTDIR));
    QVERIFY(!readXattr(base.filePath(QStringLiteral("file.txt")), DosAttrib));
}

void TestPosixServices::copy_replacesOnlyWhenConfirmed_data()
{
    QTest::addColumn<Existing>("existing");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QByteArray>("content");

    QByteArray large;
    for (int i = 0; i < 40000; ++i)
        large += static_cast<char>(i * 7);
    const QByteArray ini("[.ShellClassInfo]\r\nIconArea_Image=\x83\x73.bmp\r\n");
    QTest::newRow("new, empty file") << Existing::Nothing << false << QByteArray();
    QTest::newRow("new, desktop.ini") << Existing::Nothing << false << ini;
    QTest::newRow("new, larger than one read") << Existing::Nothing << false << large;
    QTest::newRow("file, declined") << Existing::File << false << ini;
    QTest::newRow("file, accepted") << Existing::File << true << ini;
    QTest::newRow("link to a file, declined") << Existing::LinkToFile << false << ini;
    QTest::newRow("link to a file, accepted") << Existing::LinkToFile << true << ini;
    QTest::newRow("dangling link, accepted") << Existing::DanglingLink << true << ini;
    QTest::newRow("link to a folder, accepted") << Existing::LinkToFolder << true << ini;
}

void TestPosixServices::copy_replacesOnlyWhenConfirmed()
{
    QFETCH(Existing, existing);
    QFETCH(bool, answer);
    QFETCH(QByteArray, content);

    QTemporaryDir base;
    const QString source = base.filePath(QStringLiteral("desktop.ini"));
    const QString folder = base.filePath(QStringLiteral("Pictures"));
    const QString destination = folder + QStringLiteral("/desktop.ini");
    const QString target = base.filePath(QStringLiteral("target"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(writeFile(source, content));
    if (existing == Existing::File)
        QVERIFY(writeFile(destination, "old contents"));
    if (existing == Existing::LinkToFile)
        QVERIFY(writeFile(target, "link target"));
    if (existing == Existing::LinkToFolder)
        QVERIFY(QDir().mkdir(target));
    if (existing >= Existing::LinkToFile)
        QCOMPARE(::symlink(nativePath(target).constData(), nativePath(destination).constData()), 0);
    const struct stat before = lstatOf(destination);

    Confirmer confirmer;
    confirmer.answer = answer;
    const auto error = tessaro::os::copyToFolder(toPath(source), toPath(folder), confirmer.callback());
    QCOMPARE(describe(error), describe(0));

    if (existing == Existing::Nothing) {
        QVERIFY(confirmer.asked.empty());
        QCOMPARE(lstatOf(destination).st_mode & 07777, 0666 & ~currentUmask());
    } else {
        QCOMPARE(confirmer.asked, std::vector<Path>{toPath(destination)});
    }
    const struct stat after = lstatOf(destination);
    if (existing != Existing::Nothing && !answer) {
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(readFile(destination), existing == Existing::File ? "old contents" : "link target");
    } else {
        // Replaced by a new regular file renamed into place, never written through a link
        // or rewritten in place.
        QVERIFY(S_ISREG(after.st_mode));
        QVERIFY(after.st_ino != before.st_ino);
        QCOMPARE(readFile(destination), content);
    }
    if (existing == Existing::LinkToFile)
        QCOMPARE(readFile(target), QByteArray("link target"));
    if (existing == Existing::LinkToFolder)
        QCOMPARE(entriesOf(target), QStringList());
    QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("desktop.ini")});
}

void TestPosixServices::copy_badPaths_fail_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("expectedErrno");

    QTest::newRow("missing folder") << QStringLiteral("desktop.ini") << QStringLiteral("missing") << ENOENT;
    QTest::newRow("folder is a file") << QStringLiteral("desktop.ini") << QStringLiteral("file.txt") << ENOTDIR;
    QTest::newRow("missing source") << QStringLiteral("missing.ini") << QStringLiteral("Empty") << ENOENT;
    QTest::newRow("source is a folder") << QStringLiteral("Empty") << QStringLiteral("Nested") << EISDIR;
    QTest::newRow("destination is a folder") << QStringLiteral("desktop.ini") << QStringLiteral("Nested") << EISDIR;
}

void TestPosixServices::copy_badPaths_fail()
{
    QFETCH(QString, source);
    QFETCH(QString, folder);
    QFETCH(int, expectedErrno);

    QTemporaryDir base;
    QVERIFY(writeFile(base.filePath(QStringLiteral("desktop.ini")), "new"));
    QVERIFY(writeFile(base.filePath(QStringLiteral("file.txt")), "x"));
    QVERIFY(QDir().mkdir(base.filePath(QStringLiteral("Empty"))));
    QVERIFY(QDir().mkpath(base.filePath(QStringLiteral("Nested/desktop.ini"))));

    Confirmer confirmer;
    confirmer.answer = true;
    const auto error = tessaro::os::copyToFolder(toPath(base.filePath(source)), toPath(base.filePath(folder)),
                                                 confirmer.callback());
    QCOMPARE(describe(error), describe(expectedErrno));
    QVERIFY(confirmer.asked.empty());
    QCOMPARE(entriesOf(base.filePath(QStringLiteral("Empty"))), QStringList());
    QCOMPARE(entriesOf(base.filePath(QStringLiteral("Nested"))), QStringList{QStringLiteral("desktop.ini")});
}

void TestPosixServices::copy_failure_keepsOldFile_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("read-only folder") << true;
    QTest::newRow("write fails part of the way") << false;
}

void TestPosixServices::copy_failure_keepsOldFile()
{
    QFETCH(bool, readOnlyFolder);
    QTemporaryDir base;
    const QString source = base.filePath(QStringLiteral("desktop.ini"));
    const QString folder = base.filePath(QStringLiteral("Pictures"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(writeFile(source, QByteArray(64 * 1024, 'n')));
    QVERIFY(writeFile(folder + QStringLiteral("/desktop.ini"), "old"));

    std::optional<ReadOnlyFolder> locked;
    if (readOnlyFolder && !locked.emplace(folder).active())
        QSKIP("this filesystem cannot make a folder unchangeable");
    // A file-size limit fails the copy after its first writes, as a full disk would.
    rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 20000;
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (!readOnlyFolder)
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);

    Confirmer confirmer;
    confirmer.answer = true;
    const auto error = tessaro::os::copyToFolder(toPath(source), toPath(folder), confirmer.callback());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    locked.reset();

    if (readOnlyFolder)
        QVERIFY2(error == std::errc::permission_denied || error == std::errc::operation_not_permitted,
                 qPrintable(describe(error)));
    else
        QCOMPARE(describe(error), describe(EFBIG));
    QCOMPARE(readFile(folder + QStringLiteral("/desktop.ini")), QByteArray("old"));
    QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("desktop.ini")});
}

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
