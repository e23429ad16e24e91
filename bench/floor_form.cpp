// The floor Tessaro's start-up and idle memory are held to: the same window built by a plain
// Qt program, with Qt's own widgets in the same places, the same Japanese captions and the
// same content, filled synchronously before the window shows and nothing of Tessaro's code.
// It reports its first paint as Tessaro's probe does and then idles until the driver ends it.
//
//   floor_form MY_PICTURES
//       the picture pane shows the folders down to MY_PICTURES and its pictures; the target
//       pane the folders down to the working folder, as Tessaro starts.

#include "paint_watch.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

namespace {

// Pixels at 96 DPI, as Tessaro places its controls there.
QLabel* title(const QString& text, QRect place, QWidget* window)
{
    auto* label = new QLabel(text, window);
    label->setGeometry(place);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The folders from the root down to `folder`, each level with its visible subfolders, the
// way a folder tree opens down to its current folder.
QTreeWidget* folderTree(const QString& folder, QRect place, QWidget* window)
{
    auto* tree = new QTreeWidget(window);
    tree->setGeometry(place);
    tree->setHeaderHidden(true);
    tree->setIndentation(12);
    const QIcon icon = tree->style()->standardIcon(QStyle::SP_DirIcon);
    const QStringList parts = QDir::cleanPath(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = QStringLiteral("/");
    auto* item = new QTreeWidgetItem(tree, {path});
    item->setIcon(0, icon);
    for (qsizetype level = 0; level <= parts.size(); ++level) {
        item->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        for (const QString& name : QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
            auto* child = new QTreeWidgetItem(item, {name});
            child->setIcon(0, icon);
            if (level < parts.size() && name == parts[level])
                next = child;
        }
        if (!next)
            break;
        path = QDir(path).filePath(parts[level]);
        item = next;
    }
    tree->setCurrentItem(item);
    tree->scrollToItem(item, QAbstractItemView::PositionAtCenter);
    return tree;
}

QComboBox* driveList(QRect place, QWidget* window)
{
    auto* drives = new QComboBox(window);
    drives->setGeometry(place);
    drives->addItem(QStringLiteral("/"));
    return drives;
}

} // namespace

int main(int argc, char* argv[])
{
    tessaro::bench::dieWithParent();
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString myPictures = QString::fromLocal8Bit(argv[1]);

    QWidget window;
    window.setWindowTitle(QStringLiteral("floor"));
    window.setFixedSize(699, 503);
    title(QStringLiteral("画像ファイル選択"), {18, 6, 334, 16}, &window);
    driveList({15, 30, 175, 20}, &window);
    folderTree(myPictures, {15, 54, 178, 174}, &window);
    auto* files = new QListWidget(&window);
    files->setGeometry(204, 33, 145, 198);
    files->addItems(QDir(myPictures).entryList({QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.gif")},
        QDir::Files, QDir::Name | QDir::IgnoreCase));
    (new QPushButton(QStringLiteral("文字色変更"), &window))->setGeometry(18, 234, 79, 19);
    auto* swatch = new QLabel(&window);
    swatch->setGeometry(105, 234, 37, 19);
    swatch->setAutoFillBackground(true);
    QPalette black = swatch->palette();
    black.setColor(QPalette::Window, Qt::black);
    swatch->setPalette(black);
    (new QLineEdit(QStringLiteral("000000"), &window))->setGeometry(150, 234, 193, 19);
    auto* preview = new QFrame(&window);
    preview->setGeometry(12, 258, 334, 232);
    preview->setFrameStyle(QFrame::Box | QFrame::Plain);
    // The sample caption: hidden while the preview is empty, as in Tessaro.
    auto* sample = new QLabel(QStringLiteral("文字色"), &window);
    sample->setGeometry(21, 267, 61, 19);
    sample->hide();
    (new QPushButton(QStringLiteral("実行\u3000>>"), &window))->setGeometry(360, 12, 61, 481);
    title(QStringLiteral("背景変更フォルダ"), {432, 9, 241, 16}, &window);
    driveList({429, 33, 250, 20}, &window);
    folderTree(QDir::currentPath(), {429, 57, 247, 384}, &window);
    (new QPushButton(QStringLiteral("開く"), &window))->setGeometry(432, 456, 247, 34);

    const tessaro::bench::PaintWatch watch(&window, [] { return true; },
        [](long long ns) { tessaro::bench::report("painted %lld", ns); });
    window.show();
    return QApplication::exec();
}
