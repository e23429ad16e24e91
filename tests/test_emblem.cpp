// The emblem of a decorated folder in the target tree, on a screen of twice the usual pixel
// density (where the lists ask for icons of two device pixels a point): at every device
// pixel ratio it lies in the same place and takes the same share of the icon.

#include "platform/widgets/folder_list.h"

#include "fake_volumes.h"
#include "test_support.h"
#include "platform/os/native_path.h"
#include "platform/widgets/folder_model.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Where the emblem's ground (the green lower half of its picture) is, as shares of the
// picture's size: the folder icon has no green of its own.
QRectF groundShare(const QImage& image)
{
    const QColor ground(0x5C, 0xA0, 0x3C);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - ground.red()) + qAbs(c.green() - ground.green()) + qAbs(c.blue() - ground.blue()) < 30)
                box |= QRect(x, y, 1, 1);
        }
    }
    return {qreal(box.x()) / image.width(), qreal(box.y()) / image.height(), qreal(box.width()) / image.width(),
            qreal(box.height()) / image.height()};
}

} // namespace

class EmblemTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emblem_samePlaceAndShareAtEveryPixelRatio()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        QTemporaryDir drive;
        QVERIFY(QDir(drive.path()).mkdir(QStringLiteral("decorated")));
        const FakeVolumes volumes({toPath(drive.path())});
        FolderList tree;
        tree.setMarkReader([](const QString&) { return FolderMark{FolderMark::State::Decorated, QStringLiteral("x"), {}}; });
        const QString folder = QDir::toNativeSeparators(drive.filePath(QStringLiteral("decorated")));
        QVERIFY(tree.setPath(QDir::toNativeSeparators(drive.path())));
        QTRY_VERIFY(tree.mark(folder));
        const QIcon icon = static_cast<FolderModel*>(tree.model())->find(folder).data(Qt::DecorationRole).value<QIcon>();

        for (const qreal ratio : {1.0, 1.5, 2.0}) {
            const QImage image = icon.pixmap(QSize(16, 16), ratio).toImage();
            const QRectF share = groundShare(image);
            const QString seen = QStringLiteral("ratio %1: %2×%3, ground at %4,%5 %6×%7").arg(ratio).arg(image.width()).arg(image.height())
                                     .arg(share.x()).arg(share.y()).arg(share.width()).arg(share.height());
            // In the lower right corner: the emblem some five eighths of the icon across, its
            // ground the lower half of it.
            QVERIFY2(share.right() > 0.85 && share.bottom() > 0.85, qPrintable(seen));
            QVERIFY2(share.width() > 0.4 && share.width() < 0.7 && share.top() > 0.55 && share.top() < 0.8, qPrintable(seen));
        }
    }
};

// On a screen of twice the usual density.
TESSARO_TEST_MAIN_WRAPPER(EmblemTest, qputenv("QT_SCALE_FACTOR", "2"); QTEST_MAIN_SETUP())
#include "test_emblem.moc"
