// Work that may wait for a volume, kept off the window's thread.
// - The reading both lists share: it runs on a worker, is waited for on the spot only while it
//   is quick, stops when no longer wanted (seen to stop, not waited for), and is given up when
//   the volume stops answering; names keep every character.
// - The drive list, on volumes of the test's own: it starts with the current drive alone,
//   lists the others when it opens, asks them off the window's thread (a drive that does not
//   answer is shown so, and the list answers meanwhile). The drive shown, chosen again, as the
//   way back to its folder is the browser test's.
// - Apply and open, run on a worker: the window answers while they wait for a volume, their
//   questions are asked on the window's thread, and a window closed meanwhile answers No.

#include "platform/widgets/background_command.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/folder_reading.h"

#include "fake_volumes.h"
#include "gui_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/error_text.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

using namespace tessaro;
using namespace tessaro::test;
using namespace std::chrono_literals;

namespace {

// Holds a worker as a volume that stopped answering does, until released, or for ten
// seconds: long past the time limit, short of hanging the suite should the window's thread
// wait for it.
struct Latch {
    std::atomic<bool> open{false};
    void wait() const
    {
        for (int waited = 0; !open && waited < 10'000; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
};

struct Outcome {
    bool done = false;
    bool unanswered = false;
};

bool start(VolumeTask& task, Outcome& outcome, VolumeTask::Work work)
{
    return task.start(std::move(work), [&outcome] { outcome.done = true; }, [&outcome] { outcome.unanswered = true; });
}

} // namespace

class SlowVolumesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readNoLongerWanted_stops()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 3000; ++i)
            writeFile(dir.filePath(QString::number(i)), {});
        // Shared, not on the stack: a worker that reads on must not outlive what it writes to.
        const auto accepted = std::make_shared<std::atomic<int>>(0);
        {
            FolderReading reading;
            QVERIFY(!reading.start(dir.path(), [accepted](const std::filesystem::directory_entry&) {
                ++*accepted;
                // A slow volume, a millisecond an entry, by the clock: a sleep lasts a timer tick
                // on Windows (about 16 ms), and the batch read after the drop would last seconds.
                const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
                while (std::chrono::steady_clock::now() < until) {
                }
                return true;
            }, [](std::optional<FolderEntries>) {}));
        }
        // Reading on would take three seconds of the clock and accept every entry.
        QVERIFY(folderReaderPool()->waitForDone(10000));
        QVERIFY(*accepted < 3000);
    }

    // Side by side: a volume that stops answering and a slow one that answers all along.
    void volumeThatStopsAnswering_isGivenUp_theWindowAnswering_aSlowOneIsNot()
    {
        VolumeTask dead, slow;
        Outcome fromDead, fromSlow;
        Latch latch;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!start(dead, fromDead, [&latch](VolumeTask::Control&) { latch.wait(); }));
        QVERIFY(clock.elapsed() < WaitOnTheSpot.count() + 500);
        QVERIFY(!start(slow, fromSlow, [](VolumeTask::Control& control) {
            for (int step = 0; step < 3; ++step) {
                std::this_thread::sleep_for(AnswerTimeLimit / 2);
                control.advance();
            }
        }));
        QTRY_VERIFY_WITH_TIMEOUT(fromDead.unanswered, int(AnswerTimeLimit.count()) * 2 + 1000);
        QVERIFY(!dead.busy());
        QTRY_VERIFY_WITH_TIMEOUT(fromSlow.done || fromSlow.unanswered, int(AnswerTimeLimit.count()) * 4);
        QVERIFY(fromSlow.done);
        latch.open = true;
        QVERIFY(folderReaderPool()->waitForDone(2000));
        QCoreApplication::processEvents();
        QVERIFY(!fromDead.done);
    }

    void names_keepEveryCharacter_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("exact");
        QTest::newRow("byte-order mark first") << QByteArray("\xEF\xBB\xBF" "mark.jpg") << QStringLiteral("\uFEFFmark.jpg") << true;
        QTest::newRow("not UTF-8") << QByteArray("\xFF.jpg") << QStringLiteral("\uFFFD.jpg") << false;
    }

    void names_keepEveryCharacter()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(bool, exact);
        if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>)
            QSKIP("Windows names are UTF-16");
        QTemporaryDir dir;
        const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / bytes.toStdString();
        std::ofstream(file) << "x";
        if (!std::filesystem::exists(file))
            QSKIP("this filesystem keeps only valid names");
        FolderReading reading;
        std::optional<FolderEntries> entries;
        QVERIFY(reading.start(dir.path(), [](const auto&) { return true; }, [&entries](std::optional<FolderEntries> e) { entries = std::move(e); }));
        std::filesystem::remove(file);  // beyond QTemporaryDir's reach when not UTF-8
        QCOMPARE(entries->size(), std::size_t(1));
        QCOMPARE(entries->front().name, shown);
        QCOMPARE(entries->front().exact, exact);
    }

    // A drive that does not answer is shown so, the list answering meanwhile; chosen, it is
    // reported and the list stays where it was.
    void driveList_startsWithTheCurrentDrive_listsTheOthersWhenOpened_oneThatDoesNotAnswerIsShownSo()
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

    void driveList_setDrive_takesDriveLettersAndKnownRootsOnly_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("taken");
        QTest::newRow("c: is the system drive") << QStringLiteral("c:") << true;
        QTest::newRow("a root") << toQString(os::systemVolume()) << true;
        QTest::newRow("an unknown letter") << QStringLiteral("q:") << false;
        QTest::newRow("a folder that is no root") << QDir::tempPath() << false;
    }

    void driveList_setDrive_takesDriveLettersAndKnownRootsOnly()
    {
        QFETCH(QString, asked);
        QFETCH(bool, taken);
        FakeVolumes volumes;
        FakeDialogs dialogs;
        DriveList drives(dialogs);
        QCOMPARE(drives.setDrive(asked), taken);
        QCOMPARE(drives.drive(), toQString(os::systemVolume()));
    }

    void waitingCommand_leavesWindowAnswering_asksOnItsThread_runsOneAtATime()
    {
        FakeDialogs dialogs;
        dialogs.answers = {true};
        Qt::HANDLE askedOn = nullptr;
        dialogs.whileAsking = [&](const QString&) { askedOn = QThread::currentThreadId(); };
        QWidget window;
        auto* commands = new BackgroundCommand(dialogs, &window);
        QSignalSpy finished(commands, &BackgroundCommand::finished);

        std::promise<void> volume; // answers when the test says so
        std::shared_future<void> answers = volume.get_future().share();
        std::atomic<bool> agreed = false;
        QVERIFY(commands->start(QStringLiteral("背景の設定"), [answers, &agreed](UserDialogs& asked) {
            // Run on the window's thread, the command would wait for an answer that cannot come.
            if (answers.wait_for(5s) == std::future_status::ready)
                agreed = asked.ask(nullptr, QStringLiteral("置き換え"), QStringLiteral("置き換えますか?"), UserDialogs::Default::No);
        }));

        bool answering = false;
        QTimer::singleShot(0, &window, [&] { answering = true; });
        QTRY_VERIFY(answering);
        QVERIFY(!commands->start(QStringLiteral("背景を外す"), [](UserDialogs&) { QFAIL("a second command ran beside the first"); }));
        QCOMPARE(dialogs.warnings.size(), 1);

        volume.set_value();
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(agreed);
        // The refusal names what the user asked for; the question keeps its own title.
        QCOMPARE(dialogs.titles, (QStringList{QStringLiteral("背景を外す"), QStringLiteral("置き換え")}));
        QCOMPARE(askedOn, QThread::currentThreadId());
    }

    void windowClosedWhileCommandWaits_answersNo_data()
    {
        QTest::addColumn<bool>("questionQueued");
        QTest::newRow("before the command asks") << false;
        QTest::newRow("while its question waits for the window") << true;
    }

    void windowClosedWhileCommandWaits_answersNo()
    {
        QFETCH(bool, questionQueued);
        FakeDialogs dialogs;
        dialogs.answers = {true, true};
        auto window = std::make_unique<QWidget>();
        auto* commands = new BackgroundCommand(dialogs, window.get());
        std::promise<void> volume;
        std::shared_future<void> answers = volume.get_future().share();
        auto asking = std::make_shared<std::atomic<bool>>(false);
        auto answer = std::make_shared<std::promise<bool>>();
        QVERIFY(commands->start(QStringLiteral("背景の設定"), [answers, asking, answer](UserDialogs& asked) {
            answers.wait();
            *asking = true;
            answer->set_value(asked.ask(nullptr, QStringLiteral("置き換え"), QStringLiteral("置き換えますか?"), UserDialogs::Default::Yes));
        }));
        std::future<bool> answered = answer->get_future();

        if (questionQueued) {
            volume.set_value();
            while (!*asking)
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(50ms); // no events run: the question stays queued
            window.reset();
        } else {
            window.reset();
            volume.set_value();
        }
        QCOMPARE(answered.wait_for(5s), std::future_status::ready);
        QVERIFY(!answered.get());
        QVERIFY(dialogs.questions.isEmpty());
        QCoreApplication::processEvents();
    }

    // The program ends once a command running at the close has ended, not before (a folder
    // left half changed), or at the limit should its volume never answer.
    void windowClosed_programEndsWhenTheCommandHas_orAtTheLimit()
    {
        FakeDialogs dialogs;
        QWidget window;
        auto* commands = new BackgroundCommand(dialogs, &window);
        QSignalSpy finished(commands, &BackgroundCommand::finished);
        for (const auto& [runsMs, limitMs] : {std::pair(300, 10000), std::pair(10000, 300)}) {
            auto volume = std::make_shared<std::promise<void>>();
            QVERIFY(commands->start(QStringLiteral("背景の設定"), [answers = volume->get_future().share(), runsMs](UserDialogs&) {
                answers.wait_for(std::chrono::milliseconds(runsMs));
            }));
            commands->windowClosed(limitMs);
            const QObject iteration;
            QTimer::singleShot(5000, &iteration, [] { QCoreApplication::quit(); }); // a test that would hang
            QElapsedTimer ran;
            ran.start();
            QCoreApplication::exec();
            QVERIFY2(ran.elapsed() >= 280 && ran.elapsed() < 5000, qPrintable(QString::number(ran.elapsed())));
            QCOMPARE(finished.size(), runsMs < limitMs ? 1 : 0);
            volume->set_value();
            QTRY_VERIFY(!commands->busy());
            finished.clear();
        }
    }
};

TESSARO_TEST_MAIN(SlowVolumesTest)
#include "test_slow_volumes.moc"
