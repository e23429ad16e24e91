// The window's picture browser: drive, folder and file lists following each other, and the
// preview of the picture clicked.

#include "app/form1.h"
#include "gui_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/picture_box.h"

#include <QApplication>
#include <QLabel>
#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct Window : WindowOf<Form1> {
    using WindowOf::WindowOf;
    // Selects `name` in the file list, as a click does, and gives what the preview shows once
    // it has read the picture.
    QImage click(const QString& name) const
    {
        file1->setListIndex(static_cast<int>(entries(*file1).indexOf(name)));
        return QTest::qWaitFor([this] { return !image1->loading(); }) ? image1->picture() : QImage();
    }

    FolderList* dir1 = find<FolderList>("Dir1");
    FileList* file1 = find<FileList>("File1");
    PictureBox* image1 = find<PictureBox>("Image1");
};

} // namespace

class BrowserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The preview and its sample caption go with the selection when the folder changes.
    void dir1Moves_file1FollowsWithTheFoldersPictures_thePreviewClears()
    {
        TempHome home;
        const QString two = home.mkpath(QStringLiteral("one/two"));
        for (const char* name : {"b.JPG", "A.gif", "notes.txt"})
            writeFile(two + QLatin1Char('/') + QLatin1String(name), "x");
        QVERIFY(twoColourImage(QSize(10, 10), Qt::green, Qt::green).save(home.path(QStringLiteral("one/good.bmp"))));
        Window w(home);
        auto* sample = w.find<QLabel>("Label1");
        w.form.show(); // the lists follow the disk while they are shown
        QVERIFY(w.dir1->setPath(home.path(QStringLiteral("one"))));
        QCOMPARE(w.file1->path(), w.dir1->path());
        QVERIFY(!w.click(QStringLiteral("good.bmp")).isNull());

        // The user moves the highlight to "two", below "one".
        w.dir1->selectionModel()->setCurrentIndex(w.dir1->model()->index(0, 0, w.dir1->currentIndex()), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(w.dir1->path(), QDir::toNativeSeparators(two));
        QCOMPARE(w.file1->path(), w.dir1->path());
        QCOMPARE(entries(*w.file1), (QStringList{QStringLiteral("A.gif"), QStringLiteral("b.JPG")}));
        QCOMPARE(w.file1->listIndex(), -1);
        QVERIFY(w.image1->picture().isNull());
        QVERIFY(!sample->isVisible()); // no picture, no caption over it

        // "two" removed meanwhile: both lists go back to the folder that is left, quietly.
        QVERIFY(watching(*w.dir1, QDir::toNativeSeparators(two)));
        QVERIFY(QDir(two).removeRecursively());
        QTRY_COMPARE(w.dir1->path(), home.path(QStringLiteral("one")));
        QCOMPARE(w.file1->path(), w.dir1->path());
        QVERIFY(w.dialogs.messages.isEmpty());
    }

    // A mount point inside the tree opens as a folder; the drive list keeps showing the drive
    // the tree is on, and choosing that drive again goes back to its current folder. Another
    // drive chosen moves both lists to its root.
    void dir1_mountPointBelow_keepsTheDrive_andADriveChosenMovesTheListsThere()
    {
        TempHome home;
        const QString usb = home.mkpath(QStringLiteral("usb"));
        writeFile(usb + QStringLiteral("/photo.jpg"), "x");
        FakeVolumes volumes({os::systemVolume(), toPath(usb)});
        Window w(home);
        auto* drive1 = w.find<DriveList>("Drive1");
        QVERIFY(w.dir1->setPath(home.path()));
        const QModelIndexList found = w.dir1->model()->match(w.dir1->model()->index(0, 0, w.dir1->currentIndex()), Qt::DisplayRole, QStringLiteral("usb"));
        w.dir1->selectionModel()->setCurrentIndex(found.value(0), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(w.dir1->path(), usb);
        QCOMPARE(w.file1->path(), usb);
        QCOMPARE(w.dir1->root(), toQString(os::systemVolume()));
        QCOMPARE(drive1->drive(), toQString(os::systemVolume()));

        Q_EMIT drive1->activated(drive1->currentIndex());
        QCOMPARE(w.dir1->path(), QDir::toNativeSeparators(QDir::currentPath()));
        QCOMPARE(w.file1->path(), w.dir1->path());

        QVERIFY(drive1->setDrive(usb));
        QCOMPARE(w.dir1->path(), usb);
        QCOMPARE(w.dir1->root(), usb);
        QCOMPARE(w.file1->path(), usb);
        QCOMPARE(entries(*w.file1), QStringList{QStringLiteral("photo.jpg")});
        QCOMPARE(drive1->toolTip(), usb);
    }

    // Too big to show here says nothing of whether the file manager can draw it: that one is
    // applied.
    void preview_unreadablePicture_isReportedOnceAndApplyRefusesIt_tooLargeIsSaidButApplied()
    {
        TempHome home;
        const QString folder = home.mkpath(QStringLiteral("pics"));
        QVERIFY(twoColourImage(QSize(400, 50), Qt::red, Qt::blue).save(folder + QStringLiteral("/good.bmp")));
        writeFile(folder + QStringLiteral("/letter.jpg"), "Dear reader,\nthis is text.\n");
        writeFile(folder + QStringLiteral("/huge.bmp"), bmpFile(16000, 16000, 0));
        Window w(home);
        QVERIFY(w.dir1->setPath(folder));
        QVERIFY(!w.click(QStringLiteral("good.bmp")).isNull());
        QVERIFY(w.dialogs.messages.isEmpty());
        QVERIFY(w.click(QStringLiteral("letter.jpg")).isNull());
        QCOMPARE(w.dialogs.messages.size(), 1);
        QVERIFY(w.dialogs.messages.front().contains(QStringLiteral("letter.jpg")));

        // Apply refuses it for the same reason, in the same words, and writes nothing.
        w.press("Command1");
        QCOMPARE(w.dialogs.messages.size(), 2);
        QCOMPARE(w.dialogs.messages.back(), w.dialogs.messages.front());
        QVERIFY(!QFile::exists(home.path(QStringLiteral("work/desktop.ini"))));

        // The program goes on as before: a picture that reads shows, one too large to show is
        // said to be so and applied.
        QVERIFY(!w.click(QStringLiteral("good.bmp")).isNull());
        QVERIFY(w.click(QStringLiteral("huge.bmp")).isNull());
        QCOMPARE(w.dialogs.messages.size(), 3);
        QVERIFY2(w.dialogs.messages.back().contains(QStringLiteral("大きすぎて")), qPrintable(w.dialogs.messages.back()));
        w.dialogs.answers = {true}; // copy the picture into the target folder
        w.press("Command1");
        QCOMPARE(w.dialogs.messages.size(), 4);
        QVERIFY2(w.dialogs.messages.back().contains(QStringLiteral("背景を設定しました")), qPrintable(w.dialogs.messages.back()));
        QVERIFY(readFile(home.path(QStringLiteral("work/desktop.ini"))).contains("huge.bmp"));
    }

    void preview_undecodableName_neverShowsNorAppliesAnotherFile()
    {
        if constexpr (windowsBuild)
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
        w.press("Command1");
        std::filesystem::remove(undecodable); // beyond QTemporaryDir's reach
        QVERIFY(cleared);
        QCOMPARE(w.dialogs.messages.size(), 2); // one for the preview, one for apply
        QVERIFY(!QFile::exists(home.path(QStringLiteral("desktop.ini"))));
    }

    // The file list follows its folder: a picture made there comes, the one selected stays
    // selected; deleted, it goes, and the preview with it.
    void file1_pictureMadeOrDeletedOutside_comesOrGoes_thePreviewWithIt()
    {
        TempHome home;
        const QString folder = home.mkpath(QStringLiteral("Documents/My Pictures"));
        QVERIFY(twoColourImage(QSize(10, 10), Qt::green, Qt::green).save(folder + QStringLiteral("/b sea.bmp")));
        Window w(home);
        w.form.show();
        QVERIFY(!w.click(QStringLiteral("b sea.bmp")).isNull());
        QVERIFY(watching(*w.file1, QDir::toNativeSeparators(folder)));

        QVERIFY(twoColourImage(QSize(10, 10), Qt::red, Qt::red).save(folder + QStringLiteral("/a new.bmp")));
        QTRY_COMPARE(entries(*w.file1), (QStringList{QStringLiteral("a new.bmp"), QStringLiteral("b sea.bmp")}));
        QCOMPARE(w.file1->listIndex(), 1);
        QVERIFY(!w.image1->picture().isNull());

        QVERIFY(QFile::remove(folder + QStringLiteral("/b sea.bmp")));
        QTRY_COMPARE(entries(*w.file1), QStringList{QStringLiteral("a new.bmp")});
        QCOMPARE(w.file1->listIndex(), -1);
        QVERIFY(w.image1->picture().isNull());
        QVERIFY(w.dialogs.messages.isEmpty());
    }

    void file1_tabbedIntoWithNothingSelected_choosesNothing()
    {
        TempHome home;
        const QString folder = home.mkpath(QStringLiteral("Documents/My Pictures"));
        QVERIFY(twoColourImage(QSize(10, 10), Qt::green, Qt::green).save(folder + QStringLiteral("/a good.bmp")));
        Window w(home);
        w.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        const QImage unfocused = w.file1->viewport()->grab().toImage();
        w.dir1->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.file1);
        QCOMPARE(w.file1->listIndex(), -1);
        QVERIFY(!w.file1->currentIndex().isValid());
        // The focus shows, though no entry is current.
        QVERIFY(w.file1->viewport()->grab().toImage() != unfocused);
        QVERIFY(!w.image1->loading() && w.image1->picture().isNull());
        QVERIFY(w.dialogs.messages.isEmpty());

        // Down chooses the first picture; the preview follows the selection.
        w.file1->setFocus();
        QTest::keyClick(w.file1, Qt::Key_Down);
        QCOMPARE(w.file1->listIndex(), 0);
        QVERIFY(QTest::qWaitFor([&] { return !w.image1->loading(); }));
        QCOMPARE(w.image1->file(), QDir::toNativeSeparators(folder + QStringLiteral("/a good.bmp")));

        // Ctrl and a click take the selection away, and the picture with it.
        QTest::mouseClick(w.file1->viewport(), Qt::LeftButton, Qt::ControlModifier, w.file1->visualItemRect(w.file1->item(0)).center());
        QCOMPARE(w.file1->listIndex(), -1);
        QVERIFY(w.image1->picture().isNull());
    }
};

TESSARO_TEST_MAIN(BrowserTest)
#include "test_browser.moc"
