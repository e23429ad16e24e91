// The folder list: the highlighted folder is the current path, whoever moves it, and a
// folder too big to read on the spot is read on a worker thread without showing the
// subfolders twice or those of a folder already left.

#include "platform/widgets/folder_list.h"

#include "big_folder.h"
#include "test_support.h"

#include <QSignalSpy>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

QStringList subfolders(const FolderList& tree)
{
    QStringList result;
    const QModelIndex parent = tree.currentIndex();
    for (int row = 0; row < tree.model()->rowCount(parent); ++row)
        result << tree.model()->index(row, 0, parent).data().toString();
    return result;
}

} // namespace

class FolderListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_big.make(); }

    void setPath_existingFolder_isHighlightedAndSignalledOnce()
    {
        QTemporaryDir dir;
        const QString one = QDir::toNativeSeparators(dir.filePath(QStringLiteral("one")));
        QVERIFY(QDir().mkpath(one + QStringLiteral("/two")));
        FolderList tree;
        QSignalSpy changes(&tree, &FolderList::changed);
        QVERIFY(tree.setPath(one));
        QVERIFY(tree.setPath(one)); // no change, no signal
        QCOMPARE(tree.path(), one);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(tree.currentIndex().data().toString(), QStringLiteral("one"));
        QVERIFY(tree.selectionModel()->isSelected(tree.currentIndex()));
    }

    void setPath_notAFolder_isRefusedAndChangesNothing()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("file")), "x");
        FolderList tree;
        QVERIFY(tree.setPath(dir.path()));
        QSignalSpy changes(&tree, &FolderList::changed);
        for (const QString& notAFolder : {dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("file")), QString()})
            QVERIFY(!tree.setPath(notAFolder));
        QCOMPARE(tree.path(), QDir::toNativeSeparators(dir.path()));
        QCOMPARE(changes.size(), 0);
    }

    void userMovesHighlight_pathFollows()
    {
        QTemporaryDir dir;
        const QString one = QDir::toNativeSeparators(dir.filePath(QStringLiteral("one")));
        QVERIFY(QDir().mkpath(one + QStringLiteral("/two")));
        FolderList tree;
        QVERIFY(tree.setPath(one));
        QSignalSpy changes(&tree, &FolderList::changed);
        const QModelIndex two = tree.model()->index(0, 0, tree.currentIndex());
        QCOMPARE(two.data().toString(), QStringLiteral("two"));
        tree.selectionModel()->setCurrentIndex(two, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(tree.path(), one + QDir::separator() + QStringLiteral("two"));
        QCOMPARE(changes.size(), 1);
    }

    void currentFolderRemoved_movesToNearestExistingAndForgetsIt()
    {
        QTemporaryDir dir;
        const QString one = QDir::toNativeSeparators(dir.filePath(QStringLiteral("one")));
        QVERIFY(QDir().mkpath(one + QStringLiteral("/two/three")));
        FolderList tree;
        QVERIFY(tree.setPath(one + QStringLiteral("/two/three")));
        QVERIFY(QDir(one + QStringLiteral("/two")).removeRecursively());
        QTRY_COMPARE(tree.path(), one);
        QCOMPARE(tree.model()->rowCount(tree.currentIndex()), 0); // "two" is no longer listed
    }

    void folderList_bigFolder_listsItsSubfoldersOnceRead()
    {
        FolderList tree;
        QVERIFY(tree.setPath(path(QStringLiteral("big"))));
        QCOMPARE(tree.path(), path(QStringLiteral("big")));
        QVERIFY(tree.model()->hasChildren(tree.currentIndex()));

        QTRY_COMPARE(tree.model()->rowCount(tree.currentIndex()), m_big.folders.size());
        QCOMPARE(subfolders(tree), m_big.folders);  // sorted, without the hidden folder and the files
        QVERIFY(tree.isExpanded(tree.currentIndex()));
    }

    void folderList_enteredWhileItIsRead_listsEachSubfolderOnce()
    {
        FolderList tree;
        QVERIFY(tree.setPath(path(QStringLiteral("big"))));
        const QString inside = path(QStringLiteral("big/Album 321"));
        QVERIFY(tree.setPath(inside));
        QCOMPARE(tree.path(), inside);
        QCOMPARE(tree.currentIndex().data().toString(), QStringLiteral("Album 321"));

        QTest::qWait(300);
        tree.selectionModel()->setCurrentIndex(tree.currentIndex().parent(), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(tree.path(), path(QStringLiteral("big")));
        QCOMPARE(subfolders(tree), m_big.folders);
    }

    void folderList_destroyedWhileReading_isSafe()
    {
        {
            FolderList tree;
            QVERIFY(tree.setPath(path(QStringLiteral("big"))));
        }
        QTest::qWait(300);
    }

private:
    QString path(const QString& relative) const { return m_big.path(relative); }

    BigFolder m_big;
};

QTEST_MAIN(FolderListTest)
#include "test_folder_list.moc"
