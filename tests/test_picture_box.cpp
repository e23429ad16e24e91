// Reading a picture for the preview: stretched to the size it is shown at, and every
// picture that cannot be shown refused with a reason.

#include "platform/widgets/picture_box.h"

#include "camera_jpeg.h"
#include "gui_support.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QThreadPool>

#include <sys/stat.h>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Decodes on cue: a file's decode waits until the test opens its gate, and also ends when
// the box drops it unless it was told to ignore that, so that the test decides which of two
// decodes ends first. Whatever ends the wait, the decode then returns a picture of its own
// colour. A failure takes the same way to the window as a picture does.
class CueDecoder {
public:
    struct Gate {
        bool open = false;
        bool ignoresCancel = false;
        bool started = false;
        bool sawCancel = false;
    };

    PreviewDecoder decoder()
    {
        return [state = m_state](const QString& path, QSize size, PreviewJob& job) {
            std::unique_lock lock(state->mutex);
            Gate& gate = state->gates[path];
            gate.started = true;
            // The job raises no event when dropped: look again every millisecond.
            while (!gate.open && !(job.cancelled() && !gate.ignoresCancel))
                state->changed.wait_for(lock, std::chrono::milliseconds(1));
            gate.sawCancel = job.cancelled();
            QImage image(size, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(static_cast<int>(qHash(path) % 360), 200, 200));
            return LoadedPicture{image, {}};
        };
    }
    Gate gate(const QString& path)
    {
        const std::lock_guard lock(m_state->mutex);
        return m_state->gates[path];
    }
    void set(const QString& path, bool open, bool ignoresCancel = false)
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->gates[path].open = open;
        m_state->gates[path].ignoresCancel = ignoresCancel;
    }
    void openAll()
    {
        const std::lock_guard lock(m_state->mutex);
        for (auto& [path, gate] : m_state->gates)
            gate.open = true;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::map<QString, Gate> gates;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// A box decoding on cue, recording every file it has shown; ends with every decode let go.
struct CuedBox {
    CuedBox()
    {
        pool.setMaxThreadCount(2);
        box.resize(62, 42);
        box.setDecoder(cue.decoder(), &pool);
        QObject::connect(&box, &PictureBox::pictureChanged, &box, [this] { shown << box.file(); });
    }
    ~CuedBox()
    {
        // A decode not yet started when a test fails has no gate to open: dropping it ends it.
        box.clear();
        cue.openAll();
        pool.waitForDone();
    }
    // Every decode started has ended and all it delivered has been handled.
    void settle()
    {
        cue.openAll();
        pool.waitForDone();
        QCoreApplication::sendPostedEvents();
    }

    CueDecoder cue;
    QThreadPool pool;
    PictureBox box;
    QStringList shown;
};

} // namespace

class PictureBoxTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loadPicture_stretchesOrGivesAReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QColor>("right"); // the preview's right half; none for a file that cannot show

        const QByteArray jpeg = encoded(twoColourImage(QSize(60, 900), Qt::red, Qt::blue), "JPG");
        QTest::newRow("bmp") << "wide.bmp" << encoded(twoColourImage(QSize(400, 50), Qt::red, Qt::blue), "BMP") << QColor(Qt::blue);
        QTest::newRow("jpeg") << "tall.JPG" << jpeg << QColor(Qt::blue);
        // Qt refuses to decode more than 128 MB; a BMP is decoded whole before it is scaled.
        QTest::newRow("bmp over Qt's limit") << "big.bmp" << bmpFile(5800, 5800, 5800) << QColor(Qt::blue);
        QTest::newRow("animated gif, first frame") << "anim.gif" << makeGif(QSize(40, 40), {Qt::red, Qt::blue}) << QColor(Qt::red);
        QTest::newRow("not a picture") << "letter.jpg" << QByteArray("Dear reader,\nthis is text.\n") << QColor();
        QTest::newRow("empty") << "empty.gif" << QByteArray() << QColor();
        QTest::newRow("truncated jpeg") << "cut.jpg" << jpeg.left(jpeg.size() / 2) << QColor();
        QTest::newRow("corrupt bmp") << "bad.bmp" << QByteArray("BM\x10\0\0\0garbage", 13) << QColor();
        QTest::newRow("gif header only") << "stub.gif" << QByteArray("GIF89a\x10\0\x10\0", 10) << QColor();
    }

    void loadPicture_stretchesOrGivesAReason()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QColor, right);
        QTemporaryDir dir;
        writeFile(dir.filePath(name), bytes);
        const QSize size(120, 80);
        const LoadedPicture loaded = loadPicture(dir.filePath(name), size);
        QCOMPARE(loaded.image.isNull(), !right.isValid());
        QCOMPARE(loaded.error.isEmpty(), right.isValid());
        if (!right.isValid())
            return;
        QCOMPARE(loaded.image.size(), size);
        QVERIFY(near(loaded.image.pixelColor(size.width() / 8, size.height() / 2), Qt::red));
        QVERIFY(near(loaded.image.pixelColor(size.width() * 7 / 8, size.height() / 2), right));
    }

    void loadPicture_refusesWhatCannotOrNeedNotBeRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("tooLarge");
#ifndef Q_OS_WIN // Windows has neither named pipes in folders nor devices to link to
        // Opening a pipe would wait for a writer; the test would never end.
        QTest::newRow("a pipe") << "pipe" << "ふつうのファイルではありません" << false;
        QTest::newRow("a link to a device") << "device" << "ふつうのファイルではありません" << false;
#endif
        QTest::newRow("a folder") << "folder" << "ふつうのファイルではありません" << false;
        QTest::newRow("a header of 16000 × 16000: too large, perhaps whole") << "huge" << "大きすぎて" << true;
    }

    void loadPicture_refusesWhatCannotOrNeedNotBeRead()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QFETCH(bool, tooLarge);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("picture.bmp"));
#ifndef Q_OS_WIN
        if (kind == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (kind == QLatin1String("device"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
#endif
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        if (kind == QLatin1String("huge"))
            writeFile(path, bmpFile(16000, 16000, 0));
        const LoadedPicture loaded = loadPicture(path, QSize(120, 80));
        QVERIFY(loaded.image.isNull());
        QVERIFY2(loaded.error.contains(reason), qPrintable(loaded.error));
        QCOMPARE(loaded.tooLarge, tooLarge);
    }

    void loadPicture_cancelled_stopsReading()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("big.jpg")), encoded(twoColourImage(QSize(1600, 1200), Qt::red, Qt::blue), "JPG"));
        QVERIFY(!loadPicture(dir.filePath(QStringLiteral("big.jpg")), QSize(200, 150), [] { return false; }).image.isNull());
        QVERIFY(loadPicture(dir.filePath(QStringLiteral("big.jpg")), QSize(200, 150), [] { return true; }).image.isNull());
    }

    void exifThumbnail_readsTheCamerasThumbnailOrNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QSize>("expected"); // none: no thumbnail

        const QByteArray photo = encoded(twoColourImage(QSize(64, 48), Qt::red, Qt::blue), "JPG");
        const QByteArray thumbnail = encoded(twoColourImage(QSize(16, 12), Qt::green, Qt::green), "JPG");
        QTest::newRow("little-endian") << withExifThumbnail(photo, {thumbnail}) << QSize(16, 12);
        QTest::newRow("big-endian") << withExifThumbnail(photo, {thumbnail, true}) << QSize(16, 12);
        QTest::newRow("larger than the box, scaled down")
            << withExifThumbnail(photo, {encoded(twoColourImage(QSize(400, 300), Qt::green, Qt::green), "JPG")}) << QSize(120, 80);
        QTest::newRow("no EXIF") << photo << QSize();
        QTest::newRow("not a JPEG") << encoded(twoColourImage(QSize(16, 12), Qt::red, Qt::red), "BMP") << QSize();
        QTest::newRow("no second directory") << withExifThumbnail(photo, {thumbnail, false, false}) << QSize();
        QTest::newRow("uncompressed thumbnail") << withExifThumbnail(photo, {thumbnail, false, true, 1}) << QSize();
        QTest::newRow("offset past the block") << withExifThumbnail(photo, {thumbnail, false, true, 6, 1 << 20}) << QSize();
        QTest::newRow("length past the block") << withExifThumbnail(photo, {thumbnail, false, true, 6, 0, 1}) << QSize();
        QTest::newRow("thumbnail cut short") << withExifThumbnail(photo, {thumbnail.left(thumbnail.size() / 2)}) << QSize();
        QTest::newRow("file ends inside the block") << withExifThumbnail(photo, {thumbnail}).left(40) << QSize();
    }

    void exifThumbnail_readsTheCamerasThumbnailOrNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QSize, expected);
        QBuffer buffer(&file);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const QImage thumbnail = exifThumbnail(buffer, QSize(120, 80));
        QCOMPARE(thumbnail.isNull() ? QSize() : thumbnail.size(), expected);
        if (expected.isValid())
            QVERIFY(thumbnail.pixelColor(expected.width() / 2, expected.height() / 2).green() > 200);
    }

    void pictureBox_paintsThePictureStretchedInsideItsBorder()
    {
        PictureBox box;
        box.resize(62, 42);
        box.setPicture(twoColourImage(QSize(4, 2), Qt::red, Qt::blue));
        const QImage shown = box.grab().toImage();
        QCOMPARE(shown.pixelColor(0, 20), box.palette().color(QPalette::WindowText)); // the border
        QCOMPARE(shown.pixelColor(10, 20), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(50, 20), QColor(Qt::blue));
    }

    void showFile_cameraJpeg_showsTheThumbnailThenThePicture()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("camera.jpg"));
        writeFile(path, withExifThumbnail(encoded(twoColourImage(QSize(640, 480), Qt::red, Qt::blue), "JPG"),
                                          {encoded(twoColourImage(QSize(16, 12), Qt::green, Qt::green), "JPG")}));
        PictureBox box;
        box.resize(122, 82);
        QList<QPair<QSize, bool>> shown;
        connect(&box, &PictureBox::pictureChanged, &box, [&] { shown.append({box.picture().size(), box.complete()}); });
        box.showFile(path);
        QTRY_VERIFY(!box.loading());
        QCOMPARE(shown, (QList<QPair<QSize, bool>>{{QSize(16, 12), false}, {QSize(120, 80), true}}));
        QCOMPARE(box.file(), path);
    }

    // The older decode has either ended, its picture on its way to the window's thread when
    // the newer one is asked for, or it ends after the newer was shown.
    void showFile_olderDecodeEndingLast_neverReplacesTheNewer()
    {
        for (const bool endsFirst : {true, false}) {
            CuedBox cued;
            cued.cue.set(QStringLiteral("old.jpg"), endsFirst, true);
            cued.cue.set(QStringLiteral("new.jpg"), true);
            cued.box.showFile(QStringLiteral("old.jpg"));
            if (endsFirst)
                cued.pool.waitForDone(); // no event handled meanwhile
            else
                QTRY_VERIFY(cued.cue.gate(QStringLiteral("old.jpg")).started);
            cued.box.showFile(QStringLiteral("new.jpg"));
            QTRY_COMPARE(cued.box.file(), QStringLiteral("new.jpg"));

            cued.settle(); // whatever still ran ends now, with a picture
            QCOMPARE(cued.box.file(), QStringLiteral("new.jpg"));
            QCOMPARE(cued.shown, QStringList{QStringLiteral("new.jpg")});
            QVERIFY(!cued.box.loading());
        }
    }

    void showFile_droppedDecode_isCancelledAndNeverShown()
    {
        CuedBox cued;
        cued.box.showFile(QStringLiteral("first.jpg"));
        QTRY_VERIFY(cued.cue.gate(QStringLiteral("first.jpg")).started);
        cued.box.showFile(QStringLiteral("second.jpg"));
        QTRY_VERIFY(cued.cue.gate(QStringLiteral("first.jpg")).sawCancel);
        // Dropped before its thread took it up, it would never start: see the next test.
        QTRY_VERIFY(cued.cue.gate(QStringLiteral("second.jpg")).started);
        cued.box.clear();
        QTRY_VERIFY(cued.cue.gate(QStringLiteral("second.jpg")).sawCancel);

        cued.settle();
        QCOMPARE(cued.shown, QStringList{QString()}); // only the clearing
        QVERIFY(cued.box.picture().isNull());
    }

    void busySign_comesAfterAMomentGoesAtOnce()
    {
        CuedBox cued;
        cued.cue.set(QStringLiteral("shown.jpg"), true);
        cued.box.showFile(QStringLiteral("shown.jpg"));
        QTRY_VERIFY(!cued.box.loading());
        const QColor picture = cued.box.grab().toImage().pixelColor(5, 5);

        QElapsedTimer waited;
        waited.start();
        cued.box.showFile(QStringLiteral("slow.jpg"));
        // A slow one shows it within a moment; an everyday picture comes before it would (a
        // coarse timer may fire 5% early).
        QTRY_VERIFY_WITH_TIMEOUT(cued.box.busy(), 1500);
        QVERIFY2(waited.elapsed() >= 190, qPrintable(QString::number(waited.elapsed())));
        QVERIFY(cued.box.grab().toImage().pixelColor(5, 5) != picture); // the old picture dims
        cued.box.clear(); // the selection went
        QVERIFY(!cued.box.busy());

        cued.box.showFile(QStringLiteral("slower.jpg"));
        QTRY_VERIFY(cued.box.busy());
        cued.cue.set(QStringLiteral("slower.jpg"), true);
        QTRY_VERIFY(!cued.box.busy());
    }

    void folderView_switchingDecodesNothingAgain_legibilityFollowsColourAndPicture()
    {
        QTemporaryDir dir;
        const QString wide = dir.filePath(QStringLiteral("wide.bmp"));
        const QString dark = dir.filePath(QStringLiteral("dark.bmp"));
        QVERIFY(twoColourImage(QSize(1700, 300), Qt::white, Qt::white).save(wide));
        QVERIFY(twoColourImage(QSize(64, 64), Qt::black, Qt::black).save(dark));
        QThreadPool pool;
        PictureBox box;
        box.resize(336, 210);
        std::atomic<int> pictures = 0, backdrops = 0;
        box.setDecoder([&](const QString& path, QSize size, PreviewJob& job) { ++pictures; return decodePreview(path, size, job); }, &pool);
        box.setBackdropDecoder([&](const QString& path, PreviewJob& job) { ++backdrops; return loadTopLeft(path, FolderIconArea.size(), [&job] { return job.cancelled(); }); });
        QSignalSpy told(&box, &PictureBox::legibilityChanged);

        box.setCaptionColour(Qt::black);
        box.showFile(wide);
        QTRY_VERIFY(!box.loading());
        QVERIFY(box.legibility() && qAbs(*box.legibility() - 21.0) < 0.01);
        QCOMPARE(box.notes(), QString());
        box.setFolderView(true);
        QVERIFY(box.notes().contains(QStringLiteral("800 × 600")));
        QVERIFY(box.notes().contains(QStringLiteral("1700 × 300 の画像は左上だけが表示されます")));
        box.setFolderView(false);
        box.setFolderView(true);
        QCOMPARE(pictures.load(), 1);
        QCOMPARE(backdrops.load(), 1);

        told.clear();
        box.setCaptionColour(Qt::white);
        QVERIFY(!told.isEmpty());
        QVERIFY(box.legibility() && qAbs(*box.legibility() - 1.0) < 0.01);
        QVERIFY(box.notes().contains(legibilityWarning()));
        QVERIFY(box.accessibleDescription().contains(legibilityWarning()));
        box.showFile(dark);
        QVERIFY(!box.legibility()); // the last picture's figure is gone at once
        QTRY_VERIFY(!box.loading());
        QVERIFY(box.legibility() && qAbs(*box.legibility() - 21.0) < 0.01);
        QVERIFY(!box.notes().contains(QStringLiteral("左上")));
        box.clear();
        QVERIFY(!box.legibility());
    }

    // Decodes stuck for good (a volume that stopped answering) hold both threads: a later
    // picture still shows once they have been dropped a while.
    void showFile_decodesStuckAfterTheirDrop_neverHoldUpTheNext()
    {
        CuedBox cued;
        for (const QString& stuck : {QStringLiteral("stuck1.jpg"), QStringLiteral("stuck2.jpg")}) {
            cued.cue.set(stuck, false, true);
            cued.box.showFile(stuck);
            QTRY_VERIFY(cued.cue.gate(stuck).started);
        }
        cued.cue.set(QStringLiteral("next.jpg"), true);
        cued.box.showFile(QStringLiteral("next.jpg"));
        QTRY_COMPARE_WITH_TIMEOUT(cued.box.file(), QStringLiteral("next.jpg"), 4000);
    }

    void showFile_droppedBeforeItsTurn_neverStarts()
    {
        CuedBox cued;
        cued.pool.setMaxThreadCount(1);
        cued.cue.set(QStringLiteral("busy.jpg"), false, true);
        cued.box.showFile(QStringLiteral("busy.jpg"));
        QTRY_VERIFY(cued.cue.gate(QStringLiteral("busy.jpg")).started);
        cued.box.showFile(QStringLiteral("passed.jpg")); // waits for the only thread
        cued.cue.set(QStringLiteral("last.jpg"), true);
        cued.box.showFile(QStringLiteral("last.jpg"));
        cued.cue.set(QStringLiteral("busy.jpg"), true);
        QTRY_COMPARE(cued.box.file(), QStringLiteral("last.jpg"));
        QVERIFY(!cued.cue.gate(QStringLiteral("passed.jpg")).started);
    }
};

TESSARO_TEST_MAIN(PictureBoxTest)
#include "test_picture_box.moc"
