// The window as it opens: its captions, its Tab order, how it grows, where the picture
// browser starts, and the icon it gets once it has painted.

#include "app/form1.h"
#include "app/startup.h"
#include "gui_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/picture_box.h"

#include <QCheckBox>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// The controls whose captions the user reads.
struct CaptionCase { const char* name; const char16_t* caption; };
const CaptionCase captionCases[] = {
    {"Label3", u"画像ファイル選択"},
    {"Command3", u"文字色変更"},
    {"Text1", u"000000"},
    {"Check1", u"フォルダでの見え方(&F)"},
    {"Label1", u"文字色"},
    {"Command1", u"実行\u3000>>"},
    {"Label4", u"背景変更フォルダ"},
    {"Command2", u"開く"},
};

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // First: the icon, once set, is the application's for the rest of the run.
    void icon_isSetOnceTheWindowHasPainted()
    {
        QWidget window;
        setIconAfterFirstPaint(window);
        QCoreApplication::processEvents();
        QVERIFY(QApplication::windowIcon().isNull());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(QApplication::windowIcon().availableSizes().size(), 6);
    }

    void window_opensAtItsDesignWithItsCaptionsAndTabOrder_growsButNeverShrinks()
    {
        TempHome home;
        WindowOf<Form1> w(home);
        QCOMPARE(w.form.windowTitle(), QStringLiteral("Tessaro"));
        if (w.form.logicalDpiX() == 96)
            QCOMPARE(w.form.size(), QSize(699, 503));
        for (const CaptionCase& c : captionCases)
            QCOMPARE(w.find<QWidget>(c.name)->property("text").toString(), QString::fromUtf16(c.caption));

        // As the eye reads the panes.
        QStringList order;
        for (QWidget* widget = w.form.nextInFocusChain(); widget != &w.form; widget = widget->nextInFocusChain()) {
            if (widget->parentWidget() == &w.form && widget->focusPolicy() & Qt::TabFocus)
                order << widget->objectName();
        }
        QCOMPARE(order.join(QLatin1Char(' ')), QStringLiteral("Drive1 Dir1 File1 Command3 Text1 Check1 Command1 Drive2 Dir2 Command2"));

        // Made larger, the lists and the preview grow, the buttons and the captions keep their
        // size, all stays inside the window; it never gets smaller than it opens.
        const QSize design = w.form.size();
        QCOMPARE(w.form.minimumSize(), design);
        QHash<QString, QSize> before;
        const QList<QWidget*> controls = w.form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* control : controls)
            before.insert(control->objectName(), control->size());

        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        w.form.resize(design + QSize(400, 300));
        QTRY_COMPARE(w.form.size(), design + QSize(400, 300));
        const auto among = [](const QString& name, const char* names) { return QString::fromLatin1(names).split(QLatin1Char(' ')).contains(name); };
        for (QWidget* control : controls) {
            const QString name = control->objectName();
            const QSize was = before.value(name), now = control->size();
            if (among(name, "Dir1 File1 Image1 Dir2"))
                QVERIFY2(now.width() > was.width() && now.height() > was.height(), qPrintable(name));
            else if (among(name, "Command3 Label2 Text1 Label1 Check1"))
                QVERIFY2(now == was, qPrintable(name));
            QVERIFY2(w.form.rect().contains(control->geometry()), qPrintable(name));
        }

        w.form.resize(design - QSize(100, 100));
        QCOMPARE(w.form.size(), design);
    }

    void check1_switchesThePreview()
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

        // The folder's view draws captions of its own in place of the sample.
        QTest::mouseClick(check1, Qt::LeftButton, {}, QPoint(8, check1->height() / 2));
        QVERIFY(check1->isChecked() && image1->folderView() && !sample->isVisible());
        QTest::mouseClick(check1, Qt::LeftButton, {}, QPoint(8, check1->height() / 2));
        QVERIFY(!check1->isChecked() && !image1->folderView() && sample->isVisible());
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

        WindowOf<Form1> w(home);
        QCOMPARE(w.find<FolderList>("Dir1")->path(), QDir::toNativeSeparators(home.path(expected)));
        QCOMPARE(w.find<DriveList>("Drive1")->drive(), toQString(os::systemVolume()));
        QVERIFY(w.dialogs.messages.isEmpty());
    }
};

TESSARO_TEST_MAIN(Form1Test)
#include "test_form1.moc"
