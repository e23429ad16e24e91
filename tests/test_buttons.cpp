// The window's buttons pressed by Enter, and 開く opening the target folder, from its button
// and from Dir2's context menu, or saying why it could not.
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

struct PressCase {
    const char* name;
    const char* button; // "Dir2Menu": 開く in Dir2's context menu, on the first folder in Dir2
    const char* done;   // what the press did: "opened" or the message it showed
    bool targetGone = false;
};
const PressCase pressCases[] = {
    {"Enter on 実行 applies", "Command1", "背景にする画像ファイルを選んでください。"},
    {"Enter on 開く opens", "Command2", "opened"},
    {"開く in Dir2's menu opens the folder it was opened on", "Dir2Menu", "opened"},
    {"開く on a folder gone meanwhile says why it failed", "Command2", "失敗しました\nフォルダまたはファイルが見つかりません。", true},
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

    void press_doesWhatTheButtonSays_data() { rows(pressCases); }
    void press_doesWhatTheButtonSays()
    {
        QFETCH(int, row);
        const PressCase& c = pressCases[row];
        TempHome home;
        const QString folder = home.mkpath(QStringLiteral("work/Summer Trip"));
        WindowOf<Form1> w(home);
        auto* dir2 = w.find<FolderList>("Dir2");
        QString opened = dir2->path(); // the target folder, not the pictures'
        if (c.targetGone) {
            QVERIFY(dir2->setPath(folder));
            QVERIFY(QDir(folder).removeRecursively());
        }
        if (qstrcmp(c.button, "Dir2Menu") == 0) {
            w.form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w.form));
            dir2->setCurrentIndex(dir2->model()->index(0, 0, dir2->currentIndex()));
            QTest::keyClick(dir2, Qt::Key_Menu);
            auto* menu = w.find<QMenu>("Dir2Menu");
            QVERIFY(menu && menu->isVisible());
            QCOMPARE(menu->actions().front()->text(), QStringLiteral("開く"));
            menu->hide();
            menu->actions().front()->trigger();
            opened = folder;
        } else {
            QTest::keyClick(w.find<QPushButton>(c.button), Qt::Key_Return);
        }
        QVERIFY(commandsEnded(w.form));

        // What the press did: its message, a failure, or what it opened.
        QStringList done = w.dialogs.warnings;
        QCOMPARE(w.dialogs.messages, done);
        const QByteArray asked = readFile(log());
        if (!asked.isEmpty())
            done << (asked == QFile::encodeName(opened) + '|' ? QStringLiteral("opened") : QString::fromLocal8Bit(asked));
        QCOMPARE(done, QStringList{QString::fromUtf8(c.done)});
    }

private:
    QString log() const { return m_bin.filePath(QStringLiteral("asked")); }
    QTemporaryDir m_bin;
};

TESSARO_TEST_MAIN(ButtonsTest)
#include "test_buttons.moc"
