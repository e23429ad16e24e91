// Copying desktop.ini into a folder on Linux: asked before anything is replaced (also what
// appears while the copy runs), replaced atomically and durably, never written through a
// link, and every failure reported as errno names it.

#include "platform/os/os_services.h"
#include "posix_support.h"
#include "test_support.h"

#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <utility>

using namespace tessaro;
using namespace tessaro::test;
using os::Path;

namespace {

// What the copy asks of the kernel, seen from outside it: this program's own fsync() and
// renames (below) write down each call while a copy runs, then pass it on.
struct Watch {
    bool on = false;
    QString folder;         // the destination folder
    bool intrude = false;   // another program writes a desktop.ini just before the first rename
    QStringList calls;
    bool noNoReplace = false; // the filesystem cannot rename without replacing (EINVAL)
};
Watch watch;

QString nameOf(int fd)
{
    const QString path = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
    if (path == watch.folder)
        return QStringLiteral("folder");
    // The temporary file: a dot, the final name, a dot and a suffix.
    return QFileInfo(path).fileName().startsWith(QLatin1Char('.')) ? QStringLiteral("file") : path;
}

int watchedRename(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    if (watch.on) {
        watch.calls << (flags & RENAME_NOREPLACE ? QStringLiteral("rename if absent") : QStringLiteral("rename"));
        if (watch.noNoReplace && (flags & RENAME_NOREPLACE)) {
            errno = EINVAL;
            return -1;
        }
        if (std::exchange(watch.intrude, false)) {
            const int fd = ::openat(toDir, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                [[maybe_unused]] const ssize_t written = ::write(fd, "theirs", 6); // the test reads it back
                ::close(fd);
            }
        }
    }
    return static_cast<int>(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}

} // namespace

extern "C" int fsync(int fd)
{
    if (watch.on)
        watch.calls << QStringLiteral("sync ") + nameOf(fd);
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int renameat(int fromDir, const char* from, int toDir, const char* to) __THROW
{
    return watchedRename(fromDir, from, toDir, to, 0);
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) __THROW
{
    return watchedRename(fromDir, from, toDir, to, flags);
}

namespace {

enum class Existing { Nothing, File, LinkToFile, DanglingLink, LinkToFolder };
enum class Obstacle { None, ReadOnlyFolder, FileSizeLimit, AppearsMeanwhile };
// `calls`: the file's contents reach the disk before the rename, the rename before the
// folder's, and a rename into an empty place never replaces what appeared meanwhile.
struct CopyCase { const char* name; Existing existing; bool answer; const char* calls; int error = 0;
                  Obstacle obstacle = Obstacle::None; const char* source = "desktop.ini"; const char* folder = "Pictures"; };
constexpr const char* Fresh = "sync file, rename if absent, sync folder";
constexpr const char* Replaced = "sync file, rename, sync folder";
const CopyCase copyCases[] = {
    {"into an empty folder", Existing::Nothing, false, Fresh},
    {"file, declined", Existing::File, false, ""},
    {"file, accepted", Existing::File, true, Replaced},
    {"link to a file, accepted", Existing::LinkToFile, true, Replaced},
    {"dangling link, accepted", Existing::DanglingLink, true, Replaced},
    {"link to a folder, accepted", Existing::LinkToFolder, true, Replaced},
    {"appears meanwhile, declined", Existing::Nothing, false, "sync file, rename if absent", 0, Obstacle::AppearsMeanwhile},
    {"appears meanwhile, accepted", Existing::Nothing, true, "sync file, rename if absent, rename, sync folder", 0,
     Obstacle::AppearsMeanwhile},
    {"missing folder", Existing::Nothing, true, "", ENOENT, Obstacle::None, "desktop.ini", "missing"},
    {"folder is a file", Existing::Nothing, true, "", ENOTDIR, Obstacle::None, "desktop.ini", "desktop.ini"},
    {"missing source", Existing::File, true, "", ENOENT, Obstacle::None, "missing.ini"},
    {"source is a folder", Existing::File, true, "", EISDIR, Obstacle::None, "Nested"},
    {"destination is a folder", Existing::Nothing, true, "", EISDIR, Obstacle::None, "desktop.ini", "Nested"},
    // Root ignores permission bits, so for root the folder is made immutable instead.
    {"read-only folder", Existing::File, true, "", ::geteuid() == 0 ? EPERM : EACCES, Obstacle::ReadOnlyFolder},
    // Fails after the first writes, as a full disk would.
    {"write fails part of the way", Existing::File, true, "", EFBIG, Obstacle::FileSizeLimit},
};

// A copy under a new name: what is there already, and whether the filesystem can rename
// without replacing. `calls` as above.
enum class There { Nothing, File, Link, DanglingLink, Folder };
struct NewCase { const char* name; There there; bool noNoReplace; const char* calls; int error = 0; const char* source = "picture.jpg"; };
const NewCase newCases[] = {
    {"a free name", There::Nothing, false, "sync file, rename if absent, sync folder"},
    {"taken by a file", There::File, false, "sync file, rename if absent", EEXIST},
    {"taken by a link", There::Link, false, "sync file, rename if absent", EEXIST},
    {"taken by a folder", There::Folder, false, "sync file, rename if absent", EEXIST},
    // Without rename-if-absent a second hard link refuses a taken name just as atomically.
    {"no rename-if-absent, a free name", There::Nothing, true, "sync file, rename if absent, sync folder"},
    {"no rename-if-absent, taken", There::File, true, "sync file, rename if absent", EEXIST},
    {"the source a pipe: not waited on", There::Nothing, false, "", EINVAL, "pipe"},
};

} // namespace

class FileCopyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
        writeFile(at("desktop.ini"), content);
        if (c.existing == Existing::File || c.existing == Existing::LinkToFile)
            writeFile(c.existing == Existing::File ? destination : target, "old");
        if (c.existing == Existing::LinkToFolder)
            QVERIFY(QDir().mkdir(target));
        if (c.existing >= Existing::LinkToFile)
            QCOMPARE(::symlink(QFile::encodeName(target), QFile::encodeName(destination)), 0);
        struct stat before {}, after {};
        ::lstat(destination.toUtf8(), &before);

        std::optional<ReadOnlyFolder> locked;
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
        watch = {true, QFileInfo(at("Pictures")).canonicalFilePath(), c.obstacle == Obstacle::AppearsMeanwhile, {}, false};
        const auto error = os::copyToFolder(at(c.source).toStdString(), at(c.folder).toStdString(), confirm);
        watch.on = false;
        ::setrlimit(RLIMIT_FSIZE, &saved);
        locked.reset();

        QCOMPARE(describe(error), errnoText(c.error));
        QCOMPARE(watch.calls.join(QStringLiteral(", ")), QString::fromLatin1(c.calls));
        // Asked once about what is there, and never by a copy that cannot start.
        const bool appeared = c.obstacle == Obstacle::AppearsMeanwhile;
        const bool asks = ((!c.error || c.obstacle != Obstacle::None) && c.existing != Existing::Nothing) || appeared;
        QCOMPARE(asked, asks ? std::vector<Path>{destination.toStdString()} : std::vector<Path>{});
        ::lstat(destination.toUtf8(), &after);
        if (appeared && !c.answer) {
            QCOMPARE(readFile(destination), QByteArray("theirs"));
        } else if (!c.error && (c.existing == Existing::Nothing || c.answer)) {
            // A new regular file renamed into place, never written through a link or rewritten
            // in place, with the mode any new file in the folder gets (not mkstemp's 0600).
            const mode_t mask = ::umask(022);
            ::umask(mask);
            QCOMPARE(after.st_mode, S_IFREG | (0666 & ~mask));
            QVERIFY(after.st_ino != before.st_ino);
            QCOMPARE(readFile(destination), content);
        } else {
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(readFile(destination), c.existing == Existing::File ? QByteArray("old") : QByteArray());
        }
        if (c.existing == Existing::LinkToFile)
            QCOMPARE(readFile(target), QByteArray("old"));
        if (c.existing == Existing::LinkToFolder)
            QCOMPARE(entriesOf(target), QStringList());
        // No temporary file left behind, whatever happened.
        const QStringList ini{QStringLiteral("desktop.ini")};
        QCOMPARE(entriesOf(at("Pictures")), after.st_ino ? ini : QStringList());
        QCOMPARE(entriesOf(at("Nested")), ini);
    }

    void copyAsNew_neverReplaces_data() { rows(newCases); }
    void copyAsNew_neverReplaces()
    {
        QFETCH(int, row);
        const NewCase& c = newCases[row];
        QTemporaryDir base;
        const auto at = [&base](const char* name) { return base.filePath(QString::fromUtf8(name)); };
        QVERIFY(QDir().mkdir(at("target")));
        const QByteArray picture = QByteArray("\xFF\xD8 a picture\r\n").repeated(3000);
        writeFile(at("picture.jpg"), picture);
        writeFile(at("notes.txt"), "mine");
        QCOMPARE(::mkfifo(QFile::encodeName(at("pipe")), 0600), 0);
        const QString destination = at("target/海 (2).jpg");
        if (c.there == There::File)
            writeFile(destination, "theirs");
        if (c.there == There::Link || c.there == There::DanglingLink)
            QVERIFY(QFile::link(c.there == There::Link ? at("notes.txt") : at("nothing"), destination));
        if (c.there == There::Folder)
            QVERIFY(QDir().mkdir(destination));
        const QStringList before = entriesOf(at("target"));

        watch = {true, QFileInfo(at("target")).canonicalFilePath(), false, {}, c.noNoReplace};
        const auto error = os::copyAsNew(at(c.source).toStdString(), at("target").toStdString(), "海 (2).jpg");
        watch.on = false;

        QCOMPARE(describe(error), errnoText(c.error));
        QCOMPARE(watch.calls.join(QStringLiteral(", ")), QString::fromLatin1(c.calls));
        QCOMPARE(entriesOf(at("target")), c.error ? before : QStringList{QStringLiteral("海 (2).jpg")});
        if (!c.error)
            QCOMPARE(readFile(destination), picture);
        if (c.there == There::File)
            QCOMPARE(readFile(destination), QByteArray("theirs"));
        QCOMPARE(readFile(at("notes.txt")), QByteArray("mine"));
    }

    void writeNewFile_neverOpensWhatIsThere_data()
    {
        QTest::addColumn<int>("there");
        QTest::addColumn<int>("error");
        QTest::newRow("nothing") << int(There::Nothing) << 0;
        QTest::newRow("a file") << int(There::File) << EEXIST;
        QTest::newRow("a link to a file") << int(There::Link) << EEXIST;
        QTest::newRow("a dangling link") << int(There::DanglingLink) << EEXIST;
    }
    void writeNewFile_neverOpensWhatIsThere()
    {
        QFETCH(int, there);
        QFETCH(int, error);
        QTemporaryDir base;
        const QString file = base.filePath(QStringLiteral("desktop.ini")), notes = base.filePath(QStringLiteral("notes.txt"));
        writeFile(notes, "mine");
        if (there == int(There::File))
            writeFile(file, "theirs");
        if (there == int(There::Link) || there == int(There::DanglingLink))
            QVERIFY(QFile::link(there == int(There::Link) ? notes : base.filePath(QStringLiteral("nothing")), file));
        QCOMPARE(describe(os::writeNewFile(file.toStdString(), "[.ShellClassInfo]\r\n")), errnoText(error));
        QCOMPARE(readFile(notes), QByteArray("mine"));
        QVERIFY(!QFile::exists(base.filePath(QStringLiteral("nothing"))));
        QCOMPARE(readFile(file), there == int(There::Nothing) ? QByteArray("[.ShellClassInfo]\r\n")
                                 : there == int(There::File) ? QByteArray("theirs") : there == int(There::Link) ? QByteArray("mine") : QByteArray());
    }

};

QTEST_GUILESS_MAIN(FileCopyTest)
#include "test_file_copy_posix.moc"
