// The real question box: Enter gives the answer the question defaults to, Escape always No.

#include "platform/widgets/user_dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QtTest>

#include <functional>

using namespace tessaro;
using Default = UserDialogs::Default;

class UserDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ask_enterGivesTheDefault_escapeSaysNo_data()
    {
        QTest::addColumn<Default>("answer");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("yes");
        QTest::newRow("default No, Enter") << Default::No << int(Qt::Key_Return) << false;
        QTest::newRow("default Yes, Enter") << Default::Yes << int(Qt::Key_Return) << true;
        QTest::newRow("default No, Escape") << Default::No << int(Qt::Key_Escape) << false;
        QTest::newRow("default Yes, Escape") << Default::Yes << int(Qt::Key_Escape) << false;
    }
    void ask_enterGivesTheDefault_escapeSaysNo()
    {
        QFETCH(Default, answer);
        QFETCH(int, key);
        QFETCH(bool, yes);
        QWidget owner;
        bool pressed = false;
        // The box is modal: the key is sent from inside its loop once it shows.
        std::function<void()> press = [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                QTest::keyClick(box, Qt::Key(key));
                pressed = true;
            } else {
                QTimer::singleShot(10, press);
            }
        };
        QTimer::singleShot(0, press);
        // A box the key did not close fails the test instead of hanging it.
        QTimer::singleShot(10000, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        QtUserDialogs dialogs;
        QCOMPARE(dialogs.ask(&owner, QStringLiteral("フォルダにコピーしますか?"), answer), yes);
        QVERIFY(pressed);
    }
};

QTEST_MAIN(UserDialogsTest)
#include "test_user_dialogs.moc"
