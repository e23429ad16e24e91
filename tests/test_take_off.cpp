// Decorated folders as Dir2 shows them (the emblem, the tooltips, Label4) and taking a
// decoration off through Dir2's context menu: what stays of desktop.ini, byte for byte, what
// a No leaves, and the copied picture that goes only when the user ticks it.

#include "app/form1.h"
#include "gui_support.h"
#include "ini_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/folder_list.h"
#include "posix_support.h"

#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// The window over a home whose working folder, Dir2's, holds the folders "target" and "other".
class Window {
public:
    // Opens the window once the test has filled the folders, Dir2's rows on the screen.
    void show()
    {
        form = std::make_unique<Form1>(dialogs);
        dir2 = form->findChild<FolderList*>(QStringLiteral("Dir2"));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_VERIFY(!dir2->marksPending());
    }
    QModelIndex row(const QString& name) const
    {
        const QModelIndexList found = dir2->model()->match(dir2->model()->index(0, 0, dir2->currentIndex()), Qt::DisplayRole, name, 1, Qt::MatchExactly);
        return found.value(0);
    }
    // Dir2's context menu on "target" (開く, then the take-off), opened by the Menu key.
    QMenu* menu()
    {
        QTest::mouseClick(dir2->viewport(), Qt::LeftButton, {}, dir2->visualRect(row(QStringLiteral("target"))).center());
        if (!QTest::qWaitFor([&] { return dir2->path() == target && !dir2->marksPending(); }))
            return nullptr;
        QTest::keyClick(dir2, Qt::Key_Menu);
        auto* shown = form->findChild<QMenu*>(QStringLiteral("Dir2Menu"));
        return shown && shown->isVisible() && shown->actions().size() == 2 ? shown : nullptr;
    }
    // False when the menu does not offer it.
    bool takeOff()
    {
        QMenu* shown = menu();
        if (!shown || !shown->actions().at(1)->isEnabled())
            return false;
        shown->hide();
        shown->actions().at(1)->trigger();
        return commandsEnded(*form);
    }

    TempHome home;
    FakeVolumes volumes{{toPath(home.path())}};
    FakeDialogs dialogs;
    const QString target = home.mkpath(QStringLiteral("work/target"));
    const QString other = home.mkpath(QStringLiteral("work/other"));
    const QString ini = target + QStringLiteral("/desktop.ini");
    std::unique_ptr<Form1> form;
    FolderList* dir2 = nullptr;
};

struct MarkCase {
    const char* name;
    QByteArray ini;   // desktop.ini; empty for none
    QString picture;  // made inside the folder, relative; empty for none
    FolderMark::State state;
    QStringList tip;  // what the tooltips say, in part
    QString said = {}; // what a screen reader hears after the name, where not the state's own word
};
const MarkCase markCases[] = {
    {"plain folder", {}, {}, FolderMark::State::Plain, {}},
    {"only other settings", "[.ShellClassInfo]\r\nInfoTip=x\r\n", {}, FolderMark::State::Plain, {}},
    {"relative path with backslashes", lines(QStringLiteral("pics\\sea.jpg")), QStringLiteral("pics/sea.jpg"),
     FolderMark::State::Decorated, {QStringLiteral("target/pics/sea.jpg"), QStringLiteral("0x000000FF = 赤 255、緑 0、青 0 (#FF0000)")}},
    {"names in any case, UTF-16LE", utf16(QStringLiteral("[{be098140-a513-11d0-a3a4-00c04fd706ec}]\r\nIconArea_Image=海.jpg\r\nICONAREA_TEXT=0xFF0000\r\n")),
     QStringLiteral("海.jpg"), FolderMark::State::Decorated, {QStringLiteral("target/海.jpg"), QStringLiteral("青 255")}},
    {"picture missing", lines(QStringLiteral("gone.jpg")), {}, FolderMark::State::Broken,
     {QStringLiteral("背景画像が見つかりません"), QStringLiteral("target/gone.jpg")}},
    // Windows opens a name without regard to case, and without its trailing dots and spaces.
    {"names in another case, a trailing dot: the picture Windows opens", lines(QStringLiteral("PICS\\SEA.JPG.")),
     QStringLiteral("pics/sea.jpg"), FolderMark::State::Decorated, {QStringLiteral("target/pics/sea.jpg")}},
    {"a path that climbs out of the folder's drive", lines(QStringLiteral("..\\..\\..\\etc\\passwd")), {},
     FolderMark::State::Broken, {QStringLiteral("ドライブの外"), QStringLiteral("..\\..\\..\\etc\\passwd")}},
    {"a name this machine's code page cannot read", Section.toLatin1() + "\r\nIconArea_Image=\x85\x40.jpg\r\n", {},
     FolderMark::State::Broken, {QStringLiteral("このパソコンでは正確に読めません")}, QStringLiteral("背景を読めません")},
    {"a path of 60,000 characters: a few hundred shown", lines(QString(60000, QLatin1Char('x'))), {},
     FolderMark::State::Broken, {QStringLiteral("xxx\u2026xxx")}},
};

// desktop.ini holds `before`, or when it is empty the three lines naming `picture`, which is made
// where it names; the user answers `yes` and ticks the picture's box or not; `changed`: another
// program changes desktop.ini to `after` while the question is open. `after`: what is left of
// desktop.ini, empty when it is gone. `readOnly`: desktop.ini has the Read-only attribute.
struct TakeOffCase { const char* name; QString picture; QByteArray before; QByteArray after; bool yes = true; bool tick = false;
                     bool offered = true; bool changed = false; bool readOnly = false; };
const QByteArray ansiShell = "[.ShellClassInfo]\r\nIconResource=C:\\x.dll,3\r\n";
const QString sea = QStringLiteral("sea.jpg");
const TakeOffCase takeOffCases[] = {
    {"three lines, the picture's box left off", sea, {}, {}},
    {"blank lines around them: nothing left", sea, " \r\n\t\r\n" + lines(sea) + "\r\n \r\n", {}},
    {"ANSI, merged", sea, ansiShell + lines(sea) + "[Other]\nk = v\n", ansiShell + "[Other]\nk = v\n"},
    {"No, box ticked: nothing changes", sea, {}, lines(sea), false, true},
    {"inside, ticked", sea, {}, {}, true, true},
    {"outside: never offered", QStringLiteral("..\\sea.jpg"), {}, {}, true, true, false},
    // The other program's desktop.ini is not the one the user agreed to delete.
    {"desktop.ini changed while asked: it stays, and the picture", sea, {}, "[.ShellClassInfo]\r\nInfoTip=theirs\r\n" + lines(sea), true, true,
     true, true},
    {"read-only: the question says so", sea, {}, {}, true, false, true, false, true},
};

} // namespace

class TakeOffTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dir2_marksDecoratedFoldersAndTheirPictures_data() { rows(markCases); }
    void dir2_marksDecoratedFoldersAndTheirPictures();
    void dir2_emblemFollowsThePictureComingAndGoing();
    void takeOff_leavesTheOtherSettingsAndThePictureUnlessTicked_data() { rows(takeOffCases); }
    void takeOff_leavesTheOtherSettingsAndThePictureUnlessTicked();
};

void TakeOffTest::dir2_marksDecoratedFoldersAndTheirPictures()
{
    QFETCH(int, row);
    const MarkCase& c = markCases[row];
    Window window;
    if (!c.ini.isEmpty())
        writeFile(window.ini, c.ini);
    if (!c.picture.isEmpty()) {
        QDir(window.target).mkpath(QFileInfo(c.picture).path());
        writeFile(window.target + QLatin1Char('/') + c.picture, "a picture");
    }
    window.show();

    // Read while merely shown in the list: the emblem and the tooltip.
    QTRY_VERIFY(window.dir2->mark(window.target));
    QCOMPARE(window.dir2->mark(window.target)->state, c.state);
    const auto iconOf = [&](const QString& name) { return window.row(name).data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
    QCOMPARE(iconOf(QStringLiteral("target")) != iconOf(QStringLiteral("other")), c.state != FolderMark::State::Plain);
    const QString rowTip = window.row(QStringLiteral("target")).data(Qt::ToolTipRole).toString();

    // A screen reader hears the emblem with the row's name, and the tooltip as its description.
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(window.dir2);
    QAccessibleInterface* targetRow = nullptr;
    for (int i = 0; i < tree->childCount() && !targetRow; ++i) {
        QAccessibleInterface* item = tree->child(i);
        if (item && item->role() == QAccessible::TreeItem && item->text(QAccessible::Name).section(u'、', 0, 0) == QStringLiteral("target"))
            targetRow = item;
    }
    QVERIFY(targetRow);
    const QString words[] = {QString(), QStringLiteral("背景あり"), QStringLiteral("背景画像が見つかりません")};
    const QString said = QStringLiteral("target") + (c.state == FolderMark::State::Plain ? QString() : QStringLiteral("、"))
        + (c.said.isEmpty() ? words[static_cast<int>(c.state)] : c.said);
    QCOMPARE(targetRow->text(QAccessible::Name), said);
    QCOMPARE(targetRow->text(QAccessible::Description), rowTip);

    // Label4 says it once the target is selected; the menu offers the take-off for it alone.
    auto* label4 = window.form->findChild<QLabel*>(QStringLiteral("Label4"));
    QMenu* menu = window.menu();
    QVERIFY(menu);
    QCOMPARE(menu->actions().at(1)->isEnabled(), c.state != FolderMark::State::Plain);
    // Tabbing into the list, the reader hears the selected folder with its state.
    QCOMPARE(tree->text(QAccessible::Description), QString(said).replace(0, 6, window.target));
    // The menu opens on its first item, and Down reaches the take-off even when it is off,
    // which then says why.
    QCOMPARE(menu->activeAction(), menu->actions().at(0));
    QTest::keyClick(menu, Qt::Key_Down);
    QCOMPARE(menu->activeAction(), menu->actions().at(1));
    QAccessibleInterface* takeOff = QAccessible::queryAccessibleInterface(menu)->child(1);
    QCOMPARE(takeOff->state().disabled, c.state == FolderMark::State::Plain);
    QCOMPARE(takeOff->text(QAccessible::Description), c.state == FolderMark::State::Plain ? QStringLiteral("背景が設定されていません") : QString());
    for (const QString& tip : {rowTip, label4->toolTip()}) {
        QCOMPARE(tip.isEmpty(), c.tip.isEmpty());
        QVERIFY(tip.size() < 1000);
        for (const QString& part : c.tip)
            QVERIFY2(tip.contains(part), qPrintable(tip));
    }
}

// The selected folder's picture is watched; another folder's is looked at again once its row is
// shown again.
void TakeOffTest::dir2_emblemFollowsThePictureComingAndGoing()
{
    Window window;
    // Enough folders after them for the list to scroll them away.
    for (int i = 0; i < 60; ++i)
        window.home.mkpath(QStringLiteral("work/z%1").arg(i, 2, 10, QLatin1Char('0')));
    for (const QString& folder : {window.target, window.other}) {
        writeFile(folder + QStringLiteral("/desktop.ini"), lines(QStringLiteral("pics\\sea.jpg")));
        QDir(folder).mkpath(QStringLiteral("pics"));
        writeFile(folder + QStringLiteral("/pics/sea.jpg"), "a picture");
    }
    window.show();
    const auto state = [&](const QString& folder) {
        const FolderMark* mark = window.dir2->mark(folder);
        return mark ? mark->state : FolderMark::State::Plain;
    };
    QTRY_COMPARE(state(window.target), FolderMark::State::Decorated);
    QVERIFY(window.menu());
    window.form->findChild<QMenu*>(QStringLiteral("Dir2Menu"))->hide();

    QVERIFY(QFile::remove(window.target + QStringLiteral("/pics/sea.jpg")));
    QTRY_COMPARE(state(window.target), FolderMark::State::Broken);
    writeFile(window.target + QStringLiteral("/pics/sea.jpg"), "a picture");
    QTRY_COMPARE(state(window.target), FolderMark::State::Decorated);

    QCOMPARE(state(window.other), FolderMark::State::Decorated);
    QVERIFY(QDir(window.other + QStringLiteral("/pics")).removeRecursively());
    window.dir2->scrollToBottom();
    QTRY_VERIFY(!window.dir2->marksPending());
    QCOMPARE(state(window.other), FolderMark::State::Decorated);
    window.dir2->scrollToTop();
    QTRY_COMPARE(state(window.other), FolderMark::State::Broken);
}

void TakeOffTest::takeOff_leavesTheOtherSettingsAndThePictureUnlessTicked()
{
    QFETCH(int, row);
    const TakeOffCase& c = takeOffCases[row];
    Window window;
    const QString picture = QDir::cleanPath(window.target + QLatin1Char('/') + QString(c.picture).replace(QLatin1Char('\\'), QLatin1Char('/')));
    QDir().mkpath(QFileInfo(picture).path());
    writeFile(picture, "a picture");
    writeFile(window.ini, c.before.isEmpty() ? lines(c.picture) : c.before);
    // Marked as apply leaves them, where the filesystem keeps the attributes Samba and Wine read.
    const bool marks = keepsUserXattrs(window.target);
    QVERIFY(!marks || (!os::markSystem(toPath(window.target)) && !os::markHiddenSystem(toPath(window.ini))));
    if (c.readOnly && !marks)
        QSKIP("this filesystem keeps no user.* attributes");
    if (c.readOnly) // Read-only, Hidden, System and Archive, as Windows marks it
        QVERIFY(setDosAttrib(window.ini, "0x27"));
    const std::optional<std::string> folderMarks = dosAttrib(window.target), iniMarks = dosAttrib(window.ini);
    window.show();
    const QStringList before = snapshot(window.target);

    window.dialogs.answers = {c.yes};
    window.dialogs.checkAnswer = c.tick;
    if (c.changed)
        window.dialogs.whileAsking = [&](const QString&) { writeFile(window.ini, c.after); };
    QVERIFY(window.takeOff());
    QCOMPARE(window.dialogs.defaults, QList{UserDialogs::Default::No});
    QCOMPARE(window.dialogs.offeredChecked, c.offered ? QList{false} : QList<bool>());
    QCOMPARE(QFileInfo::exists(picture), !(c.yes && c.tick && c.offered && !c.changed));
    QCOMPARE(QFileInfo::exists(window.ini), !c.after.isEmpty());
    QCOMPARE(readFile(window.ini), c.after);
    // The folder keeps its System mark; desktop.ini, where it stays, its Hidden and System.
    QCOMPARE(dosAttrib(window.target), folderMarks);
    QCOMPARE(dosAttrib(window.ini), c.after.isEmpty() ? std::nullopt : iniMarks);
    if (!c.yes || c.changed) {
        QCOMPARE(window.dialogs.messages.size(), c.changed ? 1 : 0);
        QCOMPARE(window.dialogs.warnings.size(), c.changed ? 1 : 0);
        if (!c.yes)
            QCOMPARE(snapshot(window.target), before);
        return;
    }
    // The question says what becomes of desktop.ini.
    QCOMPARE(window.dialogs.questions.value(0).contains(QStringLiteral("desktop.ini を削除します")), c.after.isEmpty());
    QCOMPARE(window.dialogs.questions.value(0).contains(QStringLiteral("読み取り専用です")), c.readOnly);
    QCOMPARE(window.dialogs.messages.size(), 1);
    QVERIFY2(window.dialogs.messages.front().contains(QStringLiteral("外しました")), qPrintable(window.dialogs.messages.front()));
    QVERIFY(window.dialogs.warnings.isEmpty());
    QTRY_VERIFY(window.dir2->mark(window.target) && window.dir2->mark(window.target)->state == FolderMark::State::Plain);
}

TESSARO_TEST_MAIN(TakeOffTest)
#include "test_take_off.moc"
