// The window's buttons: each pressed by Enter as by Space, and 開く opening the target folder,
// from its button and from Dir2's context menu.
// A script of the test's stands in for xdg-open on PATH and records what it was asked to open.

#include "app/form1.h"
#include "gui_support.h"
#include "platform/widgets/folder_list.h"

#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct KeyCase {
    const char* name;
    const char* button;
    int key;
    const char* done; // what the press did
};
const KeyCase keyCases[] = {
    {"Enter on 実行 applies", "Command1", Qt::Key_Return, "refused: no picture"},
    {"keypad Enter on 実行 applies", "Command1", Qt::Key_Enter, "refused: no picture"},
    {"Enter on 開く opens", "Command2", Qt::Key_Return, "opened"},
    {"Enter on 文字色変更 asks for a colour", "Command3", Qt::Key_Return, "colour dialog"},
    {"Space on 文字色変更, as before", "Command3", Qt::Key_Space, "colour dialog"},
};

} // namespace

class ButtonsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_bin.isValid());
        const QString script = m_bin.filePath(QStringLiteral("xdg-open"));
        writeFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + QFile::encodeName(log()) + "'\nexit 0\n");
        QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + qgetenv("PATH"));
    }
    void init() { QFile::remove(log()); }

    void button_pressedByEnterAsBySpace_data() { rows(keyCases); }
    void button_pressedByEnterAsBySpace()
    {
        QFETCH(int, row);
        const KeyCase& c = keyCases[row];
        TempHome home;
        WindowOf<Form1> w(home);
        QTest::keyClick(w.find<QPushButton>(c.button), static_cast<Qt::Key>(c.key));
        QVERIFY(commandsEnded(w.form));

        QStringList done;
        if (w.dialogs.messages == QStringList{QStringLiteral("背景にする画像ファイルを選んでください。")})
            done << QStringLiteral("refused: no picture");
        if (readFile(log()) == QFile::encodeName(w.find<FolderList>("Dir2")->path()) + '|')
            done << QStringLiteral("opened"); // the target folder, not the pictures'
        else if (!readFile(log()).isEmpty())
            done << QStringLiteral("opened another folder");
        if (w.dialogs.offeredColour)
            done << QStringLiteral("colour dialog");
        QCOMPARE(done, QStringList{QLatin1String(c.done)});
    }

    // 開く in Dir2's context menu opens the folder it was opened on.
    void menu_opensTheFolderItIsOn()
    {
        TempHome home;
        const QString target = home.mkpath(QStringLiteral("work/Summer Trip"));
        WindowOf<Form1> w(home);
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        auto* dir2 = w.find<FolderList>("Dir2");
        dir2->setCurrentIndex(dir2->model()->index(0, 0, dir2->currentIndex()));
        QTest::keyClick(dir2, Qt::Key_Menu);
        auto* menu = w.find<QMenu>("Dir2Menu");
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(menu->actions().front()->text(), QStringLiteral("開く"));
        menu->hide();
        menu->actions().front()->trigger();
        QVERIFY(commandsEnded(w.form));
        QCOMPARE(readFile(log()), QFile::encodeName(target) + '|');
        QVERIFY(w.dialogs.messages.isEmpty());
    }

private:
    QString log() const { return m_bin.filePath(QStringLiteral("asked")); }
    QTemporaryDir m_bin;
};

TESSARO_TEST_MAIN(ButtonsTest)
#include "test_buttons.moc"
