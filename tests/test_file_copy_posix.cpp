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
};
Watch watch;

QString nameOf(int fd)
{
    const QString path = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
    if (path == watch.folder)
        return QStringLiteral("folder");
    return QFileInfo(path).fileName().startsWith(QStringLiteral(".desktop.ini.")) ? QStringLiteral("file") : path;
}

int watchedRename(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    if (watch.on) {
        watch.calls << (flags & RENAME_NOREPLACE ? QStringLiteral("rename if absent") : QStringLiteral("rename"));
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
        watch = {true, QFileInfo(at("Pictures")).canonicalFilePath(), c.obstacle == Obstacle::AppearsMeanwhile, {}};
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

};

QTEST_GUILESS_MAIN(FileCopyTest)
#include "test_file_copy_posix.moc"
