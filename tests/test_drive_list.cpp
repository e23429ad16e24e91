// The drive list on volumes of the test's own: it starts with the current drive alone, lists
// the others when it opens, asks them off the window's thread (a drive that does not answer
// is shown so, and the list answers meanwhile). The drive shown, chosen again, as the way back
// to its folder is the browser test's.

#include "platform/widgets/drive_list.h"

#include "fake_volumes.h"
#include "gui_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/folder_reading.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

class DriveListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A drive that does not answer is shown so, the list answering meanwhile; chosen, it is
    // reported and the list stays where it was.
    void startsWithTheCurrentDrive_listsTheOthersWhenOpened_oneThatDoesNotAnswerIsShownSo()
    {
        TempHome home;
        const os::Path dead = toPath(home.mkpath(QStringLiteral("nas")));
        FakeVolumes volumes({os::systemVolume(), toPath(home.mkpath(QStringLiteral("usb"))), dead}, dead);
        FakeDialogs dialogs;
        DriveList drives(dialogs);
        QSignalSpy changes(&drives, &DriveList::changed);
        QCOMPARE(drives.count(), 1);
        QCOMPARE(drives.drive(), toQString(os::systemVolume()));

        QElapsedTimer clock;
        clock.start();
        drives.showPopup();
        // Not waiting for the drive that does not answer, not even for the time limit: a bound
        // any shorter would measure how long Wine takes to make a first popup on a busy machine.
        QVERIFY(clock.elapsed() < AnswerTimeLimit.count());
        QCOMPARE(drives.count(), 3);
        QCOMPARE(drives.drive(), toQString(os::systemVolume()));
        QTRY_COMPARE(drives.itemText(1), home.path(QStringLiteral("usb")) + QStringLiteral(" [FAKE]"));
        QTRY_VERIFY_WITH_TIMEOUT(drives.itemText(2).endsWith(QStringLiteral("(応答がありません)")), int(AnswerTimeLimit.count()) * 2 + 1000);
        drives.hidePopup();

        Q_EMIT drives.activated(2);
        QCOMPARE(drives.drive(), toQString(os::systemVolume()));
        QCOMPARE(drives.currentIndex(), 0);
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("ドライブ %1 を開けません。\n").arg(toQString(dead)) + describeNoAnswer()});
        QVERIFY(!drives.setDrive(toQString(dead)));
        QCOMPARE(changes.size(), 0);
    }

    void setDrive_takesDriveLettersAndKnownRootsOnly_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("taken");
        QTest::newRow("c: is the system drive") << QStringLiteral("c:") << true;
        QTest::newRow("a root") << toQString(os::systemVolume()) << true;
        QTest::newRow("an unknown letter") << QStringLiteral("q:") << false;
        QTest::newRow("a folder that is no root") << QDir::tempPath() << false;
    }

    void setDrive_takesDriveLettersAndKnownRootsOnly()
    {
        QFETCH(QString, asked);
        QFETCH(bool, taken);
        FakeVolumes volumes;
        FakeDialogs dialogs;
        DriveList drives(dialogs);
        QCOMPARE(drives.setDrive(asked), taken);
        QCOMPARE(drives.drive(), toQString(os::systemVolume()));
    }
};

TESSARO_TEST_MAIN(DriveListTest)
#include "test_drive_list.moc"
