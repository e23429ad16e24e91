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
    void settingsFile_isExactBytes_data();
    void settingsFile_isExactBytes();
    void apply_refusal_writesAndMarksNothing_data();
    void apply_refusal_writesAndMarksNothing();
    void apply_intoEmptyFolder_stagesCopiesAndMarks();
    void apply_existingFile_isReplacedOnlyWhenConfirmed();
    void apply_readOnlyTarget_isReportedAndStillMarkedAttempted();
    void apply_unwritableProgramFolder_stagesInUserData();
    void open_missingFolder_saysFailedOnce();
    void window_applyAndOpen_useTheCurrentSelections();
};

void DecorationTest::settingsFile_isExactBytes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("expected");

    const auto lines = [](const QByteArray& path, const QByteArray& colour) {
        return Header + "iconarea_image=" + path + "\r\niconarea_text=0x" + colour + "\r\n";
    };
    QTest::newRow("root folder, start-up colour") << "/" << "sea.jpg" << "000000" << QByteArray("UTF-8") << lines("/sea.jpg", "00000000");
    QTest::newRow("folder and red") << "/pics" << "sea.jpg" << "FF" << QByteArray("UTF-8") << lines("/pics/sea.jpg", "000000FF");
    QTest::newRow("spaces stay unquoted") << "/My Pics" << "a b.bmp" << "FF0000" << QByteArray("UTF-8") << lines("/My Pics/a b.bmp", "00FF0000");
    QTest::newRow("case kept, spaces trimmed") << "/p" << "x.gif" << " c0ffee " << QByteArray("UTF-8") << lines("/p/x.gif", "00c0ffee");
    QTest::newRow("eight digits") << "/p" << "x.gif" << "12345678" << QByteArray("UTF-8") << lines("/p/x.gif", "12345678");
    QTest::newRow("japanese in Shift_JIS") << QStringLiteral("/写真") << QStringLiteral("海.jpg") << "FF" << QByteArray("SHIFT_JIS")
                                           << lines("/\x8E\xCA\x90\x5E/\x8A\x43.jpg", "000000FF");

    // A character the code page lacks turns the whole file into UTF-16LE with a byte-order mark.
    const auto utf16 = [](const QString& text) {
        return "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    QTest::newRow("accent missing from Shift_JIS") << "/caf\u00e9" << "x.jpg" << "FF" << QByteArray("SHIFT_JIS")
                                                   << utf16(QString::fromLatin1(lines("/caf\xE9/x.jpg", "000000FF")));
    QTest::newRow("japanese in plain ASCII") << QStringLiteral("/写真") << "x.jpg" << "0" << QByteArray("ANSI_X3.4-1968")
                                             << utf16(QString::fromUtf8(lines("/写真/x.jpg", "00000000")));
}

void DecorationTest::settingsFile_isExactBytes()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, colour);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, expected);
    const DecorationChoice choice{folder, name, true, colour};
    QVERIFY(!checkChoice(choice));
    QCOMPARE(settingsBytes(settingsText(choice), encoding.toStdString()), expected);
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
