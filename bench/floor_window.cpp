// The floor Tessaro's start-up and idle memory are held to: the least a Qt Widgets program
// does to put a window on screen, one window holding one label, of the same size as
// Tessaro's window so that both fill the same number of pixels. It reports its first paint
// as Tessaro's probe does and then idles until the driver ends it.
//
//   floor_window             the label reads "Tessaro"
//   floor_window --japanese  the label reads as Tessaro's first title does, which makes Qt
//                            load the Japanese font: what that alone costs

#include "paint_watch.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char* argv[])
{
    tessaro::bench::dieWithParent();
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("floor"));
    window.setFixedSize(699, 503);
    const bool japanese = argc == 2 && std::strcmp(argv[1], "--japanese") == 0;
    QLabel label(japanese ? QStringLiteral("画像ファイル選択") : QStringLiteral("Tessaro"), &window);
    label.move(18, 6);

    const tessaro::bench::PaintWatch watch(&window, [] { return true; },
        [](long long ns) { tessaro::bench::report("painted %lld", ns); });
    window.show();
    return QApplication::exec();
}
