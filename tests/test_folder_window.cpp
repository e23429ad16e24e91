// The folder window as its reader draws it: the picture at its own size from the icon area's
// corner, repeated, never stretched; and the contrast of the captions over it.

#include "platform/os/native_path.h"
#include "platform/widgets/folder_window.h"
#include "platform/widgets/picture_box.h"

#include "gui_support.h"

#include <QApplication>
#include <QStyle>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

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

class FolderWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

TESSARO_TEST_MAIN(FolderWindowTest)
#include "test_folder_window.moc"
