// The driver's own tools: starting programs and reading what they report, and making the
// folders the figures are measured on. A workload with the wrong number of pictures, or a
// report line lost between two reads, would give figures for something else.

#include "platform/widgets/picture_box.h"
#include "process.h"
#include "workload.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

using namespace tessaro::bench;

class DriverTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_log = (m_dir.path() + QStringLiteral("/stderr.log")).toStdString();
    }

    void readLine_linesSplitAcrossWrites_comeWholeAndInOrder()
    {
        Child child = spawn({"sh", "-c", "printf 'painted 12\\nprev'; sleep 0.1; printf 'iew 3 4\\n'"}, Stdout::Capture, m_log);
        QCOMPARE(readLine(child, 10'000), std::optional<std::string>("painted 12"));
        QCOMPARE(readLine(child, 10'000), std::optional<std::string>("preview 3 4"));
        QCOMPARE(readLine(child, 10'000), std::nullopt);
        QCOMPARE(waitExit(child, 10'000), 0);
    }

    void readLine_silentChild_givesUpAtTheDeadline()
    {
        Child child = spawn({"sh", "-c", "sleep 30"}, Stdout::Capture, m_log);
        QCOMPARE(readLine(child, 50), std::nullopt);
        stop(child);
        QCOMPARE(child.pid, -1);
    }

    void waitExit_childStillRunning_isKilledAtTheDeadline()
    {
        Child child = spawn({"sh", "-c", "sleep 30"}, Stdout::Discard, m_log);
        QCOMPARE(waitExit(child, 50), -1);
    }

    void timeToExit_failureIsReportedNotTimed()
    {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, timeToExit({"false"}, m_log));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, timeToExit({"tessaro-bench-no-such-program"}, m_log));
        QVERIFY(timeToExit({"true"}, m_log) > 0);
    }

    void outputOf_readsMoreThanAPipeHolds()
    {
        const std::string out = outputOf({"seq", "1", "50000"}, m_log);
        QCOMPARE(std::count(out.begin(), out.end(), '\n'), 50000);
        QVERIFY(out.ends_with("\n50000\n"));
    }

    void writeManyFiles_makesExactlyThePicturesAsked()
    {
        const QString folder = m_dir.filePath(QStringLiteral("files"));
        writeManyFiles(folder, 1000, 100);
        const QDir dir(folder);
        QCOMPARE(dir.entryList(QDir::Files).size(), 1000);
        // Qt's own matching, without regard to case, as a check on the names.
        const QStringList pictures = {QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.gif")};
        QCOMPARE(dir.entryList(pictures, QDir::Files).size(), 100);
        QVERIFY(!dir.entryList({QStringLiteral("*.JPG")}, QDir::Files | QDir::CaseSensitive).isEmpty());
        QVERIFY(!dir.entryList({QStringLiteral("*.jpeg")}, QDir::Files).isEmpty());
    }

    void writeManyFolders_makesExactlyTheFoldersAsked()
    {
        const QString folder = m_dir.filePath(QStringLiteral("folders"));
        writeManyFolders(folder, 500);
        QCOMPARE(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 500);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 0);
        // Every tenth decorated: its desktop.ini and the picture it names, nothing elsewhere.
        const QString decorated = m_dir.filePath(QStringLiteral("decorated"));
        writeManyFolders(decorated, 500, 10);
        int inis = 0;
        for (const QString& name : QDir(decorated).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QDir subfolder(QDir(decorated).filePath(name));
            if (subfolder.exists(QStringLiteral("desktop.ini")) && subfolder.exists(QStringLiteral("bg.gif")))
                ++inis;
        }
        QCOMPARE(inis, 50);
    }

    void writePictureFolder_holdsReadablePicturesAndTwoOtherFiles()
    {
        const QString folder = m_dir.filePath(QStringLiteral("My Pictures"));
        writePictureFolder(folder, 20);
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
        QCOMPARE(files.size(), 22);
        int pictures = 0;
        for (const QFileInfo& file : files) {
            if (QImageReader(file.filePath()).canRead())
                ++pictures;
        }
        QCOMPARE(pictures, 20);
    }

    void writePhoto_isAJpegOfTheSizeAsked()
    {
        const QString path = m_dir.filePath(QStringLiteral("photo.jpg"));
        const qint64 bytes = writePhoto(path, {600, 400});
        QCOMPARE(bytes, QFileInfo(path).size());
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(600, 400));
        // Noise and edges, as a camera's: far from the few bytes a flat picture takes.
        QVERIFY(bytes > 600 * 400 / 8);
    }

    void writePhoto_cameraLike_carriesA160By120Thumbnail()
    {
        const QString path = m_dir.filePath(QStringLiteral("camera.jpg"));
        writePhoto(path, {600, 400}, true);
        QImageReader reader(path);
        QCOMPARE(reader.size(), QSize(600, 400));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(tessaro::exifThumbnail(file, QSize(600, 400)).size(), QSize(160, 120));
    }

    void writeBurst_copiesThePictureUnderCameraNames()
    {
        const QString photo = m_dir.filePath(QStringLiteral("one.jpg"));
        writePhoto(photo, {60, 40});
        writeBurst(photo, m_dir.filePath(QStringLiteral("burst")), 3);
        QCOMPARE(QDir(m_dir.filePath(QStringLiteral("burst"))).entryList(QDir::Files),
            (QStringList{QStringLiteral("IMG_0001.jpg"), QStringLiteral("IMG_0002.jpg"), QStringLiteral("IMG_0003.jpg")}));
        QCOMPARE(QFileInfo(m_dir.filePath(QStringLiteral("burst/IMG_0003.jpg"))).size(), QFileInfo(photo).size());
    }

private:
    QTemporaryDir m_dir;
    std::string m_log;
};

QTEST_MAIN(DriverTest)
#include "test_driver.moc"
