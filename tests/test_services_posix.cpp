// Linux's smaller services:
// - the kernel's mount table, read into the drives a user would browse;
// - opening a folder through xdg-open, which a script of the test's stands in for on PATH,
//   recording what it was asked to open and answering as xdg-open would;
// - text in the locale's encoding, both ways, exactly or not at all: glibc's iconv maps some
//   characters one way without an error, and a file written with such a character names
//   another path than the one the user picked;
// - what stands at a path, looked at without following a link at its end or waiting on a
//   pipe, and whether two files hold the same bytes.

#include "platform/os/mount_table_posix.h"
#include "platform/os/os_services.h"

#include "posix_support.h"
#include "test_support.h"

#include <QtTest>

#include <dlfcn.h>
#include <sys/stat.h>

#include <string>
#include <string_view>

// Another program's move, at the worst moment: a name ending in "/swapped" becomes the link
// "swapped-link" right after it was looked at, before it is opened.
extern "C" int lstat(const char* path, struct stat* info) noexcept
{
    using Lstat = int (*)(const char*, struct stat*);
    static const auto real = reinterpret_cast<Lstat>(::dlsym(RTLD_NEXT, "lstat"));
    const int result = real(path, info);
    if (result == 0 && std::string_view(path).ends_with("/swapped"))
        ::rename((std::string(path) + "-link").c_str(), path);
    return result;
}

using namespace tessaro;
using namespace tessaro::test;
using Bytes = std::optional<std::string>;
using Text = std::optional<std::u16string>;
using Kind = os::Entry::Kind;

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

// `opener`: the script's body, none for no xdg-open on PATH; `opened`: whether it was run,
// with the folder as its one argument.
struct OpenCase { const char* name; const char* opener; bool folderExists; std::error_code expected; bool opened; };
const OpenCase openCases[] = {
    {"missing folder, opener not run", "exit 0", false, std::error_code(ENOENT, std::system_category()), false},
    {"opener without a file manager", "exit 3", true, make_error_code(os::Failure::NoFileManager), true},
    {"no opener installed", nullptr, true, make_error_code(os::Failure::NoFileManager), false},
};

// Shifting in and out around each kanji takes more than twice the bytes of UTF-16.
const std::u16string Alternating = QStringLiteral("a海").repeated(20).toStdU16String();
const std::string AlternatingIso = QByteArray("a\x1B$B3$\x1B(B").repeated(20).toStdString();

struct EncodeCase { const char* name; const char* encoding; std::u16string_view text; Bytes expected; };
const EncodeCase encodeCases[] = {
    {"UTF-8: kanji and an emoji", "UTF-8", u"写真\U0001F30A", "\xE5\x86\x99\xE7\x9C\x9F\xF0\x9F\x8C\x8A"},
    {"ISO-2022-JP: longer than a first guess, back to ASCII at the end", "ISO-2022-JP", Alternating, AlternatingIso},
    {"ASCII refuses e-acute", "ANSI_X3.4-1968", u"caf\u00E9", std::nullopt},
    {"empty text is empty bytes, not a failure", "EUC-JP", u"", ""},
    {"an unknown encoding refuses everything", "NO-SUCH-CODESET", u"a", std::nullopt},
};

struct DecodeCase { const char* name; const char* encoding; std::string_view bytes; Text expected; };
const DecodeCase decodeCases[] = {
    {"UTF-8: kanji", "UTF-8", "\xE5\x86\x99\xE7\x9C\x9F", u"写真"},
    {"UTF-8 refuses a truncated sequence", "UTF-8", "a\xE6\x96", std::nullopt},
    {"UTF-8 keeps a leading byte-order mark", "UTF-8", "\xEF\xBB\xBF" "a", u"\uFEFFa"},
    {"EUC-JP: 5C is a backslash", "EUC-JP", "C:\\", u"C:\\"},
    {"no bytes are empty text, not a failure", "EUC-JP", "", u""},
    {"an unknown encoding refuses everything", "NO-SUCH-CODESET", "a", std::nullopt},
};

// Hex, so that a failed comparison points at the byte or the UTF-16 unit.
QByteArray shown(const Bytes& bytes)
{
    return bytes ? QByteArray::fromStdString(*bytes).toHex(' ') : QByteArray("<none>");
}

QByteArray shown(const Text& text)
{
    return text ? QByteArray(reinterpret_cast<const char*>(text->data()), static_cast<qsizetype>(text->size() * 2)).toHex(' ')
                : QByteArray("<none>");
}

// The folder each case looks in holds: file (4 bytes), empty, big (2 MiB), folder/, link ->
// file, pipe, swapped (a file that becomes a link to file), and the case
// looks at `name`.
struct InspectCase { const char* name; const char* path; Kind kind; const char* bytes; int error = 0; std::size_t limit = 1 << 20; };
const InspectCase inspectCases[] = {
    {"absent", "missing", Kind::Absent, ""},
    {"a regular file, read", "file", Kind::RegularFile, "mine"},
    {"exactly the limit", "file", Kind::RegularFile, "mine", 0, 4},
    {"beyond the limit", "big", Kind::RegularFile, "", EFBIG},
    {"a folder", "folder", Kind::Folder, ""},
    {"a link to a file: not followed", "link", Kind::Other, ""},
    {"a pipe: not waited on", "pipe", Kind::Other, ""},
    {"a file that becomes a link once looked at: not followed", "swapped", Kind::Other, ""},
    {"below a file", "file/desktop.ini", Kind::Absent, "", ENOTDIR},
};

struct SameCase { const char* name; const char* file; const char* source; bool same; int error = 0; };
const SameCase sameCases[] = {
    {"the same bytes", "copy", "file", true},
    {"the same size, other bytes", "other", "file", false},
    {"another size", "empty", "file", false},
    {"a link to the same bytes is not the file", "link", "file", false},
    {"nothing there", "missing", "file", false},
    {"a pipe there is not waited on", "pipe", "file", false},
    {"the source gone", "file", "missing", false, ENOENT},
};

class Files {
public:
    Files()
    {
        writeFile(at("file"), "mine");
        writeFile(at("copy"), "mine");
        writeFile(at("other"), "mini");
        writeFile(at("empty"), "");
        writeFile(at("big"), QByteArray(2 << 20, 'x'));
        QVERIFY(QDir().mkdir(at("folder")));
        QVERIFY(QFile::link(at("file"), at("link")));
        QCOMPARE(::mkfifo(QFile::encodeName(at("pipe")), 0600), 0);
        writeFile(at("swapped"), "ours");
        QVERIFY(QFile::link(at("file"), at("swapped-link")));
    }
    QString at(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

private:
    QTemporaryDir m_dir;
};

} // namespace

class ServicesTest : public QObject {
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

    void openFolder_runsTheOpenerAndReportsItsAnswer_data() { rows(openCases); }
    void openFolder_runsTheOpenerAndReportsItsAnswer()
    {
        const OpenCase& c = currentRow(openCases);
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("bin")), log = dir.filePath(QStringLiteral("asked"));
        const QString folder = dir.filePath(QStringLiteral("Summer Trip"));
        QVERIFY(QDir().mkpath(bin));
        if (c.folderExists)
            QVERIFY(QDir().mkpath(folder));
        if (c.opener) {
            const QString script = bin + QStringLiteral("/xdg-open");
            writeFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" > '" + log.toUtf8() + "'\n" + c.opener + "\n");
            QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.toUtf8());
        const std::error_code error = os::openFolder(folder.toStdString(), 0);
        qputenv("PATH", path);

        QCOMPARE(describe(error), describe(c.expected));
        QCOMPARE(readFile(log), c.opened ? folder.toUtf8() + '|' : QByteArray());
    }

    void encode_isExactOrNothing_data() { rows(encodeCases); }
    void encode_isExactOrNothing()
    {
        const EncodeCase& c = currentRow(encodeCases);
        QCOMPARE(shown(os::encodeExactly(c.text, c.encoding)), shown(c.expected));
    }

    void decode_isExactOrNothing_data() { rows(decodeCases); }
    void decode_isExactOrNothing()
    {
        const DecodeCase& c = currentRow(decodeCases);
        QCOMPARE(shown(os::decodeExactly(c.bytes, c.encoding)), shown(c.expected));
    }

    // Windows' lead bytes of 932, rows without a character (0x85, 0xEB) and a row whose first
    // character has a second byte of 0x9F (0x88) among them.
    void leadBytes_areWindowsOwn()
    {
        std::bitset<256> windows;
        for (int byte = 0x81; byte <= 0xFC; ++byte)
            windows.set(static_cast<std::size_t>(byte), byte <= 0x9F || byte >= 0xE0);
        QCOMPARE(os::leadBytes(os::readerEncoding()).to_string(), windows.to_string());
    }

    void inspect_neverFollowsALink_data() { rows(inspectCases); }
    void inspect_neverFollowsALink()
    {
        const InspectCase& c = currentRow(inspectCases);
        const Files files;
        os::Entry entry{Kind::Folder, "stale"};
        const auto error = os::inspect(files.at(c.path).toStdString(), true, c.limit, entry);
        QCOMPARE(describe(error), errnoText(c.error));
        if (c.error)
            return;
        QCOMPARE(entry.kind, c.kind);
        QCOMPARE(QByteArray::fromStdString(entry.bytes), QByteArray(c.bytes));
        os::Entry unread;
        QVERIFY(!os::inspect(files.at(c.path).toStdString(), false, c.limit, unread));
        QCOMPARE(unread, (os::Entry{c.kind, {}}));
    }

    void sameContents_onlyARegularFile_data() { rows(sameCases); }
    void sameContents_onlyARegularFile()
    {
        const SameCase& c = currentRow(sameCases);
        const Files files;
        bool same = !c.same;
        const auto error = os::sameContents(files.at(c.file).toStdString(), files.at(c.source).toStdString(), same);
        QCOMPARE(describe(error), errnoText(c.error));
        QCOMPARE(same, c.same);
    }
};

TESSARO_TEST_GUILESS_MAIN(ServicesTest)
#include "test_services_posix.moc"
