// The window as it opens: its controls, their places, and where the picture browser starts.

#include "app/form1.h"
#include "gui_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/picture_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QScopeGuard>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

class Form1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls_areNamedPlacedAndCaptioned_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<QString>("caption");

        // Pixels at 96 DPI: fifteen twips each.
        QTest::newRow("Label3") << "QLabel" << QRect(18, 6, 334, 16) << QStringLiteral("画像ファイル選択");
        QTest::newRow("Drive1") << "tessaro::DriveList" << QRect(15, 30, 175, 20) << QString();
        QTest::newRow("Dir1") << "tessaro::FolderList" << QRect(15, 54, 178, 174) << QString();
        QTest::newRow("File1") << "tessaro::FileList" << QRect(204, 33, 145, 198) << QString();
        QTest::newRow("Command3") << "QPushButton" << QRect(18, 234, 79, 19) << QStringLiteral("文字色変更");
        QTest::newRow("Label2") << "QLabel" << QRect(105, 234, 37, 19) << QString();
        QTest::newRow("Text1") << "QLineEdit" << QRect(150, 234, 70, 19) << QStringLiteral("000000");
        QTest::newRow("Label5") << "QLabel" << QRect(226, 234, 117, 19) << QString();
        QTest::newRow("Image1") << "tessaro::PictureBox" << QRect(12, 258, 334, 208) << QString();
        QTest::newRow("Check1") << "QCheckBox" << QRect(12, 469, 200, 24) << QStringLiteral("フォルダでの見え方(&F)");
        QTest::newRow("Label1") << "QLabel" << QRect(21, 267, 61, 19) << QStringLiteral("文字色");
        QTest::newRow("Command1") << "QPushButton" << QRect(360, 12, 61, 481) << QStringLiteral("実行\u3000>>");
        QTest::newRow("Label4") << "QLabel" << QRect(432, 9, 241, 16) << QStringLiteral("背景変更フォルダ");
        QTest::newRow("Drive2") << "tessaro::DriveList" << QRect(429, 33, 250, 20) << QString();
        QTest::newRow("Dir2") << "tessaro::FolderList" << QRect(429, 57, 247, 384) << QString();
        QTest::newRow("Command2") << "QPushButton" << QRect(432, 456, 247, 34) << QStringLiteral("開く");
    }

    void controls_areNamedPlacedAndCaptioned()
    {
        QFETCH(QString, className);
        QFETCH(QRect, pixels);
        QFETCH(QString, caption);
        TempHome home;
        WindowOf<Form1> w(home);
        if (w.form.logicalDpiX() != 96)
            QSKIP("the expected pixels are for 96 DPI");

        const QList<QWidget*> named = w.form.findChildren<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(named.size(), 1);
        QWidget* control = named.front();
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
        QCOMPARE(control->geometry(), pixels);
        QCOMPARE(control->property("text").toString(), caption);
    }

    void window_opensAtItsDesignWithHighlightedTitlesAndTabOrder_growsWithoutOverlapping()
    {
        TempHome home;
        WindowOf<Form1> w(home);
        QCOMPARE(w.form.windowTitle(), QStringLiteral("Tessaro"));
        if (w.form.logicalDpiX() == 96)
            QCOMPARE(w.form.size(), QSize(699, 503));

        for (const char* name : {"Label3", "Label4"}) {
            auto* title = w.form.findChild<QLabel*>(QLatin1String(name));
            QCOMPARE(title->palette().color(title->backgroundRole()), title->palette().color(QPalette::Highlight));
            QCOMPARE(title->palette().color(title->foregroundRole()), title->palette().color(QPalette::HighlightedText));
            QVERIFY(title->autoFillBackground());
            QCOMPARE(title->alignment(), Qt::AlignCenter);
        }
        // The sample caption lies over the framed preview and lets the picture show around its text.
        auto* sample = w.find<QLabel>("Label1");
        auto* preview = w.find<QFrame>("Image1");
        QVERIFY(preview->geometry().contains(sample->geometry()));
        QVERIFY(!sample->autoFillBackground());
        const QList<QWidget*> stack = w.form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(stack.indexOf(sample) > stack.indexOf(preview));
        QCOMPARE(preview->frameShape(), QFrame::Box);

        // As the eye reads the panes.
        QStringList order;
        for (QWidget* widget = w.form.nextInFocusChain(); widget != &w.form; widget = widget->nextInFocusChain()) {
            if (widget->parentWidget() == &w.form && widget->focusPolicy() & Qt::TabFocus)
                order << widget->objectName();
        }
        QCOMPARE(order.join(QLatin1Char(' ')), QStringLiteral("Drive1 Dir1 File1 Command3 Text1 Check1 Command1 Drive2 Dir2 Command2"));

        // Made larger, the lists and the preview grow, the buttons and the captions keep their
        // size, nothing overlaps but the sample caption over the preview; it never gets smaller
        // than it opens.
        const QSize design = w.form.size();
        QCOMPARE(w.form.minimumSize(), design);
        QHash<QString, QRect> before;
        const QList<QWidget*> controls = w.form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* control : controls)
            before.insert(control->objectName(), control->geometry());

        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        w.form.resize(design + QSize(400, 300));
        QTRY_COMPARE(w.form.size(), design + QSize(400, 300));
        const auto among = [](const QString& name, const char* names) { return QString::fromLatin1(names).split(QLatin1Char(' ')).contains(name); };
        for (QWidget* control : controls) {
            const QString name = control->objectName();
            const QSize was = before.value(name).size(), now = control->size();
            if (among(name, "Dir1 File1 Image1 Dir2"))
                QVERIFY2(now.width() > was.width() && now.height() > was.height(), qPrintable(name));
            else if (among(name, "Command3 Label2 Text1 Label1 Check1"))
                QVERIFY2(now == was, qPrintable(name));
            else if (name != QLatin1String("Command1")) // the pane titles, the drive lists and 開く span their pane
                QVERIFY2(now.height() == was.height(), qPrintable(name));
            QVERIFY2(w.form.rect().contains(control->geometry()), qPrintable(name));
            for (QWidget* other : controls) {
                const bool sampleOverPreview = among(name, "Label1 Image1") && among(other->objectName(), "Label1 Image1");
                QVERIFY2(other == control || sampleOverPreview || !control->geometry().intersects(other->geometry()),
                         qPrintable(name + QLatin1Char(' ') + other->objectName()));
            }
        }
        const auto geometry = [&](const char* name) { return w.form.findChild<QWidget*>(QLatin1String(name))->geometry(); };
        const auto designed = [&](const char* name) { return before.value(QLatin1String(name)); };
        QCOMPARE(geometry("Label1").topLeft() - geometry("Image1").topLeft(), designed("Label1").topLeft() - designed("Image1").topLeft());

        w.form.resize(design - QSize(100, 100));
        QCOMPARE(w.form.size(), design);
    }

    void check1_switchesThePreviewByClickAndKey()
    {
        TempHome home;
        QVERIFY(twoColourImage(QSize(64, 64), Qt::white, Qt::black).save(home.mkpath(QStringLiteral("Documents/My Pictures")) + QStringLiteral("/tile.bmp")));
        WindowOf<Form1> w(home);
        w.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        auto* image1 = w.find<PictureBox>("Image1");
        w.find<FileList>("File1")->setListIndex(0);
        QTRY_VERIFY(!image1->loading());
        auto* check1 = w.find<QCheckBox>("Check1");
        auto* sample = w.find<QLabel>("Label1");
        QVERIFY(!image1->folderView() && sample->isVisible());

        // The folder's view draws captions of its own in place of the sample.
        QTest::mouseClick(check1, Qt::LeftButton, {}, QPoint(8, check1->height() / 2));
        QVERIFY(check1->isChecked() && image1->folderView() && !sample->isVisible());
        QTest::keyClick(&w.form, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(!check1->isChecked() && !image1->folderView() && sample->isVisible()); // a mnemonic clicks on release
    }

    void startup_opensMyPicturesOrTheNearestFolderQuietly_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("expected");
        QTest::newRow("My Pictures") << QStringList{QStringLiteral("Documents/My Pictures"), QStringLiteral("Pictures")} << QStringLiteral("Documents/My Pictures");
        QTest::newRow("pictures folder") << QStringList{QStringLiteral("Documents"), QStringLiteral("Pictures")} << QStringLiteral("Pictures");
        QTest::newRow("documents folder") << QStringList{QStringLiteral("Documents")} << QStringLiteral("Documents");
        QTest::newRow("home") << QStringList{} << QString();
    }

    void startup_opensMyPicturesOrTheNearestFolderQuietly()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, expected);
        TempHome home;
        for (const QString& folder : folders)
            home.mkpath(folder);
        for (const char* name : {"b.jpg", "A.GIF", "notes.txt"})
            writeFile(home.path(expected) + QLatin1Char('/') + QLatin1String(name), "x");

        WindowOf<Form1> w(home);
        auto* dir1 = w.find<FolderList>("Dir1");
        auto* file1 = w.find<FileList>("File1");
        QCOMPARE(dir1->path(), QDir::toNativeSeparators(home.path(expected)));
        QCOMPARE(dir1->toolTip(), dir1->path());
        QCOMPARE(file1->path(), dir1->path());
        QCOMPARE(file1->listIndex(), -1);
        QCOMPARE(w.find<DriveList>("Drive1")->drive(), toQString(os::systemVolume()));
        // The target pane starts where Tessaro was started from.
        auto* dir2 = w.find<FolderList>("Dir2");
        QCOMPARE(dir2->path(), QDir::toNativeSeparators(QDir::currentPath()));
        QCOMPARE(dir2->toolTip(), dir2->path());
        QVERIFY(w.dialogs.messages.isEmpty());
    }

    void file1_selectionStaysMarkedWhileTheWindowIsInactive()
    {
        TempHome home;
        writeFile(home.mkpath(QStringLiteral("Documents/My Pictures")) + QStringLiteral("/sea.jpg"), "x");
        // A desktop theme that draws an inactive selection in the colour of the background.
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([before] { QApplication::setPalette(before); });
        QPalette themed = before;
        themed.setColor(QPalette::Inactive, QPalette::Highlight, before.color(QPalette::Inactive, QPalette::Base));
        themed.setColor(QPalette::Inactive, QPalette::HighlightedText, before.color(QPalette::Inactive, QPalette::Text));
        QApplication::setPalette(themed);

        WindowOf<Form1> w(home); // never shown, so never the active window
        auto* file1 = w.find<FileList>("File1");
        file1->setListIndex(0);
        const QRect row = file1->visualItemRect(file1->item(0));
        const QImage shown = file1->viewport()->grab().toImage();
        // Marked as the style marks a selection: the Windows style draws its own colours.
        QVERIFY(shown.pixelColor(row.left() + 1, row.top() + 1) != shown.pixelColor(row.left() + 1, row.bottom() + row.height()));
    }
};

TESSARO_TEST_MAIN(Form1Test)
#include "test_form1.moc"
