// The file list: which names it shows (its wildcards held to a plain matcher), in which
// order, and how it reads a folder too big to read on the spot. A read that
// leaks into the next folder shows here.

#include "platform/widgets/file_list.h"

#include "big_folder.h"
#include "platform/widgets/wildcard.h"
#include "gui_support.h"
#include "wildcard_oracle.h"

#include <QThreadPool>
#include <QtTest>


using namespace tessaro;
using namespace tessaro::test;

namespace {

// Every text of up to `length` characters of `alphabet`.
std::vector<std::string> allTexts(std::string_view alphabet, std::size_t length)
{
    std::vector<std::string> texts{""};
    for (std::size_t from = 0, size = 1; size <= length; ++size) {
        const std::size_t to = texts.size();
        for (std::size_t i = from; i < to; ++i) {
            for (char c : alphabet)
                texts.push_back(texts[i] + c);
        }
        from = to;
    }
    return texts;
}

// The window's file list: the pictures it can show.
struct PictureList : FileList {
    PictureList() { setPattern(QStringLiteral("*.bmp;*.jpg;*.gif")); }
};

// Once every read for the list has ended, and whatever it posted has been taken.
void waitForTheReaders()
{
    QVERIFY(folderReaderPool()->waitForDone(5000));
    QCoreApplication::processEvents();
}

} // namespace

class FileListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_big.make(); }

    void fileList_listsMatchingFilesSortedWithoutCase_refusesWhatIsNoFolder()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
        const QStringList names = QStringLiteral("b.JPG A.jpg c.Gif a.b.BmP d.jpeg e.png Z.BMP f.jpg.txt jpg 写真.jpg").split(QLatin1Char(' '));
        for (const QString& name : names)
            writeFile(dir.filePath(name), "x");
        PictureList list;
        QVERIFY(list.setPath(dir.path()));
        QCOMPARE(entries(list).join(QLatin1Char(' ')), QStringLiteral("a.b.BmP A.jpg b.JPG c.Gif Z.BMP 写真.jpg"));

        // What is not a folder is refused and changes nothing.
        for (const QString& notAFolder : {dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("A.jpg")), QString()})
            QVERIFY(!list.setPath(notAFolder));
        QCOMPARE(list.path(), QDir::toNativeSeparators(dir.path()));
        QCOMPARE(entries(list).size(), 6);
    }

    // Read again and left before the read ends, it shows only the folder it went to.
    void fileList_bigFolder_listsEveryPictureSortedOnceRead_nothingOfItOnceLeft()
    {
        PictureList list;
        QSignalSpy clicks(&list, &FileList::clicked);
        QVERIFY(list.setPath(path(QStringLiteral("small"))));
        QVERIFY(list.setPath(path(QStringLiteral("big"))));
        QCOMPARE(list.path(), path(QStringLiteral("big")));
        QCOMPARE(list.count(), 0);  // nothing of the folder it showed before
        QTRY_VERIFY(!list.filling());
        QCOMPARE(entries(list), m_big.pictures);
        QVERIFY(list.entryExact(0));

        QVERIFY(list.setPath(path(QStringLiteral("big"))));
        QVERIFY(list.setPath(path(QStringLiteral("small"))));
        const QStringList small = {QStringLiteral("one.jpg"), QStringLiteral("two.gif")};
        QCOMPARE(entries(list), small);
        QVERIFY(!list.filling());

        // The abandoned read has ended; its names must not come back.
        waitForTheReaders();
        QCOMPARE(entries(list), small);
        QCOMPARE(clicks.size(), 0);
    }

    // F5 reads the folder again, the selected entry staying selected; a list not shown
    // watches nothing and hears of the new picture only so.
    void fileList_f5_readsTheFolderAgain()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("b.jpg")), "x");
        PictureList list;
        QVERIFY(list.setPath(dir.path()));
        list.setListIndex(0);
        writeFile(dir.filePath(QStringLiteral("a.jpg")), "x");
        QTest::keyClick(&list, Qt::Key_F5);
        QTRY_COMPARE(entries(list), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
        QCOMPARE(list.listIndex(), 1);
    }

    // Every name and pattern of up to four characters of "abB*?.": a star in a name too, as
    // Linux allows.
    void wildcard_agreesWithAPlainMatcher_onEverySmallCase()
    {
        const std::vector<std::string> texts = allTexts("abB*?.", 4);
        for (const std::string& pattern : texts) {
            for (const std::string& name : texts) {
                if (wildcardMatch<char>(name, pattern) != oracleMatch<char>(name, pattern))
                    QFAIL(qPrintable(QStringLiteral("name \"%1\", pattern \"%2\"").arg(QString::fromStdString(name), QString::fromStdString(pattern))));
            }
        }
    }

private:
    QString path(const QString& relative) const { return m_big.path(relative); }

    BigFolder m_big;
};

TESSARO_TEST_MAIN(FileListTest)
#include "test_file_list.moc"
