// The picture browser: drive, folder and file lists following each other, and the preview.

#include "app/form1.h"
#include "platform/drive_list.h"
#include "platform/file_list.h"
#include "platform/folder_list.h"
#include "platform/native_path.h"
#include "platform/picture_box.h"
#include "test_support.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace tessaro;
using namespace tessaro::test;

class BrowserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pattern_matchesWithoutRegardToCase_data();
    void pattern_matchesWithoutRegardToCase();
    void fileList_listsMatchingFilesSortedWithoutCase();
    void folderChange_byCodeAndByUser_reachesFileList();
    void folderList_vanishedFolder_movesToNearestParent();
    void driveList_changesOnlyToKnownDrives();
    void driveChange_movesFolderAndFileLists();
    void preview_isStretchedToTheBox_data();
    void preview_isStretchedToTheBox();
    void preview_unreadablePicture_isReportedAndCleared_data();
    void preview_unreadablePicture_isReportedAndCleared();
    void preview_undecodableName_neverShowsAnotherFile();

private:
    struct Window {
        explicit Window(const TempHome& home)
            : form(dialogs, home.path())
            , dir1(form.findChild<FolderList*>(QStringLiteral("Dir1")))
            , file1(form.findChild<FileList*>(QStringLiteral("File1")))
            , image1(form.findChild<PictureBox*>(QStringLiteral("Image1")))
        {
        }
        FakeDialogs dialogs;
        Form1 form;
        FolderList* dir1;
        FileList* file1;
        PictureBox* image1;
    };

    static QStringList entries(const FileList* list)
    {
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->entry(i);
        return names;
    }
};

void BrowserTest::pattern_matchesWithoutRegardToCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("lower") << "sea.jpg" << true;
    QTest::newRow("upper") << "SEA.JPG" << true;
    QTest::newRow("mixed case, dots in name") << "a.b.BmP" << true;
    QTest::newRow("jpeg is not jpg") << "photo.jpeg" << false;
    QTest::newRow("extension inside") << "photo.jpg.txt" << false;
    QTest::newRow("no dot") << "jpg" << false;
    QTest::newRow("japanese") << QStringLiteral("海の写真.JPG") << true;
}

void BrowserTest::pattern_matchesWithoutRegardToCase()
{
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(FileList::matches(name, u"*.bmp;*.jpg;*.gif"), matches);
}

void BrowserTest::fileList_listsMatchingFilesSortedWithoutCase()
{
    TempHome home;
    const QString folder = home.mkpath(QStringLiteral("pics"));
    for (const char* name : {"b.JPG", "A.jpg", "c.Gif", "d.jpeg", "e.png", "Z.BMP", "f.jpg.txt", "写真.jpg"})
        writeFile(folder + QLatin1Char('/') + QString::fromUtf8(name), "x");
    home.mkpath(QStringLiteral("pics/folder.jpg"));

    FileList list;
    list.setPattern(QStringLiteral("*.bmp;*.jpg;*.gif"));
    QVERIFY(list.setPath(folder));
    QCOMPARE(entries(&list), (QStringList{QStringLiteral("A.jpg"), QStringLiteral("b.JPG"), QStringLiteral("c.Gif"),
                                          QStringLiteral("Z.BMP"), QStringLiteral("写真.jpg")}));
    QCOMPARE(list.listIndex(), -1);
    QVERIFY(!list.setPath(folder + QStringLiteral("/missing")));
    QCOMPARE(list.path(), QDir::toNativeSeparators(folder));
}

void BrowserTest::folderChange_byCodeAndByUser_reachesFileList()
{
    TempHome home;
    const QString first = home.mkpath(QStringLiteral("one"));
    const QString second = home.mkpath(QStringLiteral("one/two"));
    writeFile(second + QStringLiteral("/x.bmp"), "x");
    Window w(home);
    QSignalSpy changes(w.dir1, &FolderList::changed);

    QVERIFY(w.dir1->setPath(first));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(w.file1->path(), QDir::toNativeSeparators(first));
    QCOMPARE(w.file1->count(), 0);
    QVERIFY(w.dir1->setPath(first)); // no change, no event
    writeFile(home.path(QStringLiteral("file")), "x");
    for (const QString& notAFolder : {home.path(QStringLiteral("nowhere")), home.path(QStringLiteral("file")), QString()})
        QVERIFY(!w.dir1->setPath(notAFolder));
    QCOMPARE(w.dir1->path(), QDir::toNativeSeparators(first));
    QCOMPARE(changes.size(), 1);

    // The highlighted folder is the current one: the user clicks "two" below "one".
    const QModelIndex one = w.dir1->currentIndex();
    QCOMPARE(w.dir1->model()->rowCount(one), 1);
    const QModelIndex two = w.dir1->model()->index(0, 0, one);
    QCOMPARE(two.data().toString(), QStringLiteral("two"));
    w.dir1->selectionModel()->setCurrentIndex(two, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(w.dir1->path(), QDir::toNativeSeparators(second));
    QCOMPARE(w.dir1->toolTip(), w.dir1->path());
    QCOMPARE(changes.size(), 2);
    QCOMPARE(entries(w.file1), QStringList{QStringLiteral("x.bmp")});
}

void BrowserTest::folderList_vanishedFolder_movesToNearestParent()
{
    TempHome home;
    const QString survivor = home.mkpath(QStringLiteral("keep"));
    const QString doomed = home.mkpath(QStringLiteral("keep/gone/deeper"));
    Window w(home);
    QVERIFY(w.dir1->setPath(doomed));

    QVERIFY(QDir(home.path(QStringLiteral("keep/gone"))).removeRecursively());
    QTRY_COMPARE(w.dir1->path(), QDir::toNativeSeparators(survivor));
    QCOMPARE(w.file1->path(), w.dir1->path());
    QCOMPARE(w.dir1->model()->rowCount(w.dir1->currentIndex()), 0); // "gone" is no longer listed
    QVERIFY(w.dialogs.messages.isEmpty());
}

void BrowserTest::driveList_changesOnlyToKnownDrives()
{
    TempHome home;
    FakeDialogs dialogs;
    DriveList list(dialogs);
    QCOMPARE(list.drive(), DriveList::driveOf(QDir::currentPath()));
    QSignalSpy changes(&list, &DriveList::changed);

    // "c:" is the system drive on every system.
    QVERIFY(list.setDrive(QStringLiteral("C:")));
    QCOMPARE(list.drive(), toQString(os::systemVolume()));
    const qsizetype afterSystem = changes.size();
    QVERIFY(list.setDrive(list.drive()));
    QCOMPARE(changes.size(), afterSystem); // the same drive again is no change

    for (const QString& unknown : {QStringLiteral("q:"), home.path(QStringLiteral("work")), QString()}) {
        QVERIFY(!list.setDrive(unknown));
        QCOMPARE(list.drive(), toQString(os::systemVolume()));
    }
    QCOMPARE(changes.size(), afterSystem);
    QVERIFY(dialogs.messages.isEmpty());
}

void BrowserTest::driveChange_movesFolderAndFileLists()
{
    TempHome home;
    Window w(home);
    auto* drive1 = w.form.findChild<DriveList*>(QStringLiteral("Drive1"));
    const QString cwd = QDir::toNativeSeparators(QDir::currentPath());
    const QString here = DriveList::driveOf(cwd);

    // The drive that holds the working directory shows that directory, open down to it.
    QVERIFY(w.dir1->setPath(here));
    QVERIFY(w.dir1->setDrive(here));
    QCOMPARE(w.dir1->path(), cwd);
    QCOMPARE(w.dir1->currentIndex().data().toString(), QFileInfo(cwd).fileName());
    QVERIFY(w.dir1->isExpanded(w.dir1->currentIndex().parent()));

    // Any other drive shows its root, and the lists follow the drive list.
    QString other;
    for (const os::Volume& volume : os::volumes()) {
        if (toQString(volume.root) != here && os::volumeReady(volume.root))
            other = toQString(volume.root);
    }
    if (other.isEmpty())
        QSKIP("this machine has one drive");
    QVERIFY(drive1->setDrive(other));
    QCOMPARE(w.dir1->path(), other);
    QCOMPARE(w.file1->path(), other);
    QCOMPARE(drive1->toolTip(), other);
}

void BrowserTest::preview_isStretchedToTheBox_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("bmp") << "wide.bmp";
    QTest::newRow("jpeg") << "tall.JPG";
    QTest::newRow("animated gif") << "anim.gif";
}

void BrowserTest::preview_isStretchedToTheBox()
{
    QFETCH(QString, name);
    TempHome home;
    const QString folder = home.mkpath(QStringLiteral("pics"));
    QVERIFY(twoColourImage(QSize(400, 50), Qt::red, Qt::blue).save(folder + QStringLiteral("/wide.bmp")));
    QVERIFY(twoColourImage(QSize(60, 900), Qt::red, Qt::blue).save(folder + QStringLiteral("/tall.JPG"), "JPG", 95));
    writeFile(folder + QStringLiteral("/anim.gif"), makeGif(QSize(40, 40), {Qt::red, Qt::blue}));

    Window w(home);
    QVERIFY(w.dir1->setPath(folder));
    const auto row = static_cast<int>(entries(w.file1).indexOf(name));
    QVERIFY(row >= 0);
    w.file1->setListIndex(row);

    const QImage shown = w.image1->picture();
    QVERIFY2(!shown.isNull(), qPrintable(w.dialogs.messages.join(QLatin1Char('\n'))));
    QCOMPARE(shown.size(), w.image1->pictureSize());
    const auto near = [](QColor a, QColor b) {
        return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
    };
    const int y = shown.height() / 2;
    QVERIFY(near(shown.pixelColor(shown.width() / 8, y), Qt::red));
    // The GIF shows its first frame, all red; the others keep blue on the right.
    QVERIFY(near(shown.pixelColor(shown.width() * 7 / 8, y), name.endsWith(QLatin1String("gif")) ? QColor(Qt::red) : QColor(Qt::blue)));
    QVERIFY(w.dialogs.messages.isEmpty());
}

void BrowserTest::preview_unreadablePicture_isReportedAndCleared_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(twoColourImage(QSize(300, 300), Qt::red, Qt::blue).save(&buffer, "JPG"));
    }
    QTest::newRow("not a picture") << "letter.jpg" << QByteArray("Dear reader,\nthis is text.\n");
    QTest::newRow("empty") << "empty.gif" << QByteArray();
    QTest::newRow("truncated jpeg") << "cut.jpg" << jpeg.left(jpeg.size() / 2);
    QTest::newRow("corrupt bmp") << "bad.bmp" << QByteArray("BM\x10\0\0\0garbage", 13);
    QTest::newRow("gif header only") << "stub.gif" << QByteArray("GIF89a\x10\0\x10\0", 10);
}

void BrowserTest::preview_unreadablePicture_isReportedAndCleared()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    TempHome home;
    const QString folder = home.mkpath(QStringLiteral("pics"));
    QVERIFY(twoColourImage(QSize(10, 10), Qt::red, Qt::blue).save(folder + QStringLiteral("/good.bmp")));
    writeFile(folder + QLatin1Char('/') + name, bytes);

    Window w(home);
    QVERIFY(w.dir1->setPath(folder));
    const auto good = static_cast<int>(entries(w.file1).indexOf(QStringLiteral("good.bmp")));
    const auto bad = static_cast<int>(entries(w.file1).indexOf(name));
    w.file1->setListIndex(good);
    QVERIFY(!w.image1->picture().isNull());

    w.file1->setListIndex(bad);
    QVERIFY(w.image1->picture().isNull());
    QCOMPARE(w.dialogs.messages.size(), 1);
    QVERIFY(w.dialogs.messages.front().contains(name));

    // The program goes on: the next picture shows as before.
    w.file1->setListIndex(good);
    QVERIFY(!w.image1->picture().isNull());
    QCOMPARE(w.dialogs.messages.size(), 1);
}

void BrowserTest::preview_undecodableName_neverShowsAnotherFile()
{
    if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>)
        QSKIP("Windows names are UTF-16 and always decode");
    TempHome home;
    const QString folder = home.mkpath(QStringLiteral("pics"));
    const std::filesystem::path nativeFolder = toPath(folder);
    // A name of bytes that are not UTF-8 shows with a replacement character, and so would a
    // real file whose name is that character: clicking the first must not show the second.
    {
        std::ofstream(nativeFolder / std::string("\xFF.jpg")) << "whatever";
    }
    QVERIFY(twoColourImage(QSize(10, 10), Qt::red, Qt::red).save(folder + QStringLiteral("/\uFFFD.jpg")));

    Window w(home);
    QVERIFY(w.dir1->setPath(folder));
    QCOMPARE(w.file1->count(), 2);
    int undecodable = -1;
    for (int i = 0; i < w.file1->count(); ++i) {
        if (!w.file1->entryExact(i))
            undecodable = i;
    }
    if (undecodable < 0)
        QSKIP("this filesystem keeps only valid names");
    w.file1->setListIndex(undecodable);
    const bool cleared = w.image1->picture().isNull();
    std::filesystem::remove(nativeFolder / std::string("\xFF.jpg")); // beyond QTemporaryDir's reach
    QVERIFY(cleared);
    QCOMPARE(w.dialogs.messages.size(), 1);
}

QTEST_MAIN(BrowserTest)
#include "test_browser.moc"
