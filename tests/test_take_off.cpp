// Decorated folders as Dir2 shows them (the emblem, the tooltips, Label4) and taking a
// decoration off through Dir2's context menu: what stays of desktop.ini, byte for byte, what
// a No leaves, and the copied picture that goes only when the user ticks it.

#include "app/form1.h"
#include "gui_support.h"
#include "ini_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/folder_list.h"
#include "posix_support.h"

#include <QDirIterator>
#include <QLabel>
#include <QMenu>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Everything below `root`, links not followed: each entry's mode and bytes, so that a
// comparison shows any change at all.
QStringList snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        entries << QStringLiteral("%1 %2 %3").arg(path.mid(root.size()), QString::number(info.st_mode, 8),
                                                  QString::fromLatin1(readFile(path).toHex()));
    }
    entries.sort();
    return entries;
}

// The DOS attributes Samba and Wine keep, as stored; empty when there are none.
QByteArray dosAttributes(const QString& path)
{
    char value[256];
    const ssize_t size = ::lgetxattr(QFile::encodeName(path).constData(), "user.DOSATTRIB", value, sizeof value);
    return size < 0 ? QByteArray() : QByteArray(value, size);
}

// The window over a home whose working folder (Dir2's) holds the test's folders, shown so
// that Dir2 has rows on the screen.
class Window {
public:
    Window()
        : volumes({toPath(home.path())})
    {
    }
    // Opens the window on the folders the test has made.
    void show()
    {
        form = std::make_unique<Form1>(dialogs);
        dir2 = form->findChild<FolderList*>(QStringLiteral("Dir2"));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_VERIFY(!dir2->marksPending());
    }
    QString folder(const QString& name) { return home.mkpath(QStringLiteral("work/") + name); }
    QModelIndex row(const QString& name) const { return dir2->model()->index(rowOf(name), 0, dir2->currentIndex()); }
    int rowOf(const QString& name) const
    {
        for (int i = 0; i < dir2->model()->rowCount(dir2->currentIndex()); ++i) {
            if (dir2->model()->index(i, 0, dir2->currentIndex()).data().toString() == name)
                return i;
        }
        return -1;
    }

    // Opens the context menu on the folder `name` with the Menu key, as the keyboard does.
    QMenu* menuOn(const QString& name)
    {
        dir2->setCurrentIndex(row(name));
        if (!QTest::qWaitFor([&] { return dir2->path() == home.path(QStringLiteral("work/") + name) && !dir2->marksPending(); }))
            return nullptr;
        QTest::keyClick(dir2, Qt::Key_Menu);
        auto* menu = form->findChild<QMenu*>(QStringLiteral("Dir2Menu"));
        return menu && menu->isVisible() ? menu : nullptr;
    }
    static QAction* action(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    // Takes the decoration of `name` off through the menu; false when the menu does not offer it.
    bool takeOff(const QString& name)
    {
        QMenu* menu = menuOn(name);
        QAction* takeOff = menu ? action(menu, QStringLiteral("背景と文字色を外す")) : nullptr;
        if (!takeOff || !takeOff->isEnabled())
            return false;
        menu->hide();
        takeOff->trigger();
        return true;
    }

    TempHome home;
    FakeVolumes volumes;
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;
    FolderList* dir2 = nullptr;
};

struct MarkCase {
    const char* name;
    QByteArray ini;      // desktop.ini; empty for none
    QString picture;     // made inside the folder, relative; empty for none
    FolderMark::State state;
    QStringList tip;     // what the tooltip says, in part
};
const MarkCase markCases[] = {
    {"plain folder", {}, {}, FolderMark::State::Plain, {}},
    {"only other settings", "[.ShellClassInfo]\r\nInfoTip=x\r\n", {}, FolderMark::State::Plain, {}},
    {"decorated, relative path with backslashes", linesText(QStringLiteral("pics\\sea.jpg")).toLatin1(), QStringLiteral("pics/sea.jpg"),
     FolderMark::State::Decorated, {QStringLiteral("/pics/sea.jpg"), QStringLiteral("0x000000FF (赤 255、緑 0、青 0)")}},
    {"names in any case, UTF-16LE", utf16(QStringLiteral("[{be098140-a513-11d0-a3a4-00c04fd706ec}]\r\nIconArea_Image=海.jpg\r\nICONAREA_TEXT=0xFF0000\r\n")),
     QStringLiteral("海.jpg"), FolderMark::State::Decorated, {QStringLiteral("/海.jpg"), QStringLiteral("青 255")}},
    {"picture missing", linesText(QStringLiteral("gone.jpg")).toLatin1(), {}, FolderMark::State::Broken,
     {QStringLiteral("背景画像が見つかりません"), QStringLiteral("/gone.jpg")}},
    {"another machine's drive", linesText(QStringLiteral("D:\\pics\\sea.jpg")).toLatin1(), {}, FolderMark::State::Broken,
     {QStringLiteral("背景画像が見つかりません: D:\\pics\\sea.jpg")}},
};

} // namespace

class TakeOffTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dir2_marksDecoratedFoldersAndTheirPictures_data() { rows(markCases); }
    void dir2_marksDecoratedFoldersAndTheirPictures();
    void takeOff_leavesExactlyTheOtherSettings_data();
    void takeOff_leavesExactlyTheOtherSettings();
    void takeOff_noChangesNothing();
    void takeOff_deletesTheCopiedPictureOnlyWhenTicked_data();
    void takeOff_deletesTheCopiedPictureOnlyWhenTicked();
};

void TakeOffTest::dir2_marksDecoratedFoldersAndTheirPictures()
{
    QFETCH(int, row);
    const MarkCase& c = markCases[row];
    Window window;
    const QString folder = window.folder(QStringLiteral("target"));
    window.folder(QStringLiteral("other"));
    if (!c.ini.isEmpty())
        writeFile(folder + QStringLiteral("/desktop.ini"), c.ini);
    if (!c.picture.isEmpty()) {
        QDir(folder).mkpath(QFileInfo(c.picture).path());
        writeFile(folder + QLatin1Char('/') + c.picture, "a picture");
    }
    window.show();

    // Read while merely shown in the list: the emblem and the tooltip.
    const QModelIndex target = window.row(QStringLiteral("target"));
    const QModelIndex other = window.row(QStringLiteral("other"));
    QTRY_VERIFY(window.dir2->mark(folder));
    QCOMPARE(window.dir2->mark(folder)->state, c.state);
    const qint64 plainIcon = other.data(Qt::DecorationRole).value<QIcon>().cacheKey();
    QCOMPARE(target.data(Qt::DecorationRole).value<QIcon>().cacheKey() != plainIcon, c.state != FolderMark::State::Plain);
    const QString tip = target.data(Qt::ToolTipRole).toString();
    QCOMPARE(tip.isEmpty(), c.tip.isEmpty());
    for (const QString& part : c.tip)
        QVERIFY2(tip.contains(part), qPrintable(tip));
    QVERIFY(other.data(Qt::ToolTipRole).toString().isEmpty());

    // Label4 says it of the selected target, and the menu offers the take-off for it alone.
    auto* label4 = window.form->findChild<QLabel*>(QStringLiteral("Label4"));
    QVERIFY(label4->toolTip().isEmpty());
    QMenu* menu = window.menuOn(QStringLiteral("target"));
    QVERIFY(menu);
    QCOMPARE(Window::action(menu, QStringLiteral("背景と文字色を外す"))->isEnabled(), c.state != FolderMark::State::Plain);
    QVERIFY(Window::action(menu, QStringLiteral("開く")));
    QCOMPARE(label4->toolTip().isEmpty(), c.tip.isEmpty());
    QCOMPARE(label4->accessibleDescription(), label4->toolTip());
    for (const QString& part : c.tip)
        QVERIFY2(label4->toolTip().contains(part), qPrintable(label4->toolTip()));
}

void TakeOffTest::takeOff_leavesExactlyTheOtherSettings_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // empty: desktop.ini is gone
    const QString shell = QStringLiteral("[.ShellClassInfo]\r\nInfoTip=旅行の写真\r\n");
    const QByteArray ansiShell = "[.ShellClassInfo]\r\nIconResource=C:\\x.dll,3\r\n";
    QTest::newRow("three lines") << linesText(QStringLiteral("sea.jpg")).toLatin1() << QByteArray();
    QTest::newRow("ANSI, merged") << ansiShell + linesText(QStringLiteral("sea.jpg")).toLatin1() + "[Other]\nk = v\n" << ansiShell + "[Other]\nk = v\n";
    QTest::newRow("UTF-16LE, merged") << utf16(linesText(QStringLiteral("海.jpg")) + shell) << utf16(shell);
    QTest::newRow("our section keeps another key") << (Section + QStringLiteral("\nIconArea_TextBackground=0x0\niconarea_image=sea.jpg\n")).toLatin1()
                                                   << (Section + QStringLiteral("\nIconArea_TextBackground=0x0\n")).toLatin1();
}

void TakeOffTest::takeOff_leavesExactlyTheOtherSettings()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    Window window;
    const QString folder = window.folder(QStringLiteral("target"));
    writeFile(folder + QStringLiteral("/sea.jpg"), "a picture");
    writeFile(folder + QStringLiteral("/海.jpg"), "a picture");
    const QString ini = folder + QStringLiteral("/desktop.ini");
    writeFile(ini, before);
    // Marked as apply leaves them, where the filesystem keeps the attributes Samba and Wine read.
    const bool marks = keepsUserXattrs(folder);
    QVERIFY(!marks || (!os::markSystem(toPath(folder)) && !os::markHiddenSystem(toPath(ini))));
    const QByteArray folderMarks = dosAttributes(folder), iniMarks = dosAttributes(ini);
    QCOMPARE(iniMarks.isEmpty(), !marks);
    window.show();

    window.dialogs.answers = {true};
    QVERIFY(window.takeOff(QStringLiteral("target")));
    // Forgotten as the command ends, before the folder's watcher has heard of the change.
    QVERIFY(!window.dir2->mark(folder));
    QCOMPARE(window.dialogs.defaults, QList{UserDialogs::Default::No});
    QCOMPARE(window.dialogs.messages.size(), 1);
    QVERIFY2(window.dialogs.messages.front().contains(QStringLiteral("外しました")), qPrintable(window.dialogs.messages.front()));
    QCOMPARE(QFileInfo::exists(ini), !after.isEmpty());
    QCOMPARE(readFile(ini), after);
    // The folder keeps its System mark; desktop.ini, where it stays, its Hidden and System.
    QCOMPARE(dosAttributes(folder), folderMarks);
    QCOMPARE(dosAttributes(ini), after.isEmpty() ? QByteArray() : iniMarks);
    // The picture stays unless asked for, and the mark is read anew: the folder is plain now.
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/sea.jpg")));
    QTRY_VERIFY(window.dir2->mark(folder) && window.dir2->mark(folder)->state == FolderMark::State::Plain);
    QVERIFY(window.form->findChild<QLabel*>(QStringLiteral("Label4"))->toolTip().isEmpty());
}

void TakeOffTest::takeOff_noChangesNothing()
{
    Window window;
    const QString folder = window.folder(QStringLiteral("target"));
    writeFile(folder + QStringLiteral("/sea.jpg"), "a picture");
    writeFile(folder + QStringLiteral("/desktop.ini"), "[.ShellClassInfo]\r\nInfoTip=x\r\n" + linesText(QStringLiteral("sea.jpg")).toLatin1());
    window.show();
    const QStringList before = snapshot(folder);

    window.dialogs.checkAnswer = true; // even with the box ticked
    QVERIFY(window.takeOff(QStringLiteral("target")));
    QCOMPARE(window.dialogs.questions.size(), 1);
    QCOMPARE(window.dialogs.defaults, QList{UserDialogs::Default::No});
    QCOMPARE(snapshot(folder), before);
    QVERIFY(window.dialogs.messages.isEmpty());
}

void TakeOffTest::takeOff_deletesTheCopiedPictureOnlyWhenTicked_data()
{
    QTest::addColumn<QString>("image");   // iconarea_image
    QTest::addColumn<bool>("offered");    // the check box is in the question
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("inside, ticked") << QStringLiteral("sea.jpg") << true << true << true;
    QTest::newRow("inside, left off") << QStringLiteral("sea.jpg") << true << false << false;
    QTest::newRow("in a subfolder, ticked") << QStringLiteral("pics\\sea.jpg") << true << true << true;
    QTest::newRow("outside: never offered") << QStringLiteral("..\\sea.jpg") << false << true << false;
}

void TakeOffTest::takeOff_deletesTheCopiedPictureOnlyWhenTicked()
{
    QFETCH(QString, image);
    QFETCH(bool, offered);
    QFETCH(bool, tick);
    QFETCH(bool, deleted);
    Window window;
    const QString folder = window.folder(QStringLiteral("target"));
    const QString picture = QDir::cleanPath(folder + QLatin1Char('/') + QString(image).replace(QLatin1Char('\\'), QLatin1Char('/')));
    QDir().mkpath(QFileInfo(picture).path());
    writeFile(picture, "a picture");
    writeFile(folder + QStringLiteral("/desktop.ini"), linesText(image).toLatin1());
    window.show();

    window.dialogs.answers = {true};
    window.dialogs.checkAnswer = tick;
    QVERIFY(window.takeOff(QStringLiteral("target")));
    QCOMPARE(window.dialogs.defaults, QList{UserDialogs::Default::No});
    QCOMPARE(window.dialogs.checks.size(), offered ? 1 : 0);
    if (offered)
        QCOMPARE(window.dialogs.offeredChecked, QList{false});
    QCOMPARE(QFileInfo::exists(picture), !deleted);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/desktop.ini")));
}

QTEST_MAIN(TakeOffTest)
#include "test_take_off.moc"
