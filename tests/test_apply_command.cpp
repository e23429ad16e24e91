// What pressing apply and open does: checks, staging, the copy and the System mark.

#include "app/form1.h"
#include "decoration/apply_command.h"
#include "decoration/settings_file.h"
#include "gui_support.h"
#include "platform/os/dos_attributes.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "posix_support.h"

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

class ApplyCommandTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void apply_refusal_writesAndMarksNothing_data();
    void apply_refusal_writesAndMarksNothing();
    void apply_existingFile_isReplacedOnlyWhenConfirmed_stagedInUserData();
    void apply_readOnlyTarget_isReportedAndMarkingStillTried();
    void window_appliesIntoAnEmptyFolder();
    void window_openingAFolderGoneMeanwhile_saysItFailedOnce();
};

void ApplyCommandTest::apply_refusal_writesAndMarksNothing_data()
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

void ApplyCommandTest::apply_refusal_writesAndMarksNothing()
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

void ApplyCommandTest::apply_existingFile_isReplacedOnlyWhenConfirmed_stagedInUserData()
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

void ApplyCommandTest::apply_readOnlyTarget_isReportedAndMarkingStillTried()
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

void ApplyCommandTest::window_appliesIntoAnEmptyFolder()
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
}

void ApplyCommandTest::window_openingAFolderGoneMeanwhile_saysItFailedOnce()
{
    TempHome home;
    const QString target = home.mkpath(QStringLiteral("Summer Trip"));
    FakeDialogs dialogs;
    Form1 form(dialogs, home.path());
    QVERIFY(form.findChild<FolderList*>(QStringLiteral("Dir2"))->setPath(target));
    QVERIFY(QDir(target).removeRecursively());
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QCOMPARE(dialogs.messages, QStringList{QStringLiteral("失敗しました")});
}

QTEST_MAIN(ApplyCommandTest)
#include "test_apply_command.moc"
