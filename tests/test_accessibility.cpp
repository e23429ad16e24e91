// The window as a screen reader finds it: walked through Qt's accessibility interfaces, the
// ones AT-SPI and UI Automation read.

#include "app/form1.h"
#include "gui_support.h"
#include "platform/widgets/folder_list.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct Window : WindowOf<Form1> {
    using WindowOf::WindowOf;
    QAccessibleInterface* of(const char* name) const { return QAccessible::queryAccessibleInterface(find<QWidget>(name)); }
};

// The children of a tree's interface whose role is `role`, by name.
QHash<QString, QAccessibleInterface*> childrenOf(QAccessibleInterface* tree, QAccessible::Role role)
{
    QHash<QString, QAccessibleInterface*> found;
    for (int i = 0; i < tree->childCount(); ++i) {
        if (QAccessibleInterface* child = tree->child(i); child && child->role() == role)
            found.insert(child->text(QAccessible::Name), child);
    }
    return found;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void window_isAFrameWhoseControlsAllHaveNamesOfTheirOwn()
    {
        TempHome home;
        Window w(home);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&w.form);
        QStringList names, unnamed;
        for (int i = 0; i < window->childCount(); ++i) {
            QAccessibleInterface* control = window->child(i);
            if (!control->state().focusable)
                continue;
            const QString name = control->text(QAccessible::Name);
            // A name says what the control is; the value it shows (a drive, a colour) is read apart.
            const bool showsAValue = control->role() == QAccessible::ComboBox || control->role() == QAccessible::EditableText;
            if (name.isEmpty() || (showsAValue && name == control->text(QAccessible::Value)))
                unnamed << control->object()->objectName() + QLatin1Char('=') + name + QLatin1Char('/') + control->text(QAccessible::Value);
            names << name;
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char(' '))));
        QCOMPARE(names.size(), 10);

        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size()); // the two panes told apart

        // A drive list's drive is its value and its text, where Orca reads it.
        auto* drive = w.find<QComboBox>("Drive1");
        QAccessibleTextInterface* text = w.of("Drive1")->textInterface();
        QVERIFY(text);
        QCOMPARE(text->text(0, text->characterCount()), drive->currentText());
        QCOMPARE(w.of("Drive1")->text(QAccessible::Value), drive->currentText());
    }

    void descriptions_followTheFoldersTheColourAndThePicture()
    {
        TempHome home;
        const QString pictures = home.mkpath(QStringLiteral("Documents/My Pictures"));
        const QString target = home.mkpath(QStringLiteral("Summer Trip"));
        QVERIFY(twoColourImage(QSize(10, 10), Qt::green, Qt::green).save(pictures + QStringLiteral("/海.bmp")));
        Window w(home);
        QCOMPARE(w.of("Dir1")->text(QAccessible::Description), QDir::toNativeSeparators(pictures));
        QVERIFY(w.find<FolderList>("Dir2")->setPath(target));
        QCOMPARE(w.of("Dir2")->text(QAccessible::Description), QDir::toNativeSeparators(target));
        QVERIFY(w.of("Command2")->text(QAccessible::Description).contains(QDir::toNativeSeparators(target)));

        // The preview is an image naming the picture shown.
        QAccessibleInterface* preview = w.of("Image1");
        QCOMPARE(preview->role(), QAccessible::Graphic);
        QCOMPARE(preview->text(QAccessible::Name), QStringLiteral("プレビュー"));
        QCOMPARE(preview->text(QAccessible::Description), QStringLiteral("画像なし"));
        w.find<QListWidget>("File1")->setCurrentRow(0);
        QTRY_COMPARE(preview->text(QAccessible::Description), QStringLiteral("海.bmp"));
        // Tabbing back into the list, the reader hears the picture chosen with the list's name.
        QCOMPARE(w.of("File1")->text(QAccessible::Description), QStringLiteral("海.bmp"));

        QVERIFY(w.of("Text1")->text(QAccessible::Description).contains(QStringLiteral("青・緑・赤")));
        QCOMPARE(w.of("Label2")->text(QAccessible::Name), QStringLiteral("文字色の見本: 赤 0、緑 0、青 0 (#000000)"));
        w.find<QLineEdit>("Text1")->setText(QStringLiteral("8000FF"));
        QCOMPARE(w.of("Label2")->text(QAccessible::Name), QStringLiteral("文字色の見本: 赤 255、緑 0、青 128 (#FF0080)"));
        // The colour chosen in the dialog is heard as the focus comes back to its button.
        w.dialogs.colourAnswer = 0x00FF00;
        QVERIFY(press(w.form, "Command3"));
        QCOMPARE(w.of("Command3")->text(QAccessible::Description), QStringLiteral("文字色: 赤 0、緑 255、青 0 (#00FF00)"));
    }

    void folderTrees_headerReadsFolder_emptyFolderIsNotExpanded()
    {
        TempHome home;
        const QString empty = home.mkpath(QStringLiteral("Documents/My Pictures/empty"));
        Window w(home);
        auto* dir1 = w.find<FolderList>("Dir1");
        QVERIFY(dir1->setPath(empty));
        QTRY_COMPARE(dir1->path(), empty);
        QAccessibleInterface* tree = w.of("Dir1");
        QCOMPARE(childrenOf(tree, QAccessible::ColumnHeader).keys(), QStringList{QStringLiteral("フォルダ")});
        // The rows may arrive from a background read.
        QTRY_VERIFY(childrenOf(tree, QAccessible::TreeItem).contains(QStringLiteral("empty")));
        const auto items = childrenOf(tree, QAccessible::TreeItem);
        QVERIFY(items.contains(QStringLiteral("My Pictures")));
        QTRY_VERIFY(!items[QStringLiteral("empty")]->state().expanded);
        QVERIFY(items[QStringLiteral("My Pictures")]->state().expanded);

        // The tree still answers a click.
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        const QModelIndex above = dir1->currentIndex().parent();
        const QRect row = dir1->visualRect(above);
        QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {}, QPoint(std::min(row.left() + 4, dir1->viewport()->width() - 1), row.center().y()));
        QCOMPARE(dir1->path(), QDir::toNativeSeparators(home.path(QStringLiteral("Documents/My Pictures"))));
    }
};

TESSARO_TEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
