// The folder list, shown offscreen on a drive of the test's own: the highlighted folder is
// the current path however it moves (click, keys, code), a click never moves another row
// under the pointer, the keys move without opening, names are used exactly or not at all,
// and a folder too big to read on the spot is read on a worker without showing the
// subfolders twice or those of a folder left; a mount point is a folder like any other.

#include "platform/widgets/folder_list.h"

#include "big_folder.h"
#include "gui_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/folder_model.h"
#include "platform/widgets/folder_watch.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// A drive of the test's own: a temporary folder holding `folders`, the only volume the
// lists see besides the `mounts` below it.
class Drive {
public:
    explicit Drive(const QStringList& folders = {}, const QStringList& mounts = {})
    {
        std::vector<os::Path> roots{toPath(path())};
        for (const QString& folder : folders + mounts)
            QDir().mkpath(path(folder));
        for (const QString& mount : mounts)
            roots.push_back(toPath(path(mount)));
        m_volumes.emplace(roots);
    }
    QString path(const QString& relative = {}) const
    {
        return QDir::toNativeSeparators(relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative));
    }

private:
    QTemporaryDir m_dir;
    std::optional<FakeVolumes> m_volumes;
};

QStringList numbered(const QString& pattern, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << pattern.arg(i, 2, 10, QLatin1Char('0'));
    return names;
}

FolderModel* modelOf(const FolderList& tree)
{
    return static_cast<FolderModel*>(tree.model());
}

QModelIndex rowOf(const FolderList& tree, const QString& path)
{
    return modelOf(tree)->find(path);
}

QStringList subfolders(const FolderList& tree)
{
    QStringList result;
    const QModelIndex parent = tree.currentIndex();
    for (int row = 0; row < tree.model()->rowCount(parent); ++row)
        result << tree.model()->index(row, 0, parent).data().toString();
    return result;
}

// Shows the list, then moves it to `path` when one is given.
void show(FolderList& tree, const QString& path = {})
{
    tree.resize(200, 300);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QVERIFY(path.isEmpty() || tree.setPath(path));
}

// The highlighted row, the focus frame and the path name one folder.
void checkOneFolder(const FolderList& tree, const QModelIndex& row)
{
    QCOMPARE(tree.currentIndex(), row);
    QCOMPARE(tree.selectionModel()->selectedIndexes(), QModelIndexList{row});
    QCOMPARE(tree.path(), modelOf(tree)->pathOf(row));
    QCOMPARE(tree.toolTip(), tree.path());
}

} // namespace

class FolderListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_big.make(); }
    void marks_readForRowsShownOnWorkers_onceEach_andRowsScrolledTo();
    void marks_aFolderThatDoesNotAnswerKeepsNoneOfItsSiblings_andIsAskedAgainOnceItDoes();

    // A new list reads nothing, not even the current folder. A mount point below is a folder
    // like any other.
    void setPath_aFolderIsHighlightedAndSignalledOnce_anythingElseChangesNothing()
    {
        Drive drive({QStringLiteral("one/two")}, {QStringLiteral("usb/photos")});
        writeFile(drive.path(QStringLiteral("file")), "x");
        const QString cwd = QDir::currentPath(), one = drive.path(QStringLiteral("one"));
        QDir::setCurrent(one);
        FolderList tree;
        QDir::setCurrent(cwd);
        QCOMPARE(tree.model()->rowCount(), 0);
        QSignalSpy changes(&tree, &FolderList::changed);
        QVERIFY(tree.setPath(one));
        QVERIFY(tree.setPath(one)); // no change, no signal
        for (const QString& notAFolder : {drive.path(QStringLiteral("nowhere")), drive.path(QStringLiteral("file")), QString()})
            QVERIFY(!tree.setPath(notAFolder));
        QCOMPARE(changes.size(), 1);
        checkOneFolder(tree, rowOf(tree, one));
        QVERIFY(tree.isExpanded(tree.currentIndex()));
        QCOMPARE(subfolders(tree), QStringList{QStringLiteral("two")});

        QVERIFY(tree.setPath(drive.path(QStringLiteral("usb/photos"))));
        QCOMPARE(tree.root(), drive.path());
        checkOneFolder(tree, rowOf(tree, drive.path(QStringLiteral("usb/photos"))));
    }

    void click_farFromTheMiddle_leavesPathHighlightAndPointerOnOneFolder_andOpensIt()
    {
        QStringList folders = numbered(QStringLiteral("f%1"), 60);
        for (const QString& folder : numbered(QStringLiteral("f%1"), 60))
            folders << folder + QStringLiteral("/inner");
        Drive drive(folders);
        FolderList tree;
        show(tree, drive.path(QStringLiteral("f30")));
        // On the name of a row near the bottom edge, far from the middle.
        const int y = tree.viewport()->height() - tree.visualRect(tree.currentIndex()).height();
        const QPoint at(tree.visualRect(tree.indexAt(QPoint(tree.viewport()->width() / 2, y))).left() + 8, y);
        const QPersistentModelIndex clicked = tree.indexAt(at);
        QVERIFY(clicked.isValid() && clicked != tree.currentIndex());

        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
        checkOneFolder(tree, clicked);
        QCOMPARE(tree.indexAt(at), QModelIndex(clicked));
        QVERIFY(tree.isExpanded(clicked)); // a click opens
        // The second click of a double-click leaves it open; a double-click opens it once closed.
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(tree.isExpanded(clicked));
        tree.collapse(clicked);
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(tree.isExpanded(clicked));
    }

    void arrowKeys_moveWithoutOpening_andReportWhenTheKeysRest_enterOpens()
    {
        QStringList folders;
        for (const QString& folder : numbered(QStringLiteral("f%1"), 5))
            folders << folder + QStringLiteral("/inner");
        Drive drive(folders);
        FolderList tree;
        show(tree, drive.path());
        QSignalSpy changes(&tree, &FolderList::changed);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&tree, Qt::Key_Down);
        // A key held down comes again within the rest, before the folder it passed is reported.
        QCoreApplication::processEvents();
        checkOneFolder(tree, rowOf(tree, drive.path(QStringLiteral("f02"))));
        for (const QString& passed : numbered(QStringLiteral("f%1"), 3))
            QVERIFY2(!tree.isExpanded(rowOf(tree, drive.path(passed))), qPrintable(passed));
        QCOMPARE(changes.size(), 0);
        QTRY_COMPARE(changes.size(), 1);
        QCOMPARE(tree.path(), drive.path(QStringLiteral("f02")));

        // Enter opens the folder the keys are on and reports it at once.
        QTest::keyClick(&tree, Qt::Key_Down);
        QTest::keyClick(&tree, Qt::Key_Return);
        QCOMPARE(changes.size(), 2);
        checkOneFolder(tree, rowOf(tree, drive.path(QStringLiteral("f03"))));
        QVERIFY(tree.isExpanded(tree.currentIndex()));
    }

    // Bytes that are not UTF-8 show as a replacement character, as does the real folder named
    // so beside it: entering the first must not enter the second, nor jump anywhere silently.
    void undecodableFolder_isReportedAndNotEntered()
    {
        if constexpr (windowsBuild)
            QSKIP("Windows names are UTF-16 and always decode");
        Drive drive({QStringLiteral("\uFFFD")});
        const std::filesystem::path undecodable = toPath(drive.path()) / std::string("\xFF");
        std::filesystem::create_directory(undecodable);
        if (!std::filesystem::exists(undecodable))
            QSKIP("this filesystem keeps only valid names");
        FolderList tree;
        QVERIFY(tree.setPath(drive.path()));
        const QModelIndex top = tree.currentIndex();
        QModelIndex inexact;
        for (int row = 0; row < tree.model()->rowCount(top); ++row) {
            if (!modelOf(tree)->exact(tree.model()->index(row, 0, top)))
                inexact = tree.model()->index(row, 0, top);
        }
        QSignalSpy failures(&tree, &FolderList::failed);
        tree.selectionModel()->setCurrentIndex(inexact, QItemSelectionModel::ClearAndSelect);
        std::filesystem::remove(undecodable); // beyond QTemporaryDir's reach
        checkOneFolder(tree, top);
        QTRY_COMPARE(failures.size(), 1);
        QVERIFY(failures.front().front().toString().contains(QStringLiteral("フォルダ名をこのシステムの文字コードで表せません")));
    }

    // Folders made and removed outside come and go in the rows shown; a folder opened again
    // shows what was made in it while it was closed, and no longer watched. A folder on the way
    // to the current one renamed, the list moves to the nearest that is left and forgets it.
    void foldersMadeAndRemovedOutside_comeAndGoWhileShown()
    {
        Drive drive({QStringLiteral("a/inner"), QStringLiteral("b")});
        FolderList tree;
        show(tree, drive.path());
        const auto* watcher = tree.findChild<FolderWatch*>();
        QVERIFY(watching(tree, drive.path()));
        QVERIFY(QDir().mkdir(drive.path(QStringLiteral("made"))));
        QTRY_VERIFY(rowOf(tree, drive.path(QStringLiteral("made"))).isValid());
        QVERIFY(QDir(drive.path(QStringLiteral("b"))).removeRecursively());
        QTRY_VERIFY(!rowOf(tree, drive.path(QStringLiteral("b"))).isValid());
        QCOMPARE(tree.path(), drive.path());

        const QModelIndex a = rowOf(tree, drive.path(QStringLiteral("a")));
        tree.expand(a);
        QVERIFY(watching(tree, drive.path(QStringLiteral("a"))));
        tree.collapse(a);
        QTRY_VERIFY(!watcher->folders().contains(drive.path(QStringLiteral("a"))) && watcher->settled());
        QVERIFY(QDir().mkdir(drive.path(QStringLiteral("a/while closed"))));
        tree.expand(a);
        QTRY_VERIFY(rowOf(tree, drive.path(QStringLiteral("a/while closed"))).isValid());
        QCOMPARE(tree.path(), drive.path());

        QVERIFY(tree.setPath(drive.path(QStringLiteral("a/inner"))));
        QVERIFY(watching(tree, drive.path(QStringLiteral("a"))));
        QVERIFY(QDir(drive.path()).rename(QStringLiteral("a"), QStringLiteral("renamed"))); // a/inner's own watch hears nothing
        QTRY_COMPARE(tree.path(), drive.path());
        checkOneFolder(tree, tree.currentIndex());
        QVERIFY(!rowOf(tree, drive.path(QStringLiteral("a"))).isValid());
    }

    // F5 reads again the marks of the folders at and below the current row: a desktop.ini
    // written into a folder no watch sees.
    void marks_readAgainOnF5()
    {
        Drive drive({QStringLiteral("a/inner"), QStringLiteral("b")});
        const QString a = drive.path(QStringLiteral("a"));
        FolderList tree;
        tree.setMarkReader([](const QString& folder) {
            return QFile::exists(folder + QStringLiteral("/desktop.ini")) ? FolderMark{FolderMark::State::Decorated, folder, {}} : FolderMark{};
        });
        show(tree, drive.path());
        QTRY_VERIFY(tree.mark(a) && !tree.marksPending());
        writeFile(a + QStringLiteral("/desktop.ini"), "[.ShellClassInfo]\r\n");
        QTest::keyClick(&tree, Qt::Key_F5);
        QTRY_VERIFY(tree.mark(a) && tree.mark(a)->state == FolderMark::State::Decorated);
    }

    // The subfolders of "big" (more entries than are read on the spot) are read on a worker:
    // the list moves once they are, the window answering meanwhile; a move made before gives
    // way to the next, whose folder alone it then shows, each subfolder once.
    void bigFolder_isMovedToOnceRead_eachSubfolderOnce()
    {
        FakeVolumes volumes({toPath(QDir::cleanPath(m_big.path(QString())))});
        FolderList tree;
        QVERIFY(tree.setPath(m_big.path(QStringLiteral("small"))));
        QVERIFY(tree.setPath(m_big.path(QStringLiteral("big"))));
        QCOMPARE(tree.path(), m_big.path(QStringLiteral("small")));
        const QString inside = m_big.path(QStringLiteral("big/Album 321"));
        QVERIFY(tree.setPath(inside));
        QTRY_COMPARE(tree.path(), inside);
        QVERIFY(folderReaderPool()->waitForDone(5000));
        QCoreApplication::processEvents();
        checkOneFolder(tree, rowOf(tree, inside));
        tree.selectionModel()->setCurrentIndex(tree.currentIndex().parent(), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(tree.path(), m_big.path(QStringLiteral("big")));
        QCOMPARE(subfolders(tree), m_big.folders); // sorted, without the hidden folder and the files
    }

private:
    BigFolder m_big;
};

// A list with a mark reader asks it only for the rows on the screen and its own folder, off
// the window's thread, each folder once; scrolling brings the rows scrolled to.
void FolderListTest::marks_readForRowsShownOnWorkers_onceEach_andRowsScrolledTo()
{
    Drive drive(numbered(QStringLiteral("f%1"), 99));
    FolderList tree;
    show(tree, drive.path());
    std::mutex mutex;
    QStringList asked;
    bool onWindowThread = false;
    tree.setMarkReader([&](const QString& folder) {
        const std::lock_guard lock(mutex);
        asked << folder;
        onWindowThread = onWindowThread || QThread::currentThread() == qApp->thread();
        return FolderMark{FolderMark::State::Decorated, folder, {}};
    });
    const auto askedNow = [&] {
        const std::lock_guard lock(mutex);
        return asked;
    };
    QTRY_VERIFY(!tree.marksPending());
    QStringList shown{tree.path()};
    for (QModelIndex row = tree.indexAt({0, 0}); row.isValid() && tree.visualRect(row).top() < tree.viewport()->height(); row = tree.indexBelow(row))
        shown << modelOf(tree)->pathOf(row);
    shown.removeDuplicates();
    QCOMPARE(askedNow(), shown);
    QVERIFY(!onWindowThread);
    tree.scrollToBottom();
    QTRY_VERIFY(tree.mark(drive.path(QStringLiteral("f98"))));
}

// A mount point whose volume stops answering while its mark is read: the rows read before and
// after it get theirs; it shows plain, its volume is not asked meanwhile, and once the read
// returns it is read again while shown.
void FolderListTest::marks_aFolderThatDoesNotAnswerKeepsNoneOfItsSiblings_andIsAskedAgainOnceItDoes()
{
    Drive drive(numbered(QStringLiteral("f%1"), 6), {QStringLiteral("f02 mount")});
    const QString mount = drive.path(QStringLiteral("f02 mount"));
    FolderList tree;
    show(tree, drive.path());
    std::mutex mutex;
    std::condition_variable released;
    bool answering = false;
    std::atomic<int> askedMount = 0;
    tree.setMarkReader([&](const QString& folder) {
        if (folder == mount) {
            std::unique_lock lock(mutex);
            if (askedMount++ == 0)
                released.wait_for(lock, std::chrono::seconds(20), [&] { return answering; });
        }
        return FolderMark{FolderMark::State::Decorated, folder};
    });
    const auto state = [&](const QString& folder) { return tree.mark(folder) ? std::optional(tree.mark(folder)->state) : std::nullopt; };
    QTRY_VERIFY_WITH_TIMEOUT(state(drive.path(QStringLiteral("f05"))) == FolderMark::State::Decorated && !tree.marksPending(), 10000);
    QCOMPARE(state(drive.path(QStringLiteral("f00"))), FolderMark::State::Decorated);
    QCOMPARE(state(mount), FolderMark::State::Plain);
    QCOMPARE(askedMount.load(), 1);

    {
        const std::lock_guard lock(mutex);
        answering = true;
    }
    released.notify_all();
    QTRY_COMPARE_WITH_TIMEOUT(state(mount), FolderMark::State::Decorated, 10000);
    QCOMPARE(askedMount.load(), 2);
}

TESSARO_TEST_MAIN(FolderListTest)
#include "test_folder_list.moc"
