// The picture browser's lists on folders too big to read on the spot. They are read on a
// worker thread; what they show in the end must be what a small folder would show, and never
// the names of a folder the user has already left. A race or a read outliving its list shows
// here, under the sanitizers as a use after free.

#include "platform/file_list.h"
#include "platform/folder_list.h"
#include "platform/native_path.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace tessaro;

namespace {

// Far more entries than a list reads on the spot, in one folder: files for File1, of which a
// tenth are pictures, and subfolders for Dir1.
constexpr int BigFiles = 5'000;
constexpr int BigFolders = 1'000;

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

QStringList entries(const FileList& list)
{
    QStringList result;
    for (int i = 0; i < list.count(); ++i)
        result << list.entry(i);
    return result;
}

QStringList subfolders(const FolderList& tree)
{
    QStringList result;
    const QModelIndex parent = tree.currentIndex();
    for (int row = 0; row < tree.model()->rowCount(parent); ++row)
        result << tree.model()->index(row, 0, parent).data().toString();
    return result;
}

// Windows' order: without regard to case.
void sortLikeWindows(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        if (const int byKey = QString::compare(a.toCaseFolded(), b.toCaseFolded()); byKey != 0)
            return byKey < 0;
        return a < b;
    });
}

} // namespace

class BigFolderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir root(m_dir.path());
        QVERIFY(root.mkpath(QStringLiteral("big/a folder.jpg")));  // matches, yet is no file
        QVERIFY(root.mkpath(QStringLiteral("big/.hidden")));
        QVERIFY(root.mkpath(QStringLiteral("small")));
        m_folders << QStringLiteral("a folder.jpg");

        const char* pictureTypes[] = {"jpg", "JPG", "bmp", "Gif"};
        const char* otherTypes[] = {"txt", "jpeg", "png", "jpg.bak"};
        for (int i = 0; i < BigFiles; ++i) {
            const bool picture = i % 10 == 0;
            const QString name = QStringLiteral("%1%2.%3")
                                     .arg(i % 3 ? QStringLiteral("img_") : QStringLiteral("IMG_"))
                                     .arg(i, 5, 10, QLatin1Char('0'))
                                     .arg(QLatin1String(picture ? pictureTypes[i / 10 % 4] : otherTypes[i % 4]));
            touch(root.filePath(QStringLiteral("big/") + name));
            if (picture)
                m_pictures << name;
        }
        sortLikeWindows(m_pictures);

        for (int i = 0; i < BigFolders; ++i) {
            const QString name = QStringLiteral("%1 %2").arg(i % 2 ? QStringLiteral("Album") : QStringLiteral("album")).arg(i);
            QVERIFY(root.mkdir(QStringLiteral("big/") + name));
            m_folders << name;
        }
        sortLikeWindows(m_folders);

        touch(root.filePath(QStringLiteral("small/one.jpg")));
        touch(root.filePath(QStringLiteral("small/two.gif")));
    }

    void fileList_bigFolder_listsEveryPictureSortedOnceRead()
    {
        FileList list;
        list.setPattern(QStringLiteral("*.bmp;*.jpg;*.gif"));
        QVERIFY(list.setPath(path(QStringLiteral("big"))));
        QCOMPARE(list.path(), path(QStringLiteral("big")));
        QCOMPARE(list.count(), 0);  // nothing of the folder it showed before

        QTRY_VERIFY(!list.filling());
        QCOMPARE(entries(list), m_pictures);
        QVERIFY(list.entryExact(0));
        QCOMPARE(list.listIndex(), -1);
    }

    void fileList_leftBeforeTheReadEnds_showsOnlyTheNewFolder()
    {
        FileList list;
        list.setPattern(QStringLiteral("*.bmp;*.jpg;*.gif"));
        QSignalSpy clicks(&list, &FileList::clicked);
        QVERIFY(list.setPath(path(QStringLiteral("big"))));
        QVERIFY(list.setPath(path(QStringLiteral("small"))));
        const QStringList small = {QStringLiteral("one.jpg"), QStringLiteral("two.gif")};
        QCOMPARE(entries(list), small);
        QVERIFY(!list.filling());

        // Long enough for the abandoned read to finish; its names must not come back.
        QTest::qWait(300);
        QCOMPARE(entries(list), small);
        QCOMPARE(clicks.size(), 0);
    }

    void fileList_patternChangedWhileReading_usesTheNewPattern()
    {
        FileList list;
        list.setPattern(QStringLiteral("*.bmp;*.jpg;*.gif"));
        QVERIFY(list.setPath(path(QStringLiteral("big"))));
        list.setPattern(QStringLiteral("*.gif"));
        QTRY_VERIFY(!list.filling());
        QTest::qWait(100);
        QStringList gifs;
        for (const QString& name : std::as_const(m_pictures)) {
            if (name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
                gifs << name;
        }
        QCOMPARE(entries(list), gifs);
    }

    void fileList_destroyedWhileReading_isSafe()
    {
        {
            FileList list;
            QVERIFY(list.setPath(path(QStringLiteral("big"))));
        }
        QTest::qWait(300);
    }

    void folderList_bigFolder_listsItsSubfoldersOnceRead()
    {
        FolderList tree;
        QVERIFY(tree.setPath(path(QStringLiteral("big"))));
        QCOMPARE(tree.path(), path(QStringLiteral("big")));
        QVERIFY(tree.model()->hasChildren(tree.currentIndex()));

        QTRY_COMPARE(tree.model()->rowCount(tree.currentIndex()), m_folders.size());
        QCOMPARE(subfolders(tree), m_folders);  // sorted, without the hidden folder and the files
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
        QCOMPARE(subfolders(tree), m_folders);
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
    QString path(const QString& relative) const
    {
        return QDir::toNativeSeparators(m_dir.filePath(relative));
    }

    QTemporaryDir m_dir;
    QStringList m_pictures;
    QStringList m_folders;
};

QTEST_MAIN(BigFolderTest)
#include "test_big_folders.moc"
