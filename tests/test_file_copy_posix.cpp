// Copying desktop.ini into a folder on Linux: asked before anything is replaced (also what
// appears while the copy runs), replaced atomically and durably, never written through a
// link, and every failure reported as errno names it.

#include "platform/os/os_services.h"
#include "posix_support.h"
#include "test_support.h"

#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
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
    bool folderSyncFails = false;
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
    if (watch.on) {
        watch.calls << QStringLiteral("sync ") + nameOf(fd);
        if (watch.folderSyncFails && nameOf(fd) == QLatin1String("folder")) {
            errno = EIO;
            return -1;
        }
    }
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

// Not an errno value: the copy refuses what is not a regular file with a failure of its own.
constexpr int NotAFile = -1;

QString expected(int error)
{
    return error == NotAFile ? describe(os::make_error_code(os::Failure::NotAFile)) : errnoText(error);
}

enum class Existing { Nothing, File, LinkToFile, LinkToFolder };
enum class Obstacle { None, ReadOnlyFolder, FileSizeLimit, AppearsMeanwhile, PrepareFails, FolderSyncFails };
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
    {"link to a folder, accepted", Existing::LinkToFolder, true, Replaced},
    {"appears meanwhile, declined", Existing::Nothing, false, "sync file, rename if absent", 0, Obstacle::AppearsMeanwhile},
    {"appears meanwhile, accepted", Existing::Nothing, true, "sync file, rename if absent, sync file, rename, sync folder", 0,
     Obstacle::AppearsMeanwhile},
    {"missing source", Existing::File, true, "", ENOENT, Obstacle::None, "missing.ini"},
    {"destination is a folder", Existing::Nothing, true, "", EISDIR, Obstacle::None, "desktop.ini", "Nested"},
    // Root ignores permission bits, so for root the folder is made immutable instead.
    {"read-only folder", Existing::File, true, "", ::geteuid() == 0 ? EPERM : EACCES, Obstacle::ReadOnlyFolder},
    // Fails after the first writes, as a full disk would.
    {"write fails part of the way", Existing::File, true, "", EFBIG, Obstacle::FileSizeLimit},
    // What the copy is given before it takes the name (its attributes) fails: nothing changes.
    {"preparing the copy fails", Existing::File, true, "prepare file", ENOTSUP, Obstacle::PrepareFails},
    // The rename has happened: the copy is there, and the failure is reported with it.
    {"the folder not synced after the rename", Existing::Nothing, true, "prepare file, sync file, rename if absent, sync folder", EIO,
     Obstacle::FolderSyncFails},
};

// A copy under a new name: what is there already, and whether the filesystem can rename
// without replacing. `calls` as above.
enum class There { Nothing, File, Link };
struct NewCase { const char* name; There there; bool noNoReplace; const char* calls; int error = 0; const char* source = "picture.jpg"; };
const NewCase newCases[] = {
    {"a free name", There::Nothing, false, "sync file, rename if absent, sync folder"},
    {"taken by a file", There::File, false, "sync file, rename if absent", EEXIST},
    // Without rename-if-absent a second hard link refuses a taken name just as atomically.
    {"no rename-if-absent, a free name", There::Nothing, true, "sync file, rename if absent, sync folder"},
    {"no rename-if-absent, taken", There::File, true, "sync file, rename if absent", EEXIST},
    {"the source a pipe: not waited on", There::Nothing, false, "", NotAFile, "pipe"},
};

// What a run that ended early may have left in a folder, and whether its run still goes
// (holds the file's lock through a descriptor of its own).
enum class Owner { Ended, Running };
struct LeftoverCase { const char* name; const char* entry; Owner owner; bool named; const char* after; };
const LeftoverCase leftoverCases[] = {
    {"a copy being written", ".sea.jpg.tessaro-Ab3dEf9H", Owner::Ended, false, ""},
    {"a copy being written by a run still going", ".sea.jpg.tessaro-Ab3dEf9H", Owner::Running, false, ".sea.jpg.tessaro-Ab3dEf9H"},
    {"set aside, not named", ".sea.jpg.tessaro-aside-Ab3dEf9H", Owner::Ended, false, ""},
    {"set aside, named by the decoration: given its name back", ".sea.jpg.tessaro-aside-Ab3dEf9H", Owner::Ended, true, "sea.jpg"},
    {"the user's own hidden file", ".sea.jpg.tessaro-mine", Owner::Ended, false, ".sea.jpg.tessaro-mine"},
};

// What becomes of a copy taken back: `wanted` answers the question, `meanwhile` puts another
// file under its name first.
struct TakeBackCase { const char* name; bool wanted; bool meanwhile; bool removed; QByteArray after; };
const TakeBackCase takeBackCases[] = {
    {"not wanted: removed", false, false, true, {}},
    {"named meanwhile: given its name back", true, false, false, "the copy"},
    {"named, and another copy took the name: that one stays", true, true, false, "another copy"},
};

// A file written where there may be one already (a file, or a link to the user's notes):
// what the name holds after.
struct NewFileCase { const char* name; There there; int error; const char* after; };
const NewFileCase newFileCases[] = {
    {"nothing", There::Nothing, 0, "[.ShellClassInfo]\r\n"},
    {"a file", There::File, EEXIST, "theirs"},
    {"a link to a file", There::Link, EEXIST, "mine"},
};

} // namespace

class FileCopyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void copy_replacesOnlyWhenConfirmed_data() { rows(copyCases); }
    void copy_replacesOnlyWhenConfirmed()
    {
        const CopyCase& c = currentRow(copyCases);
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
        const auto prepare = [&](const Path& file) {
            // The hidden copy in the folder, before it has the name.
            const bool temporary = file.parent_path() == at("Pictures").toStdString() && file.filename().string().starts_with('.');
            watch.calls << QStringLiteral("prepare ") + (temporary ? QStringLiteral("file") : QString::fromStdString(file.string()));
            return c.obstacle == Obstacle::PrepareFails ? std::error_code(ENOTSUP, std::system_category()) : std::error_code();
        };
        const bool prepares = c.obstacle == Obstacle::PrepareFails || c.obstacle == Obstacle::FolderSyncFails;
        watch = {true, QFileInfo(at("Pictures")).canonicalFilePath(), c.obstacle == Obstacle::AppearsMeanwhile, {}, false,
                 c.obstacle == Obstacle::FolderSyncFails};
        const os::CopyOutcome outcome = os::copyToFolder(at(c.source).toStdString(), at(c.folder).toStdString(), confirm,
                                                         os::ReplaceQuestion::NotAsked, prepares ? os::PrepareCopy(prepare) : nullptr);
        watch.on = false;
        ::setrlimit(RLIMIT_FSIZE, &saved);
        locked.reset();

        QCOMPARE(describe(outcome.error), expected(c.error));
        QCOMPARE(watch.calls.join(QStringLiteral(", ")), QString::fromLatin1(c.calls));
        // Asked once about what is there, and never by a copy that cannot start.
        const bool appeared = c.obstacle == Obstacle::AppearsMeanwhile;
        const bool asks = ((!c.error || c.obstacle != Obstacle::None) && c.existing != Existing::Nothing) || appeared;
        QCOMPARE(asked, asks ? std::vector<Path>{destination.toStdString()} : std::vector<Path>{});
        ::lstat(destination.toUtf8(), &after);
        if (appeared && !c.answer) {
            QCOMPARE(readFile(destination), QByteArray("theirs"));
        } else if ((!c.error || c.obstacle == Obstacle::FolderSyncFails) && (c.existing == Existing::Nothing || c.answer)) {
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
        QCOMPARE(outcome.placed, readFile(destination) == content);
        // No temporary file left behind, whatever happened.
        const QStringList ini{QStringLiteral("desktop.ini")};
        QCOMPARE(entriesOf(at("Pictures")), after.st_ino ? ini : QStringList());
        QCOMPARE(entriesOf(at("Nested")), ini);
    }

    void copyAsNew_neverReplaces_data() { rows(newCases); }
    void copyAsNew_neverReplaces()
    {
        const NewCase& c = currentRow(newCases);
        QTemporaryDir base;
        const auto at = [&base](const char* name) { return base.filePath(QString::fromUtf8(name)); };
        QVERIFY(QDir().mkdir(at("target")));
        const QByteArray picture = QByteArray("\xFF\xD8 a picture\r\n").repeated(3000);
        writeFile(at("picture.jpg"), picture);
        QCOMPARE(::mkfifo(QFile::encodeName(at("pipe")), 0600), 0);
        const QString destination = at("target/海 (2).jpg");
        if (c.there == There::File)
            writeFile(destination, "theirs");
        const QStringList before = entriesOf(at("target"));

        watch = {true, QFileInfo(at("target")).canonicalFilePath(), false, {}, c.noNoReplace, false};
        const os::CopyOutcome outcome = os::copyAsNew(at(c.source).toStdString(), at("target").toStdString(), "海 (2).jpg");
        watch.on = false;

        QCOMPARE(describe(outcome.error), expected(c.error));
        QCOMPARE(outcome.placed, !c.error);
        QCOMPARE(watch.calls.join(QStringLiteral(", ")), QString::fromLatin1(c.calls));
        QCOMPARE(entriesOf(at("target")), c.error ? before : QStringList{QStringLiteral("海 (2).jpg")});
        // The copy, or what another program put under the name first.
        QCOMPARE(readFile(destination), c.there == There::File ? QByteArray("theirs") : c.error ? QByteArray() : picture);
    }

    void removeLeftovers_onlyThoseOfRunsThatEnded_data() { rows(leftoverCases); }
    void removeLeftovers_onlyThoseOfRunsThatEnded()
    {
        const LeftoverCase& c = currentRow(leftoverCases);
        QTemporaryDir folder;
        const QString entry = folder.filePath(QString::fromLatin1(c.entry));
        writeFile(entry, "a picture");
        const int held = ::open(QFile::encodeName(entry), O_RDWR | O_CLOEXEC);
        QVERIFY(held >= 0);
        if (c.owner == Owner::Running)
            QCOMPARE(::flock(held, LOCK_EX), 0);
        QStringList asked;
        os::removeLeftovers(folder.path().toStdString(), [&](const Path& name) {
            asked << QString::fromStdString(name.string());
            return c.named;
        });
        ::close(held);
        const QString after = QString::fromLatin1(c.after);
        QCOMPARE(entriesOf(folder.path()), after.isEmpty() ? QStringList() : QStringList{after});
        if (!after.isEmpty())
            QCOMPARE(readFile(folder.filePath(after)), QByteArray("a picture"));
        QCOMPARE(asked, QString::fromLatin1(c.entry).contains(QLatin1String("aside")) && c.owner == Owner::Ended
                            ? QStringList{QStringLiteral("sea.jpg")} : QStringList());
    }

    void removeStaleFolders_onlyThoseNoRunHolds()
    {
        QTemporaryDir base;
        for (const char* name : {"tessaro-Ended1", "tessaro-Going1", "tessaro-other", "mine-Ended1"}) {
            QVERIFY(QDir(base.path()).mkdir(QString::fromLatin1(name)));
            writeFile(base.filePath(QString::fromLatin1(name) + QStringLiteral("/desktop.ini")), "staged");
        }
        const os::FolderHold going(base.filePath(QStringLiteral("tessaro-Going1")).toStdString());
        QVERIFY(going.held());
        os::removeStaleFolders(base.path().toStdString(), "tessaro-");
        QCOMPARE(entriesOf(base.path()), (QStringList{QStringLiteral("mine-Ended1"), QStringLiteral("tessaro-Going1"), QStringLiteral("tessaro-other")}));
    }

    void takeBack_asksWhileTheNameIsFree_data() { rows(takeBackCases); }
    void takeBack_asksWhileTheNameIsFree()
    {
        const TakeBackCase& c = currentRow(takeBackCases);
        QTemporaryDir folder;
        const QString copy = folder.filePath(QStringLiteral("sea.jpg"));
        writeFile(copy, "the copy");
        bool nameFree = false;
        bool removed = !c.removed;
        const auto error = os::takeBack(folder.path().toStdString(), "sea.jpg", [&](const Path& aside) {
            nameFree = !QFileInfo::exists(copy) && readFile(QString::fromStdString(aside.string())) == "the copy";
            if (c.meanwhile)
                writeFile(copy, "another copy");
            return c.wanted;
        }, removed);
        QCOMPARE(describe(error), errnoText(0));
        QVERIFY(nameFree);
        QCOMPARE(removed, c.removed);
        QCOMPARE(entriesOf(folder.path()), c.after.isEmpty() ? QStringList() : QStringList{QStringLiteral("sea.jpg")});
        QCOMPARE(readFile(copy), c.after);
    }

    void writeNewFile_neverOpensWhatIsThere_data() { rows(newFileCases); }
    void writeNewFile_neverOpensWhatIsThere()
    {
        const NewFileCase& c = currentRow(newFileCases);
        QTemporaryDir base;
        const QString file = base.filePath(QStringLiteral("desktop.ini")), notes = base.filePath(QStringLiteral("notes.txt"));
        writeFile(notes, "mine");
        if (c.there == There::File)
            writeFile(file, "theirs");
        if (c.there == There::Link)
            QVERIFY(QFile::link(notes, file));
        QCOMPARE(describe(os::writeNewFile(file.toStdString(), "[.ShellClassInfo]\r\n")), errnoText(c.error));
        QCOMPARE(readFile(notes), QByteArray("mine"));
        QCOMPARE(readFile(file), QByteArray(c.after));
    }
};

TESSARO_TEST_GUILESS_MAIN(FileCopyTest)
#include "test_file_copy_posix.moc"
