// The preview. Reading a picture for it: stretched to the size it is shown at, and every
// picture that cannot be shown refused with a reason. The folder window, as its reader draws
// it: the picture at its own size from the icon area's corner, repeated, never stretched; and
// the contrast of the captions over it.

#include "platform/widgets/picture_box.h"

#include "camera_jpeg.h"
#include "gui_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/folder_window.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QStyle>
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

// A box whose decodes wait on cue: a file's decode waits until the test opens its gate, and
// also ends when the box drops it unless it was told to ignore that, so that the test decides
// which of two decodes ends first. Whatever ends the wait, the decode then returns a picture
// of its own colour, the way a failure would come too. Records every file the box has shown;
// ends with every decode let go.
struct CuedBox {
    struct Gate {
        bool open = false;
        bool ignoresCancel = false;
        bool started = false;
        bool sawCancel = false;
    };

    CuedBox()
    {
        pool.setMaxThreadCount(2);
        box.resize(62, 42);
        box.setDecoder([this](const QString& path, QSize size, PreviewJob& job) { return decode(path, size, job); }, &pool);
        QObject::connect(&box, &PictureBox::pictureChanged, &box, [this] { shown << box.file(); });
    }
    ~CuedBox()
    {
        // A decode not yet started when a test fails has no gate to open: dropping it ends it.
        box.clear();
        openAll();
        pool.waitForDone();
    }
    LoadedPicture decode(const QString& path, QSize size, PreviewJob& job)
    {
        std::unique_lock lock(mutex);
        Gate& gate = gates[path];
        gate.started = true;
        // The job raises no event when dropped: look again every millisecond.
        while (!gate.open && !(job.cancelled() && !gate.ignoresCancel))
            changed.wait_for(lock, std::chrono::milliseconds(1));
        gate.sawCancel = job.cancelled();
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(static_cast<int>(qHash(path) % 360), 200, 200));
        return LoadedPicture{image, {}};
    }
    Gate gate(const QString& path)
    {
        const std::lock_guard lock(mutex);
        return gates[path];
    }
    void set(const QString& path, bool open, bool ignoresCancel = false)
    {
        const std::lock_guard lock(mutex);
        gates[path].open = open;
        gates[path].ignoresCancel = ignoresCancel;
    }
    void openAll()
    {
        const std::lock_guard lock(mutex);
        for (auto& [path, gate] : gates)
            gate.open = true;
    }
    // Every decode started has ended and all it delivered has been handled.
    void settle()
    {
        openAll();
        pool.waitForDone();
        QCoreApplication::sendPostedEvents();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<QString, Gate> gates;
    QThreadPool pool;
    PictureBox box;
    QStringList shown;
};

// A picture of four quadrants, each its own colour, so that where a pixel came from shows.
QImage quadrants(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width() / 2, h = size.height() / 2;
    painter.fillRect(0, 0, w, h, Qt::red);
    painter.fillRect(w, 0, size.width() - w, h, Qt::green);
    painter.fillRect(0, h, w, size.height() - h, Qt::blue);
    painter.fillRect(w, h, size.width() - w, size.height() - h, Qt::yellow);
    return image;
}

struct ContrastCase {
    const char* name;
    QColor left, right;  // the picture behind the captions: left and right halves
    int darkSpecks;      // of every hundred pixels, this many black
    QColor caption;
    double figure;       // by hand, from WCAG's formulas
    const char* text;
};
const ContrastCase contrastCases[] = {
    {"black on white", Qt::white, Qt::white, 0, Qt::black, 21.0, "21.0 : 1"},
    // The grey that just misses 4.5 : 1 on white, and the one that just reaches it.
    {"#777777 on white", Qt::white, Qt::white, 0, QColor(0x77, 0x77, 0x77), 4.478, "4.4 : 1"},
    {"#767676 on white", Qt::white, Qt::white, 0, QColor(0x76, 0x76, 0x76), 4.542, "4.5 : 1"},
    // #777777 is 4.69 : 1 on black and 4.48 : 1 on white: the worse side counts.
    {"half-dark picture, grey captions", Qt::black, Qt::white, 0, QColor(0x77, 0x77, 0x77), 4.478, "4.4 : 1"},
    // Specks fewer than a tenth of the pixels do not make a picture unreadable.
    {"white with black specks", Qt::white, Qt::white, 5, Qt::black, 21.0, "21.0 : 1"},
    {"white with black in a fifth", Qt::white, Qt::white, 20, Qt::black, 1.0, "1.0 : 1"},
};

} // namespace

class PreviewTest : public QObject {
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
        QTest::newRow("a header of 16000 × 16000: too large, perhaps whole") << "huge.bmp" << bmpFile(16000, 16000, 0) << QColor();
        QTest::newRow("truncated jpeg") << "cut.jpg" << jpeg.left(jpeg.size() / 2) << QColor();
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
        QVERIFY(loadPicture(dir.filePath(name), size, [] { return true; }).image.isNull()); // dropped: stops reading
    }

    // Opening a pipe would wait for a writer; the test would never end.
    void loadPicture_pipeOrFolder_isRefusedUnread()
    {
        QTemporaryDir dir;
        QStringList refused{dir.filePath(QStringLiteral("folder.bmp"))};
        QVERIFY(QDir().mkdir(refused.front()));
#ifndef Q_OS_WIN // Windows has no named pipes in folders
        refused << dir.filePath(QStringLiteral("pipe.bmp"));
        QCOMPARE(::mkfifo(QFile::encodeName(refused.back()).constData(), 0600), 0);
#endif
        for (const QString& path : refused) {
            const LoadedPicture loaded = loadPicture(path, QSize(120, 80));
            QVERIFY(loaded.image.isNull());
            QVERIFY2(loaded.error.contains(QStringLiteral("ふつうのファイルではありません")), qPrintable(loaded.error));
        }
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

        // A picture is painted stretched to the box.
        box.setPicture(twoColourImage(QSize(4, 2), Qt::red, Qt::blue));
        const QImage painted = box.grab().toImage();
        QCOMPARE(painted.pixelColor(10, 40), QColor(Qt::red));
        QCOMPARE(painted.pixelColor(110, 40), QColor(Qt::blue));
    }

    // The older decode has either ended, its picture on its way to the window's thread when
    // the newer one is asked for, or it ends after the newer was shown.
    void showFile_olderDecodeEndingLast_neverReplacesTheNewer()
    {
        for (const bool endsFirst : {true, false}) {
            CuedBox cued;
            cued.set(QStringLiteral("old.jpg"), endsFirst, true);
            cued.set(QStringLiteral("new.jpg"), true);
            cued.box.showFile(QStringLiteral("old.jpg"));
            if (endsFirst)
                cued.pool.waitForDone(); // no event handled meanwhile
            else
                QTRY_VERIFY(cued.gate(QStringLiteral("old.jpg")).started);
            cued.box.showFile(QStringLiteral("new.jpg"));
            QTRY_COMPARE(cued.box.file(), QStringLiteral("new.jpg"));

            cued.settle(); // whatever still ran ends now, with a picture
            QCOMPARE(cued.shown, QStringList{QStringLiteral("new.jpg")});
            QVERIFY(!cued.box.loading());
        }
    }

    void showFile_droppedDecode_isCancelledAndNeverShown()
    {
        CuedBox cued;
        cued.box.showFile(QStringLiteral("first.jpg"));
        QTRY_VERIFY(cued.gate(QStringLiteral("first.jpg")).started);
        cued.box.showFile(QStringLiteral("second.jpg"));
        QTRY_VERIFY(cued.gate(QStringLiteral("first.jpg")).sawCancel);
        // Dropped before its thread took it up, it would never start: see the stuck decodes' test.
        QTRY_VERIFY(cued.gate(QStringLiteral("second.jpg")).started);
        cued.box.clear();
        QTRY_VERIFY(cued.gate(QStringLiteral("second.jpg")).sawCancel);

        cued.settle();
        QCOMPARE(cued.shown, QStringList{QString()}); // only the clearing
        QVERIFY(cued.box.picture().isNull());
    }

    void busySign_comesAfterAMomentGoesAtOnce()
    {
        CuedBox cued;
        cued.set(QStringLiteral("shown.jpg"), true);
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
        cued.set(QStringLiteral("slower.jpg"), true);
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

        box.setCaptionColour(Qt::black);
        box.showFile(wide);
        QTRY_VERIFY(!box.loading());
        QVERIFY(box.legibility() && qAbs(*box.legibility() - 21.0) < 0.01);
        box.setFolderView(true);
        QVERIFY(box.notes().contains(QStringLiteral("800 × 600")));
        QVERIFY(box.notes().contains(QStringLiteral("1700 × 300 の画像は左上だけが表示されます")));
        box.setFolderView(false);
        box.setFolderView(true);
        QCOMPARE(pictures.load(), 1);
        QCOMPARE(backdrops.load(), 1);

        box.setCaptionColour(Qt::white);
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
    // picture still shows once they have been dropped a while, and one dropped while it waited
    // for a thread never starts.
    void showFile_decodesStuckAfterTheirDrop_neverHoldUpTheNext()
    {
        CuedBox cued;
        for (const QString& stuck : {QStringLiteral("stuck1.jpg"), QStringLiteral("stuck2.jpg")}) {
            cued.set(stuck, false, true);
            cued.box.showFile(stuck);
            QTRY_VERIFY(cued.gate(stuck).started);
        }
        cued.box.showFile(QStringLiteral("passed.jpg")); // waits for a thread
        cued.set(QStringLiteral("next.jpg"), true);
        cued.box.showFile(QStringLiteral("next.jpg"));
        QTRY_COMPARE_WITH_TIMEOUT(cued.box.file(), QStringLiteral("next.jpg"), 4000);
        QVERIFY(!cued.gate(QStringLiteral("passed.jpg")).started);
    }

    void tiling_smallRepeatedBigCroppedNeverStretched_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("wide and short: cut across, repeated down") << QSize(1000, 40) << QByteArray("BMP");
        QTest::newRow("big bmp: its corner") << QSize(2000, 1500) << QByteArray("BMP");
        QTest::newRow("big jpeg: its corner") << QSize(2400, 1800) << QByteArray("JPG");
    }

    void tiling_smallRepeatedBigCroppedNeverStretched()
    {
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("picture.") + QString::fromLatin1(format).toLower());
        const QImage picture = quadrants(size);
        QVERIFY(picture.save(path, format.constData()));

        const LoadedPicture part = loadTopLeft(path, FolderIconArea.size());
        QCOMPARE(part.fullSize, size);
        QCOMPARE(part.image.size(), size.boundedTo(FolderIconArea.size()));
        const QImage window = drawFolderWindow(opaqueOnWindow(part.image), QStringLiteral("folder"), {}, {}, Qt::black, QApplication::font(),
                                               folderIcons(*QApplication::style()),
                                               QApplication::palette());
        // Every pixel of the icon area is the picture's pixel at the same place, modulo its size.
        for (int y = 0; y < FolderIconArea.height(); y += 37) {
            for (int x = 0; x < FolderIconArea.width(); x += 41) {
                const QColor expected = picture.pixelColor(x % size.width(), y % size.height());
                const QColor shown = window.pixelColor(FolderIconArea.left() + x, FolderIconArea.top() + y);
                QVERIFY2(near(shown, expected, 60), qPrintable(QStringLiteral("(%1, %2): %3, not %4").arg(x).arg(y).arg(shown.name(), expected.name())));
            }
        }
    }

    void folderItems_foldersFirstByNameHiddenOnesLeftOut()
    {
        QTemporaryDir dir;
        for (const char* name : {"b.txt", "C.jpg", ".hidden", "desktop.ini", "Thumbs.db"})
            writeFile(dir.filePath(QLatin1String(name)), "x");
        for (int i = 1; i <= FolderItemsShown; ++i)
            writeFile(dir.filePath(QStringLiteral("more %1.txt").arg(i, 2, 10, QLatin1Char('0'))), "x");
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("z folder")) && QDir(dir.path()).mkpath(QStringLiteral("A folder")));

        std::optional<QList<FolderItem>> items;
        QVERIFY(onAWorker([&](VolumeTask::Control& control) { items = readFolderItems(toPath(dir.path()), control); }) && items);
        QCOMPARE(items->size(), FolderItemsShown);
        const QList<FolderItem> first{{QStringLiteral("A folder"), true}, {QStringLiteral("z folder"), true}, {QStringLiteral("b.txt"), false},
                                      {QStringLiteral("C.jpg"), false}, {QStringLiteral("more 01.txt"), false}};
        QCOMPARE(items->mid(0, first.size()), first);
    }

    void contrast_asWcagComputesIt_data() { rows(contrastCases); }

    void contrast_asWcagComputesIt()
    {
        QFETCH(int, row);
        const ContrastCase& c = contrastCases[row];
        QImage tile = twoColourImage(QSize(100, 20), c.left, c.right);
        QPainter(&tile).fillRect(0, 0, c.darkSpecks, tile.height(), Qt::black); // n columns of the hundred
        // Captions over the tile once and over its repetition further on.
        const QList<QRect> under{QRect(FolderIconArea.topLeft(), QSize(100, 20)), QRect(FolderIconArea.topLeft() + QPoint(200, 40), QSize(100, 20))};
        const std::optional<double> figure = captionContrast(luminancesUnder(tile, under), c.caption);
        QVERIFY(figure);
        QVERIFY2(qAbs(*figure - c.figure) < 0.005, qPrintable(QString::number(*figure)));
        QCOMPARE(contrastText(*figure), QLatin1String(c.text));
        QCOMPARE(*figure < LegibleContrast, c.figure < 4.5);
        QVERIFY(!captionContrast({}, c.caption)); // no picture, no figure
    }
};

TESSARO_TEST_MAIN(PreviewTest)
#include "test_preview.moc"
