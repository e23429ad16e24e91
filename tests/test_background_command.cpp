// Apply and open run on a worker: the window answers while they wait for a volume, their
// questions are asked on the window's thread, and a window closed meanwhile answers No.

#include "gui_support.h"
#include "platform/widgets/background_command.h"

#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

using namespace tessaro;
using namespace tessaro::test;
using namespace std::chrono_literals;

class BackgroundCommandTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

TESSARO_TEST_MAIN(BackgroundCommandTest)
#include "test_background_command.moc"
