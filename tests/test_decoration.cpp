// The settings file and what pressing apply and open does with it.

#include "app/form1.h"
#include "decoration/apply_command.h"
#include "decoration/settings_file.h"
#include "platform/dos_attributes.h"
#include "platform/file_list.h"
#include "platform/folder_list.h"
#include "posix_support.h"
#include "test_support.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

QByteArray settings(const QByteArray& picture, const QByteArray& colour)
{
    return "[{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\niconarea_image=" + picture + "\r\niconarea_text=0x" + colour + "\r\n";
}

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
    void apply_existingFile_isReplacedOnlyWhenConfirmed_stagedInUserData();
    void apply_readOnlyTarget_isReportedAndMarkingStillTried();
    void window_appliesIntoAnEmptyFolder_andOpeningAMissingOneFails();
};

void DecorationTest::settingsFile_isExactBytes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("root folder, start-up colour") << "/" << "sea.jpg" << "000000" << QByteArray("UTF-8") << settings("/sea.jpg", "00000000");
    QTest::newRow("spaces stay unquoted, padded") << "/My Pics" << "a b.bmp" << "FF0000" << QByteArray("UTF-8") << settings("/My Pics/a b.bmp", "00FF0000");
    QTest::newRow("case kept, spaces trimmed") << "/p" << "x.gif" << " c0ffee " << QByteArray("UTF-8") << settings("/p/x.gif", "00c0ffee");
    QTest::newRow("eight digits") << "/p" << "x.gif" << "12345678" << QByteArray("UTF-8") << settings("/p/x.gif", "12345678");
    QTest::newRow("japanese in Shift_JIS") << QStringLiteral("/写真") << QStringLiteral("海.jpg") << "FF" << QByteArray("SHIFT_JIS")
                                           << settings("/\x8E\xCA\x90\x5E/\x8A\x43.jpg", "000000FF");
    // A character the code page lacks turns the whole file into UTF-16LE with a byte-order mark.
    const QString accented = QString::fromLatin1(settings("/caf\xE9/x.jpg", "000000FF"));
    QTest::newRow("accent missing from Shift_JIS") << "/caf\u00e9" << "x.jpg" << "FF" << QByteArray("SHIFT_JIS")
                                                   << "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(accented.utf16()), accented.size() * 2);
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
    QTest::addColumn<bool>("programFolderWritable");
    QTest::newRow("no picture selected") << QString() << "FF" << true;
    QTest::newRow("not hexadecimal") << "sea.jpg" << "zz" << true;
    QTest::newRow("nine digits") << "sea.jpg" << "123456789" << true;
    QTest::newRow("empty colour") << "sea.jpg" << "  " << true;
    QTest::newRow("prefixed") << "sea.jpg" << "0xFF" << true;
    QTest::newRow("line feed in name") << "sea\niconarea_text=0x00FFFFFF.jpg" << "FF" << true;
    QTest::newRow("carriage return in name") << "sea\r.jpg" << "FF" << true;
    QTest::newRow("nowhere to stage") << "sea.jpg" << "FF" << false;
}

void DecorationTest::apply_refusal_writesAndMarksNothing()
{
    QFETCH(QString, name);
    QFETCH(QString, colour);
    QFETCH(bool, programFolderWritable);
    TempHome home;
    const QString target = home.mkpath(QStringLiteral("target"));
    writeFile(home.path(QStringLiteral(".local")), "x"); // where the user's data folder would go
    const QString program = programFolderWritable ? home.mkpath(QStringLiteral("program")) : home.path(QStringLiteral("not/there"));
    const QStringList before = filesUnder(home.path());
    FakeDialogs dialogs;
    ApplyCommand(dialogs, nullptr, program).run({home.path(), name, true, colour}, target);

    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(filesUnder(home.path()), before);
    QVERIFY(!dosAttrib(target));
}

void DecorationTest::apply_existingFile_isReplacedOnlyWhenConfirmed_stagedInUserData()
{
    TempHome home;
    const QString installed = home.mkpath(QStringLiteral("target")) + QStringLiteral("/desktop.ini");
    writeFile(installed, "old settings\r\n");
    // An installed program cannot write its own folder: the file is staged in the user's data.
    const QString program = home.path(QStringLiteral("not/there"));
    FakeDialogs dialogs;
    ApplyCommand command(dialogs, nullptr, program);
    const DecorationChoice choice{QStringLiteral("/pics"), QStringLiteral("sea.jpg"), true, QStringLiteral("000000")};

    dialogs.answers = {false};
    command.run(choice, home.path(QStringLiteral("target")));
    QCOMPARE(dialogs.questions.size(), 1);
    QVERIFY(dialogs.questions.front().contains(installed));
    QCOMPARE(readFile(installed), QByteArray("old settings\r\n"));
    QVERIFY(!QFileInfo::exists(program));
    QVERIFY(command.stagedFile().startsWith(home.path()));
    QCOMPARE(readFile(command.stagedFile()), settings("/pics/sea.jpg", "00000000"));

    dialogs.answers = {true};
    command.run(choice, home.path(QStringLiteral("target")));
    QCOMPARE(dialogs.questions.size(), 2);
    QCOMPARE(readFile(installed), settings("/pics/sea.jpg", "00000000"));
}

void DecorationTest::apply_readOnlyTarget_isReportedAndMarkingStillTried()
{
    TempHome home;
    const QString target = home.mkpath(QStringLiteral("locked"));
    FakeDialogs dialogs;
    {
        const ReadOnlyFolder locked(target);
        if (!locked.active())
            QSKIP("this filesystem cannot make a folder unchangeable");
        ApplyCommand(dialogs, nullptr, home.mkpath(QStringLiteral("program"))).run({QStringLiteral("/p"), QStringLiteral("x.bmp"), true, QStringLiteral("0")}, target);
    }
    // One message for the copy, one for the mark, both naming the folder.
    QCOMPARE(dialogs.messages.size(), 2);
    for (const QString& message : dialogs.messages)
        QVERIFY(message.contains(target));
    QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void DecorationTest::window_appliesIntoAnEmptyFolder_andOpeningAMissingOneFails()
{
    TempHome home;
    const QString pictures = home.mkpath(QStringLiteral("Documents/My Pictures"));
    QVERIFY(twoColourImage(QSize(4, 4), Qt::red, Qt::red).save(pictures + QStringLiteral("/海.bmp")));
    const QString target = home.mkpath(QStringLiteral("Summer Trip"));
    const QString program = home.mkpath(QStringLiteral("program"));
    FakeDialogs dialogs;
    Form1 form(dialogs, program);
    QVERIFY(form.findChild<FolderList*>(QStringLiteral("Dir2"))->setPath(target));
    form.findChild<FileList*>(QStringLiteral("File1"))->setListIndex(0);
    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("ABCDEF"));
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    // Staged beside the program, copied and marked; the tests run in a UTF-8 locale.
    const QByteArray expected = settings((pictures + QStringLiteral("/海.bmp")).toUtf8(), "00ABCDEF");
    QCOMPARE(readFile(program + QStringLiteral("/desktop.ini")), expected);
    QCOMPARE(readFile(target + QStringLiteral("/desktop.ini")), expected);
    const bool markable = keepsUserXattrs(target);
    QCOMPARE(dialogs.messages.size(), markable ? 0 : 1); // a folder that cannot be marked is reported
    const auto attributes = dos::attributesOf(dosAttrib(target).value_or(std::string()));
    QVERIFY(!markable || (attributes && (*attributes & dos::System)));

    // The folder went away before the window noticed: opening it fails, said once.
    dialogs.messages.clear();
    QVERIFY(QDir(target).removeRecursively());
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QCOMPARE(dialogs.messages, QStringList{QStringLiteral("失敗しました")});
}

QTEST_MAIN(DecorationTest)
#include "test_decoration.moc"
