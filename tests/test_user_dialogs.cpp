// The real dialogs, played as the user would: which answer Enter and Escape give to a
// question that may replace a file, the icons the messages carry, and the colour dialog. And
// the words in which a message describes a failure, in Japanese: the errno values the services
// return, the program's own failures, and an unknown code by its number alone.

#include "platform/widgets/user_dialogs.h"
#include "platform/widgets/error_text.h"
#include "platform/os/os_services.h"

#include "gui_support.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cerrno>

#include <functional>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Runs `open`, which shows a modal dialog, and plays the user with `act` once the dialog is
// up; false when the dialog never showed or never closed, closed after ten seconds instead of
// hanging the suite.
[[nodiscard]] bool play(const std::function<void()>& open, const std::function<void(QWidget*)>& act)
{
    bool acted = false, timedOut = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll.stop();
            acted = true;
            act(modal);
        }
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&] {
        timedOut = true;
        poll.stop();
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
    });
    poll.start();
    deadline.start(10'000);
    open();
    return acted && !timedOut;
}

// `key` is pressed on the focused button. Questions may replace a file.
// A screen reader hears a question as a dialog, a failure as an alert.
enum class Box { Ask, AskYes, Inform, Warn };
struct BoxCase { const char* name; Box box; int key; bool expected; QMessageBox::Icon icon = QMessageBox::Question;
                 QAccessible::Role role = QAccessible::Dialog; };
const BoxCase boxCases[] = {
    {"Enter keeps the file", Box::Ask, Qt::Key_Return, false},
    {"default Yes: Enter says Yes", Box::AskYes, Qt::Key_Return, true},
    {"default Yes: Escape still says No", Box::AskYes, Qt::Key_Escape, false},
    {"inform", Box::Inform, Qt::Key_Return, false, QMessageBox::Information},
    {"warn", Box::Warn, Qt::Key_Return, false, QMessageBox::Warning, QAccessible::AlertMessage},
};

struct ErrnoCase { const char* name; std::error_code error; const char* text; };
// One row for each way to a text: a reason with what to do about it, a reason alone, an errno
// without Japanese, the program's own failure, and one of the program's unknown.
const ErrnoCase errnoCases[] = {
    {"EACCES", {EACCES, std::generic_category()},
     "アクセスが拒否されました。\n書き込みが許されているフォルダを選ぶか、フォルダの持ち主に権限をもらってください。"},
    {"EIO", {EIO, std::generic_category()}, "ディスクの読み書きに失敗しました。"},
    {"unknown: its number only", {199, std::generic_category()}, "エラー 199"},
    {"no file manager", os::make_error_code(os::Failure::NoFileManager), "フォルダを開くファイルマネージャが設定されていません。"},
    {"a failure of the program's unknown", os::make_error_code(static_cast<os::Failure>(77)), "エラー 77"},
};

} // namespace

class UserDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void box_enterGivesTheDefault_escapeSaysNo_iconsRolesAndTitle_data() { rows(boxCases); }
    void box_enterGivesTheDefault_escapeSaysNo_iconsRolesAndTitle()
    {
        QFETCH(int, row);
        const BoxCase& c = boxCases[row];
        QWidget owner;
        owner.setGeometry(40, 40, 699, 503);
        owner.show();
        QtUserDialogs dialogs;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool belowTheMiddle = false; // where the apply button's caption is
        QAccessible::Role role = QAccessible::NoRole;
        QString title;
        bool answer = false;
        const QString asked = QStringLiteral("置き換えますか?");
        QVERIFY(play(
            [&] {
                const QString about = QStringLiteral("背景の設定");
                if (c.box == Box::Inform)
                    dialogs.inform(&owner, about, asked);
                else if (c.box == Box::Warn)
                    dialogs.warn(&owner, about, asked);
                else
                    answer = dialogs.ask(&owner, about, asked, c.box == Box::AskYes ? UserDialogs::Default::Yes : UserDialogs::Default::No);
            },
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (!box)
                    return;
                icon = box->icon();
                role = QAccessible::queryAccessibleInterface(box)->role();
                title = box->windowTitle();
                belowTheMiddle = box->frameGeometry().top() > owner.frameGeometry().center().y();
                QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, static_cast<Qt::Key>(c.key));
            }));
        QCOMPARE(answer, c.expected);
        QCOMPARE(icon, c.icon);
        QCOMPARE(role, c.role);
        QCOMPARE(title, QStringLiteral("背景の設定"));
        QVERIFY(belowTheMiddle);
    }

    // The box starts as asked under a question that defaults to No, and comes back as the user
    // left it, whichever the answer. The question's text tells whether it is on, and Tab reaches
    // it before the buttons.
    void askWithCheck_boxStartsAsGivenAndComesBackAsLeft()
    {
        QWidget owner;
        QtUserDialogs dialogs;
        for (const bool yes : {false, true}) {
            bool checked = yes, answer = !yes; // offered on with Yes, off with No; the user turns it over
            QStringList seen;
            QVERIFY(play([&] { answer = dialogs.askWithCheck(&owner, QStringLiteral("背景を外す"), QStringLiteral("外しますか?"), QStringLiteral("画像も削除する"), checked); },
                [&](QWidget* modal) {
                    auto* box = qobject_cast<QMessageBox*>(modal);
                    if (!box || !box->checkBox())
                        return;
                    seen << box->checkBox()->text() << QString::number(box->checkBox()->isChecked()) << QString::number(box->standardButton(box->defaultButton()));
                    const QString state = yes ? QStringLiteral("オン") : QStringLiteral("オフ");
                    seen << QString::number(box->text().contains(QStringLiteral("チェック ボックス「画像も削除する」は、今は%1です").arg(state)));
                    QWidget* last = nullptr;
                    for (QWidget* stop = box->nextInFocusChain(); stop != box; stop = stop->nextInFocusChain()) {
                        if ((stop->focusPolicy() & Qt::TabFocus) && stop->isVisible())
                            seen << QString::fromLatin1((last = stop)->metaObject()->className());
                    }
                    // Tab from the last button goes round to it.
                    box->activateWindow();
                    if (!QTest::qWaitForWindowActive(box))
                        return;
                    last->setFocus();
                    QTest::keyClick(last, Qt::Key_Tab);
                    seen << QString::number(QApplication::focusWidget() == box->checkBox());
                    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(box);
                    seen << QString::number(read->indexOfChild(QAccessible::queryAccessibleInterface(box->checkBox()))
                                            < read->indexOfChild(QAccessible::queryAccessibleInterface(box->findChild<QDialogButtonBox*>())));
                    box->checkBox()->setChecked(!yes);
                    box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                }));
            QCOMPARE(seen, (QStringList{QStringLiteral("画像も削除する"), QString::number(yes), QString::number(QMessageBox::No), QStringLiteral("1"),
                                        QStringLiteral("QCheckBox"), QStringLiteral("QPushButton"), QStringLiteral("QPushButton"), QStringLiteral("1"),
                                        QStringLiteral("1")}));
            QCOMPARE(answer, yes);
            QCOMPARE(checked, !yes);
        }
    }

    void colourDialog_opensAtTheColourGiven_keepsNoSettings()
    {
        if constexpr (windowsBuild)
            QSKIP("Qt's dialog; Windows shows its own, which tests/win/win_services_test.cpp plays");
        TempHome home;
        QWidget owner;
        QtUserDialogs dialogs;
        os::CustomColours custom = customColours({0x00FF00, 0x123456});
        QColor opened, offered;
        // Of each grid, as a screen reader reads it: its number of cells, whether the tenth cell is
        // named as the colour a click on it picks, and whether it then has the focus.
        QStringList cells;
        std::optional<os::ColourRef> chosen;
        QVERIFY(play([&] { chosen = dialogs.chooseColour(&owner, 0x0000FF, custom); }, [&](QWidget* modal) {
            auto* dialog = qobject_cast<QColorDialog*>(modal);
            if (!dialog)
                return;
            opened = dialog->currentColor();
            offered = QColorDialog::customColor(1);
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            for (QWidget* grid : dialog->findChildren<QWidget*>()) {
                QAccessibleInterface* read = QAccessible::queryAccessibleInterface(grid);
                if (read->role() != QAccessible::List || read->childCount() < 10)
                    continue;
                QAccessibleInterface* cell = read->child(9);
                QTest::mouseClick(grid, Qt::LeftButton, {}, grid->mapFromGlobal(cell->rect().center()));
                const QColor picked = dialog->currentColor();
                const QString named = QStringLiteral("赤 %1、緑 %2、青 %3").arg(picked.red()).arg(picked.green()).arg(picked.blue());
                cells << QString::number(read->childCount()) << QString::number(cell->text(QAccessible::Name) == named)
                      << QString::number(cell->state().focused);
            }
            QColorDialog::setCustomColor(2, QColor(0, 0, 255)); // the user adds a custom colour
            dialog->setCurrentColor(QColor(0, 255, 0));
            dialog->accept();
        }));
        QCOMPARE(opened, QColor(255, 0, 0));
        QCOMPARE(cells.join(QLatin1Char(' ')), QStringLiteral("48 1 1 16 1 1"));
        QCOMPARE(chosen, std::optional<os::ColourRef>(0x00FF00));
        QCOMPARE(offered, QColor(0x56, 0x34, 0x12));
        QCOMPARE(custom, customColours({0x00FF00, 0x123456, 0xFF0000}));

        // Canceling hands nothing back.
        QVERIFY(play([&] { chosen = dialogs.chooseColour(&owner, 0, custom); }, [](QWidget* modal) {
            QColorDialog::setCustomColor(0, QColor(9, 9, 9));
            modal->close();
        }));
        QVERIFY(!chosen);
        QCOMPARE(custom, customColours({0x00FF00, 0x123456, 0xFF0000}));

        // Qt would keep the custom colours in ~/.config/QtProject.conf; Tessaro keeps no settings.
        QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QCOMPARE(files.hasNext() ? files.next() : QString(), QString());
    }

    void error_isJapanese_data() { rows(errnoCases); }
    void error_isJapanese()
    {
        QFETCH(int, row);
        const ErrnoCase& c = errnoCases[row];
        QCOMPARE(describeError(c.error), QString::fromUtf8(c.text));
        // The system's own numbers are errno values on Linux; Windows' codes are another table.
        if (!windowsBuild && c.error.category() == std::generic_category())
            QCOMPARE(describeError({c.error.value(), std::system_category()}), QString::fromUtf8(c.text));
    }
};

TESSARO_TEST_MAIN(UserDialogsTest)
#include "test_user_dialogs.moc"
