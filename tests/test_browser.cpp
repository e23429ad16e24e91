// The picture browser: drive, folder and file lists following each other, and the preview.

#include "app/form1.h"
#include "platform/drive_list.h"
#include "platform/file_list.h"
#include "platform/folder_list.h"
#include "platform/native_path.h"
#include "platform/picture_box.h"
#include "test_support.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace tessaro;
using namespace tessaro::test;

namespace {

QStringList entries(const FileList* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->entry(i);
    return names;
}

struct Window {
    explicit Window(const TempHome& home) : form(dialogs, home.path()) {}
    template <typename T>
    T* find(const char* name) const { return form.findChild<T*>(QLatin1String(name)); }
    // Selects `name` in the file list, as a click does, and gives what the preview then shows.
    QImage click(const QString& name) const
    {
        file1->setListIndex(static_cast<int>(entries(file1).indexOf(name)));
        return image1->picture();
    }

    FakeDialogs dialogs;
    Form1 form;
    FolderList* dir1 = find<FolderList>("Dir1");
    FileList* file1 = find<FileList>("File1");
    PictureBox* image1 = find<PictureBox>("Image1");
};

} // namespace

class BrowserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void folders_followCodeUserAndDisk_andListTheirPictures();
    void drives_onlyKnownOnes_andTheListsFollow();
    void preview_stretchesPicturesAndReportsUnreadableOnes_data();
    void preview_stretchesPicturesAndReportsUnreadableOnes();
    void preview_undecodableName_neverShowsNorAppliesAnotherFile();
};

void BrowserTest::folders_followCodeUserAndDisk_andListTheirPictures()
{
    TempHome home;
    home.mkpath(QStringLiteral("one/two/three"));
    home.mkpath(QStringLiteral("one/two/folder.jpg"));
    const QString one = home.path(QStringLiteral("one")), two = home.path(QStringLiteral("one/two"));
    const QStringList names = QStringLiteral("b.JPG A.jpg c.Gif a.b.BmP d.jpeg e.png Z.BMP f.jpg.txt jpg 写真.jpg").split(QLatin1Char(' '));
    for (const QString& name : names)
        writeFile(two + QLatin1Char('/') + name, "x");
    writeFile(home.path(QStringLiteral("file")), "x");
    Window w(home);
    QSignalSpy changes(w.dir1, &FolderList::changed);

    QVERIFY(w.dir1->setPath(one));
    QVERIFY(w.dir1->setPath(one)); // no change, no event
    for (const QString& notAFolder : {home.path(QStringLiteral("nowhere")), home.path(QStringLiteral("file")), QString()})
        QVERIFY(!w.dir1->setPath(notAFolder) && !w.file1->setPath(notAFolder));
    QCOMPARE(w.dir1->path(), QDir::toNativeSeparators(one));
    QCOMPARE(w.file1->path(), w.dir1->path());
    QCOMPARE(changes.size(), 1);

    // The highlighted folder is the current one: the user clicks "two" below "one".
    const QModelIndex twoIndex = w.dir1->model()->index(0, 0, w.dir1->currentIndex());
    QCOMPARE(twoIndex.data().toString(), QStringLiteral("two"));
    w.dir1->selectionModel()->setCurrentIndex(twoIndex, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(w.dir1->path(), QDir::toNativeSeparators(two));
    QCOMPARE(w.dir1->toolTip(), w.dir1->path());
    QCOMPARE(changes.size(), 2);
    QCOMPARE(entries(w.file1).join(QLatin1Char(' ')), QStringLiteral("a.b.BmP A.jpg b.JPG c.Gif Z.BMP 写真.jpg"));
    for (const QString& name : names)
        QCOMPARE(FileList::matches(name, w.file1->pattern()), entries(w.file1).contains(name));

    // A folder removed from under the window: the nearest folder left takes its place.
    QVERIFY(w.dir1->setPath(home.path(QStringLiteral("one/two/three"))));
    QVERIFY(QDir(two).removeRecursively());
    QTRY_COMPARE(w.dir1->path(), QDir::toNativeSeparators(one));
    QCOMPARE(w.file1->path(), w.dir1->path());
    QCOMPARE(w.dir1->model()->rowCount(w.dir1->currentIndex()), 0); // "two" is no longer listed
    QVERIFY(w.dialogs.messages.isEmpty());
}

void BrowserTest::drives_onlyKnownOnes_andTheListsFollow()
{
    TempHome home;
    Window w(home);
    auto* drive1 = w.find<DriveList>("Drive1");
    QSignalSpy changes(drive1, &DriveList::changed);
    // "c:" is the system drive on every system, where the window starts; the same drive
    // again is no change, and a drive the machine lacks is refused.
    for (const QString& unknown : {QStringLiteral("q:"), home.path(QStringLiteral("work")), QString()})
        QVERIFY(!drive1->setDrive(unknown));
    QVERIFY(drive1->setDrive(QStringLiteral("C:")));
    QCOMPARE(drive1->drive(), toQString(os::systemVolume()));
    QCOMPARE(changes.size(), 0);

    // The drive that holds the working directory shows that directory, open down to it.
    const QString cwd = QDir::toNativeSeparators(QDir::currentPath());
    const QString here = DriveList::driveOf(cwd);
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

void BrowserTest::preview_stretchesPicturesAndReportsUnreadableOnes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QColor>("right"); // the preview's right half; none for a file that cannot show

    const QByteArray jpeg = encoded(twoColourImage(QSize(60, 900), Qt::red, Qt::blue), "JPG");
    QTest::newRow("bmp") << "wide.bmp" << encoded(twoColourImage(QSize(400, 50), Qt::red, Qt::blue), "BMP") << QColor(Qt::blue);
    QTest::newRow("jpeg") << "tall.JPG" << jpeg << QColor(Qt::blue);
    QTest::newRow("animated gif, first frame") << "anim.gif" << makeGif(QSize(40, 40), {Qt::red, Qt::blue}) << QColor(Qt::red);
    QTest::newRow("not a picture") << "letter.jpg" << QByteArray("Dear reader,\nthis is text.\n") << QColor();
    QTest::newRow("empty") << "empty.gif" << QByteArray() << QColor();
    QTest::newRow("truncated jpeg") << "cut.jpg" << jpeg.left(jpeg.size() / 2) << QColor();
    QTest::newRow("corrupt bmp") << "bad.bmp" << QByteArray("BM\x10\0\0\0garbage", 13) << QColor();
    QTest::newRow("gif header only") << "stub.gif" << QByteArray("GIF89a\x10\0\x10\0", 10) << QColor();
}

void BrowserTest::preview_stretchesPicturesAndReportsUnreadableOnes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QColor, right);
    TempHome home;
    const QString folder = home.mkpath(QStringLiteral("pics"));
    QVERIFY(twoColourImage(QSize(10, 10), Qt::green, Qt::green).save(folder + QStringLiteral("/good.bmp")));
    writeFile(folder + QLatin1Char('/') + name, bytes);
    Window w(home);
    QVERIFY(w.dir1->setPath(folder));
    QVERIFY(!w.click(QStringLiteral("good.bmp")).isNull());

    const QImage shown = w.click(name);
    QCOMPARE(shown.isNull(), !right.isValid());
    QCOMPARE(w.dialogs.messages.size(), right.isValid() ? 0 : 1);
    if (!right.isValid()) {
        // Reported by name, and the program goes on as before.
        QVERIFY(w.dialogs.messages.front().contains(name));
        QVERIFY(!w.click(QStringLiteral("good.bmp")).isNull());
        QCOMPARE(w.dialogs.messages.size(), 1);
        return;
    }
    QCOMPARE(shown.size(), w.image1->contentsRect().size() * w.image1->devicePixelRatio());
    const auto near = [](QColor a, QColor b) { return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 100; };
    QVERIFY(near(shown.pixelColor(shown.width() / 8, shown.height() / 2), Qt::red));
    QVERIFY(near(shown.pixelColor(shown.width() * 7 / 8, shown.height() / 2), right));
}

void BrowserTest::preview_undecodableName_neverShowsNorAppliesAnotherFile()
{
    if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>)
        QSKIP("Windows names are UTF-16 and always decode");
    TempHome home;
    const QString folder = home.mkpath(QStringLiteral("pics"));
    // A name of bytes that are not UTF-8 shows with a replacement character, and so would a
    // real file whose name is that character: choosing the first must not use the second.
    const std::filesystem::path undecodable = toPath(folder) / std::string("\xFF.jpg");
    std::ofstream(undecodable) << "whatever";
    if (!std::filesystem::exists(undecodable))
        QSKIP("this filesystem keeps only valid names");
    QVERIFY(twoColourImage(QSize(10, 10), Qt::red, Qt::red).save(folder + QStringLiteral("/\uFFFD.jpg")));

    Window w(home);
    QVERIFY(w.dir1->setPath(folder));
    w.file1->setListIndex(w.file1->entryExact(0) ? 1 : 0);
    const bool cleared = w.image1->picture().isNull() && !w.file1->entryExact(w.file1->listIndex());
    QTest::mouseClick(w.find<QPushButton>("Command1"), Qt::LeftButton);
    std::filesystem::remove(undecodable); // beyond QTemporaryDir's reach
    QVERIFY(cleared);
    QCOMPARE(w.dialogs.messages.size(), 2); // one for the preview, one for apply
    QVERIFY(!QFile::exists(home.path(QStringLiteral("desktop.ini"))));
}

QTEST_MAIN(BrowserTest)
#include "test_browser.moc"
