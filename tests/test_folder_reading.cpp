// The reading both lists share: work that may wait for a volume runs on a worker, is waited
// for on the spot only while it is quick, stops when no longer wanted (seen to stop, not
// waited for), and is given up when the volume stops answering; names keep every character.

#include "platform/widgets/folder_reading.h"

#include "test_support.h"

#include <QElapsedTimer>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

using namespace tessaro;
using namespace tessaro::test;

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

class FolderReadingTest : public QObject {
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
};

TESSARO_TEST_GUILESS_MAIN(FolderReadingTest)
#include "test_folder_reading.moc"
