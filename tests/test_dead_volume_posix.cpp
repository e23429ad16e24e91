// A volume that stops answering, for real: an NTFS image mounted through FUSE by ntfs-3g,
// its daemon stopped (SIGSTOP) as a hung share's would be. The window must answer
// throughout, and the user be told. The mount lives in a mount namespace of the test's own,
// so no other program sees it stop; the daemon goes on (SIGCONT) however a test ends, a
// watchdog lets it go on should a list wait for it after all (the test then fails instead
// of hanging), and it dies with the test. Skipped, saying why, without /dev/fuse, ntfs-3g
// or the right to mount.

#include "app/form1.h"
#include "platform/os/native_path.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/folder_reading.h"
#include "gui_support.h"
#include "posix_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Longer than any list may wait for a volume, far shorter than the suite's time limit.
constexpr auto WatchdogTime = std::chrono::seconds(10);

// Called before any thread starts: a mount namespace is per thread, and the lists' workers
// must share this one. Without root it fails; without /dev/fuse the volume says why.
QString enterPrivateMountNamespace()
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QStringLiteral("no mount namespace of its own: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

} // namespace

class DeadVolumeTest : public QObject {
    Q_OBJECT
public:
    explicit DeadVolumeTest(QString unavailable) : m_unavailable(std::move(unavailable)) {}

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_unavailable.isEmpty())
            QSKIP(qPrintable(m_unavailable));
        m_ntfs.emplace(16);
        if (!m_ntfs->why().isEmpty())
            QSKIP(qPrintable(m_ntfs->why()));
        m_daemon = m_ntfs->daemon();
        for (const char* folder : {"photos/2023", "photos/2024"})
            QVERIFY(QDir(volume()).mkpath(QLatin1String(folder)));
        writeFile(volume(QStringLiteral("photos/a.jpg")), "x");
        QVERIFY(QDir().mkpath(path(QStringLiteral("local"))));
        m_volumes.emplace(std::vector<os::Path>{toPath(path()), toPath(volume())});
    }

    // Each test starts with the volume stopped, as a hung share would be, and a watchdog that
    // lets it go on after WatchdogTime, should the test not have ended by then.
    void init()
    {
        QVERIFY(m_daemon > 0);
        QVERIFY(::kill(m_daemon, SIGSTOP) == 0);
        m_fired = false;
        m_watchdog = std::jthread([this](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            if (!wake.wait_for(lock, stop, WatchdogTime, [] { return false; }) && !stop.stop_requested()) {
                m_fired = true;
                ::kill(m_daemon, SIGCONT);
            }
        });
    }

    void cleanup()
    {
        m_watchdog = {};
        if (m_daemon > 0)
            ::kill(m_daemon, SIGCONT);
        // The workers the volume held now come back.
        QVERIFY(folderReaderPool()->waitForDone(10000));
        QVERIFY2(!m_fired, "the window's thread waited for the stopped volume");
    }

    // The list stays where it was until the volume answers; it does not, and the user is told.
    void folderList_setPathThere_staysAndIsTold()
    {
        FolderList tree;
        QVERIFY(tree.setPath(path(QStringLiteral("local"))));
        QSignalSpy failures(&tree, &FolderList::failed);
        expectAnswering([&] { return tree.setPath(volume(QStringLiteral("photos"))) && tree.path() == path(QStringLiteral("local")); },
                        [&] { return !failures.isEmpty(); });
        QVERIFY(failures.value(0).value(0).toString().contains(QStringLiteral("応答がありません")));
        QCOMPARE(tree.path(), path(QStringLiteral("local")));
    }

    // The mount point is a folder of the tree: clicked, it is the current folder at once, but
    // its subfolders never come.
    void folderList_mountPointClicked_isCurrentAndIsTold()
    {
        FolderList tree;
        QVERIFY(tree.setPath(path()));
        const QModelIndexList found = tree.model()->match(tree.model()->index(0, 0, tree.currentIndex()), Qt::DisplayRole, QStringLiteral("mnt"));
        QSignalSpy failures(&tree, &FolderList::failed);
        expectAnswering([&] {
            tree.selectionModel()->setCurrentIndex(found.value(0), QItemSelectionModel::ClearAndSelect);
            return tree.path() == volume();
        }, [&] { return !failures.isEmpty(); });
        QVERIFY(failures.value(0).value(0).toString().contains(QStringLiteral("応答がありません")));
    }

    void fileList_folderThere_listsNothing()
    {
        FileList list;
        expectAnswering([&] { return list.setPath(volume(QStringLiteral("photos"))) && list.filling(); }, [&] { return !list.filling(); });
        QCOMPARE(list.count(), 0);
    }

    // The machine's own volumes, from its mount table, as the program reads them.
    void driveList_opened_showsTheDriveNotAnswering()
    {
        const VolumeService* fake = replaceVolumeService(nullptr);
        FakeDialogs dialogs;
        DriveList drives(dialogs);
        replaceVolumeService(fake);
        expectAnswering([&] {
            drives.showPopup();
            return drives.findText(volume(), Qt::MatchStartsWith) >= 0;
        }, [&] { return drives.itemText(drives.findText(volume(), Qt::MatchStartsWith)).endsWith(QStringLiteral("(応答がありません)")); });
        drives.hidePopup();
    }

    // Apply waits for the volume behind the window; a second press is refused and told, and the
    // apply goes on once the volume answers.
    void apply_targetThere_windowAnswersUntilTheVolumeDoes()
    {
        TempHome home;
        QVERIFY(twoColourImage(QSize(4, 4), Qt::red, Qt::red).save(home.mkpath(QStringLiteral("Documents/My Pictures")) + QStringLiteral("/sea.bmp")));
        const FakeVolumes volumes({os::systemVolume(), toPath(volume())});
        FakeDialogs dialogs;
        Form1 form(dialogs);
        ::kill(m_daemon, SIGCONT);
        QVERIFY(form.findChild<FolderList*>(QStringLiteral("Dir2"))->setPath(volume(QStringLiteral("photos"))));
        QVERIFY(::kill(m_daemon, SIGSTOP) == 0);
        form.findChild<FileList*>(QStringLiteral("File1"))->setListIndex(0);
        auto* apply = form.findChild<QPushButton*>(QStringLiteral("Command1"));
        const auto* commands = form.findChild<BackgroundCommand*>();

        QElapsedTimer waited;
        waited.start();
        expectAnswering([&] {
            QTest::mouseClick(apply, Qt::LeftButton);
            return commands->busy();
        }, [&] { return waited.elapsed() >= AnswerTimeLimit.count(); });
        QVERIFY(commands->busy());
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.front().startsWith(QStringLiteral("前の操作がまだ終わっていません。")));

        ::kill(m_daemon, SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(!commands->busy(), 10000);
        QCOMPARE(dialogs.questions.size(), 1); // copy the picture in? No: nothing changes
        QVERIFY(!QFile::exists(volume(QStringLiteral("photos/desktop.ini"))));
    }

    // Setting a watch on the stopped volume holds the watching thread: it is given up after
    // the time limit, and the other folders are watched again without it.
    void folderWatcher_volumeThere_othersStillWatched()
    {
        FolderWatch watcher;
        QSignalSpy changes(&watcher, &FolderWatch::changed);
        const QString local = path(QStringLiteral("local"));
        int touched = 0;
        expectAnswering([&] {
            watcher.setFolders({volume(QStringLiteral("photos/2024")), local});
            return true;
        }, [&] {
            // Until a watch reports it.
            writeFile(local + QStringLiteral("/touched %1").arg(++touched), "x");
            return changes.contains(QVariantList{local});
        });
    }

private:
    QString path(const QString& relative = {}) const { return relative.isEmpty() ? m_ntfs->folder() : m_ntfs->folder() + u'/' + relative; }
    QString volume(const QString& relative = {}) const { return m_ntfs->path(relative); }

    // `step` is done at once, and the window answers throughout, until `told`.
    static void expectAnswering(const std::function<bool()>& step, const std::function<bool()>& told)
    {
        // The longest the event loop went without running a timer of 20 ms: how long the window
        // would not have answered.
        QElapsedTimer clock, sinceTick;
        qint64 longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
        clock.start();
        sinceTick.start();
        ticker.start(20);
        QVERIFY(step());
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(told(), int(AnswerTimeLimit.count()) * 2 + 1000);
        longest = std::max(longest, sinceTick.elapsed());
        QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
    }

    QString m_unavailable;
    std::optional<NtfsMount> m_ntfs;
    std::optional<FakeVolumes> m_volumes;  // the temporary folder as a drive, the volume as another
    pid_t m_daemon = -1;
    std::jthread m_watchdog;
    bool m_fired = false;
};

int main(int argc, char* argv[])
{
    const QString unavailable = enterPrivateMountNamespace();
    QApplication app(argc, argv);
    DeadVolumeTest test(unavailable);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_dead_volume_posix.moc"
