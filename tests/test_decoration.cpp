// The settings file and what pressing apply and open does with it.

#include "app/form1.h"
#include "decoration/apply_command.h"
#include "decoration/settings_file.h"
#include "platform/dos_attributes.h"
#include "platform/file_list.h"
#include "platform/folder_list.h"
#include "posix_support.h"
#include "shell/mod_com.h"
#include "test_support.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

const QByteArray Header = "[{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n";

// Every file below `folder`, so that a refusal can be shown to have written nothing anywhere.
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

} // namespace

class DecorationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void settingsText_isThreeLinesEndedByCrLf_data();
    void settingsText_isThreeLinesEndedByCrLf();
    void settingsBytes_keepTheCodePageOrSwitchToUtf16_data();
    void settingsBytes_keepTheCodePageOrSwitchToUtf16();
    void apply_refusal_writesAndMarksNothing_data();
    void apply_refusal_writesAndMarksNothing();
    void apply_intoEmptyFolder_stagesCopiesAndMarks();
    void apply_existingFile_isReplacedOnlyWhenConfirmed();
    void apply_readOnlyTarget_isReportedAndStillMarkedAttempted();
    void apply_unwritableProgramFolder_stagesInUserData();
    void open_missingFolder_saysFailedOnce();
    void window_applyAndOpen_useTheCurrentSelections();
};

void DecorationTest::settingsText_isThreeLinesEndedByCrLf_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("root folder, start-up colour")
        << "/" << "sea.jpg" << "000000" << Header + "iconarea_image=/sea.jpg\r\niconarea_text=0x00000000\r\n";
    QTest::newRow("folder and red")
        << "/pics" << "sea.jpg" << "FF" << Header + "iconarea_image=/pics/sea.jpg\r\niconarea_text=0x000000FF\r\n";
    QTest::newRow("spaces stay unquoted")
        << "/My Pics" << "a b.bmp" << "FF0000" << Header + "iconarea_image=/My Pics/a b.bmp\r\niconarea_text=0x00FF0000\r\n";
    QTest::newRow("lower case kept, spaces trimmed")
        << "/p" << "x.gif" << " c0ffee " << Header + "iconarea_image=/p/x.gif\r\niconarea_text=0x00c0ffee\r\n";
    QTest::newRow("eight digits")
        << "/p" << "x.gif" << "12345678" << Header + "iconarea_image=/p/x.gif\r\niconarea_text=0x12345678\r\n";
}

void DecorationTest::settingsText_isThreeLinesEndedByCrLf()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, colour);
    QFETCH(QByteArray, expected);
    const DecorationChoice choice{folder, name, true, colour};
    QVERIFY(!checkChoice(choice));
    QCOMPARE(settingsBytes(settingsText(choice), "UTF-8"), expected);
}

void DecorationTest::settingsBytes_keepTheCodePageOrSwitchToUtf16_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("expectedPath");
    QTest::addColumn<bool>("utf16");

    QTest::newRow("japanese in Shift_JIS") << QStringLiteral("/写真/海.jpg") << QByteArray("SHIFT_JIS")
                                           << QByteArray("/\x8E\xCA\x90\x5E/\x8A\x43.jpg") << false;
    QTest::newRow("japanese in UTF-8") << QStringLiteral("/写真/海.jpg") << QByteArray("UTF-8")
                                       << QStringLiteral("/写真/海.jpg").toUtf8() << false;
    QTest::newRow("accent missing from Shift_JIS") << QStringLiteral("/café/x.jpg") << QByteArray("SHIFT_JIS")
                                                   << QByteArray() << true;
    QTest::newRow("japanese in plain ASCII") << QStringLiteral("/写真/x.jpg") << QByteArray("ANSI_X3.4-1968")
                                             << QByteArray() << true;
}

void DecorationTest::settingsBytes_keepTheCodePageOrSwitchToUtf16()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, expectedPath);
    QFETCH(bool, utf16);

    const DecorationChoice choice{QFileInfo(path).path(), QFileInfo(path).fileName(), true, QStringLiteral("FF")};
    const QString text = settingsText(choice);
    const QByteArray bytes = settingsBytes(text, encoding.toStdString());
    if (utf16) {
        QByteArray expected("\xFF\xFE");
        expected += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QCOMPARE(bytes, expected);
    } else {
        QCOMPARE(bytes, Header + "iconarea_image=" + expectedPath + "\r\niconarea_text=0x000000FF\r\n");
    }
}

void DecorationTest::apply_refusal_writesAndMarksNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("colour");

    QTest::newRow("no picture selected") << QString() << "FF";
    QTest::newRow("not hexadecimal") << "sea.jpg" << "zz";
    QTest::newRow("more than eight digits") << "sea.jpg" << "ABCDEFGHIJ";
    QTest::newRow("nine hexadecimal digits") << "sea.jpg" << "123456789";
    QTest::newRow("empty colour") << "sea.jpg" << "  ";
    QTest::newRow("prefixed") << "sea.jpg" << "0xFF";
    QTest::newRow("line feed in name") << "sea\niconarea_text=0x00FFFFFF.jpg" << "FF";
    QTest::newRow("carriage return in name") << "sea\r.jpg" << "FF";
}

void DecorationTest::apply_refusal_writesAndMarksNothing()
{
    QFETCH(QString, name);
    QFETCH(QString, colour);
    TempHome home;
    const QString program = home.mkpath(QStringLiteral("program"));
    const QString target = home.mkpath(QStringLiteral("target"));
    const QStringList before = filesUnder(home.path());

    FakeDialogs dialogs;
    ApplyCommand command(dialogs, nullptr, program);
    command.run({home.path(), name, true, colour}, target);

    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.questions.isEmpty());
    QCOMPARE(filesUnder(home.path()), before);
    QVERIFY(!dosAttrib(target));
}

void DecorationTest::apply_intoEmptyFolder_stagesCopiesAndMarks()
{
    TempHome home;
    const QString program = home.mkpath(QStringLiteral("program"));
    const QString target = home.mkpath(QStringLiteral("Summer Trip"));
    FakeDialogs dialogs;
    ApplyCommand command(dialogs, nullptr, program);
    command.run({QStringLiteral("/pics"), QStringLiteral("sea.jpg"), true, QStringLiteral("FF")}, target);

    const QByteArray expected = Header + "iconarea_image=/pics/sea.jpg\r\niconarea_text=0x000000FF\r\n";
    QCOMPARE(command.stagedFile(), program + QStringLiteral("/desktop.ini"));
    QCOMPARE(readFile(program + QStringLiteral("/desktop.ini")), expected);
    QCOMPARE(readFile(target + QStringLiteral("/desktop.ini")), expected);
    QVERIFY(dialogs.questions.isEmpty());

    if (!keepsUserXattrs(target)) {
        QCOMPARE(dialogs.messages.size(), 1); // the folder could not be marked, and the user is told
        QSKIP("this filesystem keeps no user.* extended attributes");
    }
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join(QLatin1Char('\n'))));
    const auto attributes = dos::attributesOf(dosAttrib(target).value_or(std::string()));
    QVERIFY(attributes && (*attributes & dos::System));
}

void DecorationTest::apply_existingFile_isReplacedOnlyWhenConfirmed()
{
    TempHome home;
    const QString program = home.mkpath(QStringLiteral("program"));
    const QString target = home.mkpath(QStringLiteral("target"));
    const QString installed = target + QStringLiteral("/desktop.ini");
    writeFile(installed, "old settings\r\n");
    FakeDialogs dialogs;
    ApplyCommand command(dialogs, nullptr, program);
    const DecorationChoice choice{QStringLiteral("/pics"), QStringLiteral("sea.jpg"), true, QStringLiteral("000000")};

    dialogs.answers = {false};
    command.run(choice, target);
    QCOMPARE(dialogs.questions.size(), 1);
    QVERIFY(dialogs.questions.front().contains(installed));
    QCOMPARE(readFile(installed), QByteArray("old settings\r\n"));
    QVERIFY(QFile::exists(program + QStringLiteral("/desktop.ini"))); // staged all the same

    dialogs.answers = {true};
    command.run(choice, target);
    QCOMPARE(dialogs.questions.size(), 2);
    QCOMPARE(readFile(installed), readFile(program + QStringLiteral("/desktop.ini")));
    QVERIFY(readFile(installed).endsWith("iconarea_text=0x00000000\r\n"));
}

void DecorationTest::apply_readOnlyTarget_isReportedAndStillMarkedAttempted()
{
    TempHome home;
    const QString program = home.mkpath(QStringLiteral("program"));
    const QString target = home.mkpath(QStringLiteral("locked"));
    FakeDialogs dialogs;
    {
        const ReadOnlyFolder locked(target);
        if (!locked.active())
            QSKIP("this filesystem cannot make a folder unchangeable");
        ApplyCommand(dialogs, nullptr, program).run({QStringLiteral("/p"), QStringLiteral("x.bmp"), true, QStringLiteral("0")}, target);
    }
    QVERIFY(!dialogs.messages.isEmpty());
    QVERIFY(dialogs.messages.front().contains(target));
    QVERIFY(!QFile::exists(target + QStringLiteral("/desktop.ini")));
    QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void DecorationTest::apply_unwritableProgramFolder_stagesInUserData()
{
    TempHome home;
    const QString program = home.path(QStringLiteral("not/there"));
    const QString target = home.mkpath(QStringLiteral("target"));
    FakeDialogs dialogs;
    ApplyCommand command(dialogs, nullptr, program);
    command.run({QStringLiteral("/p"), QStringLiteral("x.bmp"), true, QStringLiteral("0")}, target);

    QVERIFY(!QFileInfo::exists(program));
    QVERIFY(command.stagedFile().startsWith(home.path()));
    QVERIFY(QFile::exists(target + QStringLiteral("/desktop.ini")));
    QCOMPARE(readFile(command.stagedFile()), readFile(target + QStringLiteral("/desktop.ini")));
}

void DecorationTest::open_missingFolder_saysFailedOnce()
{
    TempHome home;
    for (const QString& folder : {home.path(QStringLiteral("missing")), QString()}) {
        FakeDialogs dialogs;
        Mod_Com::OpenFolder(folder, nullptr, dialogs);
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("失敗しました")});
    }
}

void DecorationTest::window_applyAndOpen_useTheCurrentSelections()
{
    TempHome home;
    const QString pictures = home.mkpath(QStringLiteral("Documents/My Pictures"));
    QVERIFY(twoColourImage(QSize(4, 4), Qt::red, Qt::red).save(pictures + QStringLiteral("/海.bmp")));
    const QString target = home.mkpath(QStringLiteral("target"));
    FakeDialogs dialogs;
    Form1 form(dialogs, home.mkpath(QStringLiteral("program")));
    auto* file1 = form.findChild<FileList*>(QStringLiteral("File1"));
    auto* dir2 = form.findChild<FolderList*>(QStringLiteral("Dir2"));

    QVERIFY(dir2->setPath(target));
    file1->setListIndex(0);
    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("ABCDEF"));
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    // The tests run in a UTF-8 locale, so the Japanese name is written in UTF-8.
    QCOMPARE(readFile(target + QStringLiteral("/desktop.ini")),
             Header + "iconarea_image=" + (pictures + QStringLiteral("/海.bmp")).toUtf8() + "\r\niconarea_text=0x00ABCDEF\r\n");

    // The folder went away before the window noticed: opening it fails, said once.
    dialogs.messages.clear();
    QVERIFY(QDir(target).removeRecursively());
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QCOMPARE(dialogs.messages, QStringList{QStringLiteral("失敗しました")});
}

QTEST_MAIN(DecorationTest)
#include "test_decoration.moc"
