// A volume that stops answering, for real: an NTFS image mounted through FUSE by ntfs-3g,
// whose daemon is then stopped (SIGSTOP), as a hung network share or sshfs behaves. The
// lists must not wait for it on the window's thread: the window answers throughout, and the
// user is told the volume does not answer.
//
// The mount lives in a mount namespace of this test's own, so that no other program on the
// machine ever sees it stop. The daemon is let go on (SIGCONT) and the volume unmounted
// however a test ends; a watchdog lets it go on should a list wait for it after all, so that
// the test fails instead of hanging; and the daemon dies with the test should that crash.
// Skipped, with the reason, where /dev/fuse, ntfs-3g or the right to mount are missing.

#include "fake_volumes.h"
#include "platform/os/native_path.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/folder_reading.h"
#include "gui_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtTest>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Longer than any list may wait for a volume, far shorter than the suite's time limit.
constexpr auto WatchdogTime = std::chrono::seconds(10);

// Called before any thread starts: a mount namespace is per thread, and the lists' workers
// must share this one.
QString enterPrivateMountNamespace()
{
    if (::geteuid() != 0)
        return QStringLiteral("mounting needs root");
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return QStringLiteral("/dev/fuse is missing");
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QStringLiteral("no mount namespace of its own: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

QString tool(const QString& name)
{
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin"), QStringLiteral("/bin")});
}

bool mounted(const QString& point)
{
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        if (line.find(' ' + point.toStdString() + ' ') != std::string::npos)
            return true;
    }
    return false;
}

// The longest the event loop went without running a timer of 20 ms: how long the window
// would not have answered.
class Ticker {
public:
    Ticker()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
        });
        m_clock.start();
        m_timer.start(20);
    }
    qint64 longestGapMs() const { return std::max(m_longest, m_clock.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

} // namespace

class DeadVolumeTest : public QObject {
    Q_OBJECT
public:
    explicit DeadVolumeTest(QString unavailable) : m_unavailable(std::move(unavailable)) {}

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { release(); }
    void init();
    void cleanup();

    void folderList_setPathThere_windowAnswersAndIsTold();
    void folderList_clickOnTheMountPoint_windowAnswersAndIsTold();
    void fileList_folderThere_windowAnswersAndListsNothing();
    void driveList_opened_showsTheDriveNotAnswering();

private:
    QString path(const QString& relative = {}) const { return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative); }
    QString volume(const QString& relative = {}) const { return relative.isEmpty() ? path(QStringLiteral("volume")) : path(QStringLiteral("volume/") + relative); }
    void resume();
    void release();
    void watch();

    QString m_unavailable;
    QTemporaryDir m_dir;
    std::optional<FakeVolumes> m_volumes;  // the temporary folder as a drive, the volume mounted below
    pid_t m_daemon = -1;
    std::thread m_watchdog;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_watching = false;
    bool m_fired = false;
};

void DeadVolumeTest::initTestCase()
{
    if (!m_unavailable.isEmpty())
        QSKIP(qPrintable(m_unavailable));
    const QString mkntfs = tool(QStringLiteral("mkntfs")), ntfs3g = tool(QStringLiteral("ntfs-3g"));
    if (mkntfs.isEmpty() || ntfs3g.isEmpty())
        QSKIP("mkntfs or ntfs-3g is missing (Debian: ntfs-3g)");
    QFile image(path(QStringLiteral("ntfs.img")));
    QVERIFY(image.open(QIODevice::WriteOnly) && image.resize(16 << 20));
    image.close();
    QProcess format;
    format.start(mkntfs, {QStringLiteral("-F"), QStringLiteral("-q"), QStringLiteral("-f"), image.fileName()});
    QVERIFY(format.waitForFinished(30000) && format.exitCode() == 0);
    QVERIFY(QDir().mkpath(volume()));

    const QByteArray program = QFile::encodeName(ntfs3g), source = QFile::encodeName(image.fileName()), point = QFile::encodeName(volume());
    m_daemon = ::fork();
    if (m_daemon == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        ::execl(program.constData(), program.constData(), "-o", "no_detach", source.constData(), point.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    QVERIFY(m_daemon > 0);
    QTRY_VERIFY_WITH_TIMEOUT(mounted(volume()), 10000);
    for (const char* folder : {"photos/2023", "photos/2024"})
        QVERIFY(QDir(volume()).mkpath(QLatin1String(folder)));
    writeFile(volume(QStringLiteral("photos/a.jpg")), "x");
    QVERIFY(QDir().mkpath(path(QStringLiteral("local"))));
    m_volumes.emplace(std::vector<os::Path>{toPath(path()), toPath(volume())});
}

// Each test starts with the volume stopped, as a hung share would be.
void DeadVolumeTest::init()
{
    QVERIFY(m_daemon > 0);
    QVERIFY(::kill(m_daemon, SIGSTOP) == 0);
    watch();
}

void DeadVolumeTest::cleanup()
{
    {
        const std::lock_guard lock(m_mutex);
        m_watching = false;
    }
    m_wake.notify_all();
    if (m_watchdog.joinable())
        m_watchdog.join();
    resume();
    // The workers the volume held now come back.
    QVERIFY(folderReaderPool()->waitForDone(10000));
    QVERIFY2(!m_fired, "the window's thread waited for the stopped volume");
}

// Lets the daemon go on after WatchdogTime, should the test not have ended by then.
void DeadVolumeTest::watch()
{
    m_watching = true;
    m_fired = false;
    m_watchdog = std::thread([this] {
        std::unique_lock lock(m_mutex);
        if (!m_wake.wait_for(lock, WatchdogTime, [this] { return !m_watching; })) {
            m_fired = true;
            ::kill(m_daemon, SIGCONT);
        }
    });
}

void DeadVolumeTest::resume()
{
    if (m_daemon > 0)
        ::kill(m_daemon, SIGCONT);
}

void DeadVolumeTest::release()
{
    m_volumes.reset();
    if (m_daemon <= 0)
        return;
    resume();
    folderReaderPool()->waitForDone(10000);
    ::umount2(QFile::encodeName(volume()).constData(), MNT_DETACH);
    ::waitpid(m_daemon, nullptr, 0);
    m_daemon = -1;
}

void DeadVolumeTest::folderList_setPathThere_windowAnswersAndIsTold()
{
    FolderList tree;
    QVERIFY(tree.setPath(path(QStringLiteral("local"))));
    QSignalSpy failures(&tree, &FolderList::failed);
    const Ticker ticker;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(tree.setPath(volume(QStringLiteral("photos"))));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(tree.path(), path(QStringLiteral("local"))); // stays until the volume answers
    QVERIFY(failures.wait(int(AnswerTimeLimit.count()) * 2 + 1000));
    QVERIFY(failures.front().front().toString().contains(QStringLiteral("応答がありません")));
    QVERIFY2(ticker.longestGapMs() < 1000, qPrintable(QString::number(ticker.longestGapMs())));
    QCOMPARE(tree.path(), path(QStringLiteral("local")));
}

// The mount point is a folder in the tree; the user clicks it, and it is the current folder
// at once, but its subfolders never come.
void DeadVolumeTest::folderList_clickOnTheMountPoint_windowAnswersAndIsTold()
{
    FolderList tree;
    QVERIFY(tree.setPath(path()));
    const QModelIndexList found = tree.model()->match(tree.model()->index(0, 0, tree.currentIndex()), Qt::DisplayRole, QStringLiteral("volume"));
    QCOMPARE(found.size(), 1);
    QSignalSpy failures(&tree, &FolderList::failed);
    const Ticker ticker;
    tree.selectionModel()->setCurrentIndex(found.front(), QItemSelectionModel::ClearAndSelect);
    QCOMPARE(tree.path(), volume());
    QVERIFY(failures.wait(int(AnswerTimeLimit.count()) * 2 + 1000));
    QVERIFY(failures.front().front().toString().contains(QStringLiteral("応答がありません")));
    QVERIFY2(ticker.longestGapMs() < 1000, qPrintable(QString::number(ticker.longestGapMs())));
    QCOMPARE(tree.path(), volume());
}

void DeadVolumeTest::fileList_folderThere_windowAnswersAndListsNothing()
{
    FileList list;
    const Ticker ticker;
    QVERIFY(list.setPath(volume(QStringLiteral("photos"))));
    QVERIFY(list.filling());
    QTRY_VERIFY_WITH_TIMEOUT(!list.filling(), int(AnswerTimeLimit.count()) * 2 + 1000);
    QCOMPARE(list.count(), 0);
    QVERIFY2(ticker.longestGapMs() < 1000, qPrintable(QString::number(ticker.longestGapMs())));
}

// The machine's own volumes, read from its mount table as the program reads them.
void DeadVolumeTest::driveList_opened_showsTheDriveNotAnswering()
{
    const VolumeService* fake = replaceVolumeService(nullptr);
    FakeDialogs dialogs;
    DriveList drives(dialogs);
    replaceVolumeService(fake);
    const Ticker ticker;
    drives.showPopup();
    const int stopped = drives.findText(volume(), Qt::MatchStartsWith);
    QVERIFY(stopped >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(drives.itemText(stopped).endsWith(QStringLiteral("(応答がありません)")), int(AnswerTimeLimit.count()) * 2 + 1000);
    drives.hidePopup();
    QVERIFY2(ticker.longestGapMs() < 1000, qPrintable(QString::number(ticker.longestGapMs())));
}

int main(int argc, char* argv[])
{
    const QString unavailable = enterPrivateMountNamespace();
    QApplication app(argc, argv);
    DeadVolumeTest test(unavailable);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_dead_volume_posix.moc"
