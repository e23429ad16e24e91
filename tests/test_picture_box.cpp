// Reading a picture for the preview: stretched to the size it is shown at, and every
// picture that cannot be shown refused with a reason.

#include "platform/widgets/picture_box.h"

#include "gui_support.h"

#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

class PictureBoxTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loadPicture_stretchesOrGivesAReason_data();
    void loadPicture_stretchesOrGivesAReason();
    void pictureBox_paintsThePictureStretchedInsideItsBorder();
};

void PictureBoxTest::loadPicture_stretchesOrGivesAReason_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QColor>("right"); // the preview's right half; none for a file that cannot show

    const QByteArray jpeg = encoded(twoColourImage(QSize(60, 900), Qt::red, Qt::blue), "JPG");
    QTest::newRow("bmp") << "wide.bmp" << encoded(twoColourImage(QSize(400, 50), Qt::red, Qt::blue), "BMP") << QColor(Qt::blue);
    QTest::newRow("jpeg") << "tall.JPG" << jpeg << QColor(Qt::blue);
    QTest::newRow("animated gif, first frame") << "anim.gif" << makeGif(QSize(40, 40), {Qt::red, Qt::blue}) << QColor(Qt::red);
    QTest::newRow("not a picture") << "letter.jpg" << QByteArray("Dear reader,\nthis is text.\n") << QColor();
    QTest::newRow("empty") << "empty.gif" << QByteArray() << QColor();
    QTest::newRow("truncated jpeg") << "cut.jpg" << jpeg.left(jpeg.size() / 2) << QColor();
    QTest::newRow("corrupt bmp") << "bad.bmp" << QByteArray("BM\x10\0\0\0garbage", 13) << QColor();
    QTest::newRow("gif header only") << "stub.gif" << QByteArray("GIF89a\x10\0\x10\0", 10) << QColor();
}

void PictureBoxTest::loadPicture_stretchesOrGivesAReason()
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
    const auto near = [](QColor a, QColor b) { return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 100; };
    QVERIFY(near(loaded.image.pixelColor(size.width() / 8, size.height() / 2), Qt::red));
    QVERIFY(near(loaded.image.pixelColor(size.width() * 7 / 8, size.height() / 2), right));
}

void PictureBoxTest::pictureBox_paintsThePictureStretchedInsideItsBorder()
{
    PictureBox box;
    box.resize(62, 42);
    box.setPicture(twoColourImage(QSize(4, 2), Qt::red, Qt::blue));
    QCOMPARE(box.pictureSize(), QSize(60, 40) * box.devicePixelRatio());
    const QImage shown = box.grab().toImage();
    QCOMPARE(shown.pixelColor(0, 20), box.palette().color(QPalette::WindowText)); // the border
    QCOMPARE(shown.pixelColor(10, 20), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(50, 20), QColor(Qt::blue));
    box.clear();
    QVERIFY(box.picture().isNull());
}

QTEST_MAIN(PictureBoxTest)
#include "test_picture_box.moc"
