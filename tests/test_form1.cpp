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

namespace {

struct ControlCase { const char* name; const char* className; QRect pixels; const char16_t* caption; };
// Pixels at 96 DPI: fifteen twips each.
const ControlCase controlCases[] = {
    {"Label3", "QLabel", {18, 6, 334, 16}, u"画像ファイル選択"},
    {"Drive1", "tessaro::DriveList", {15, 30, 175, 20}, u""},
    {"Dir1", "tessaro::FolderList", {15, 54, 178, 174}, u""},
    {"File1", "tessaro::FileList", {204, 33, 145, 198}, u""},
    {"Command3", "QPushButton", {18, 234, 79, 19}, u"文字色変更"},
    {"Label2", "QLabel", {105, 234, 37, 19}, u""},
    {"Text1", "QLineEdit", {150, 234, 70, 19}, u"000000"},
    {"Label5", "QLabel", {226, 234, 117, 19}, u""},
    {"Image1", "tessaro::PictureBox", {12, 258, 334, 208}, u""},
    {"Check1", "QCheckBox", {12, 469, 200, 24}, u"フォルダでの見え方(&F)"},
    {"Label1", "QLabel", {21, 267, 61, 19}, u"文字色"},
    {"Command1", "QPushButton", {360, 12, 61, 481}, u"実行\u3000>>"},
    {"Label4", "QLabel", {432, 9, 241, 16}, u"背景変更フォルダ"},
    {"Drive2", "tessaro::DriveList", {429, 33, 250, 20}, u""},
    {"Dir2", "tessaro::FolderList", {429, 57, 247, 384}, u""},
    {"Command2", "QPushButton", {432, 456, 247, 34}, u"開く"},
};

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls_areNamedPlacedAndCaptioned_data() { rows(controlCases); }
    void controls_areNamedPlacedAndCaptioned()
    {
        QFETCH(int, row);
        const ControlCase& c = controlCases[row];
        TempHome home;
        WindowOf<Form1> w(home);
        if (w.form.logicalDpiX() != 96)
            QSKIP("the expected pixels are for 96 DPI");

        const QList<QWidget*> named = w.form.findChildren<QWidget*>(QLatin1String(c.name));
        QCOMPARE(named.size(), 1);
        QWidget* control = named.front();
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), QLatin1String(c.className));
        QCOMPARE(control->geometry(), c.pixels);
        QCOMPARE(control->property("text").toString(), QString::fromUtf16(c.caption));
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

        WindowOf<Form1> w(home);
        QCOMPARE(w.find<FolderList>("Dir1")->path(), QDir::toNativeSeparators(home.path(expected)));
        QCOMPARE(w.find<DriveList>("Drive1")->drive(), toQString(os::systemVolume()));
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
