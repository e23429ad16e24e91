// The real dialogs, played as the user would: which answer Enter and Escape give to a
// question that may replace a file, the icons the messages carry, and the colour dialog.

#include "platform/widgets/user_dialogs.h"

#include "test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDirIterator>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <functional>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Runs `open`, which shows a modal dialog, and plays the user with `act` once the dialog is
// up. A dialog that never shows or never closes is closed after ten seconds and the test
// fails, instead of hanging the suite.
struct Played {
    bool acted = false;
    bool timedOut = false;
};
Played play(const std::function<void()>& open, const std::function<void(QWidget*)>& act)
{
    Played played;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll.stop();
            played.acted = true;
            act(modal);
        }
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&] {
        played.timedOut = true;
        poll.stop();
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
    });
    poll.start();
    deadline.start(10'000);
    open();
    return played;
}

os::CustomColours customOf(std::initializer_list<os::ColourRef> colours)
{
    os::CustomColours bytes{};
    for (std::size_t i = 0; i < colours.size(); ++i)
        qToLittleEndian<quint32>(colours.begin()[i], bytes.data() + 4 * i);
    return bytes;
}

struct AskCase {
    const char* name;
    UserDialogs::Default answer; // the answer the question is asked with
    int key;                     // pressed on the focused button; 0: Yes is clicked
    bool expected;
};
constexpr auto No = UserDialogs::Default::No, Yes = UserDialogs::Default::Yes;
const AskCase askCases[] = {
    {"Enter keeps the file", No, Qt::Key_Return, false},
    {"keypad Enter keeps the file", No, Qt::Key_Enter, false},
    {"Escape keeps the file", No, Qt::Key_Escape, false},
    {"Yes clicked replaces it", No, 0, true},
    {"default Yes: Enter says Yes", Yes, Qt::Key_Return, true},
    {"default Yes: Escape still says No", Yes, Qt::Key_Escape, false},
};

} // namespace

class UserDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ask_enterGivesTheDefault_escapeSaysNo_data() { rows(askCases); }
    void ask_enterGivesTheDefault_escapeSaysNo();
    void askWithCheck_boxStartsAsGivenAndComesBackAsLeft();
    void messages_carryTheirIconsAndAlertRole_data();
    void messages_carryTheirIconsAndAlertRole();
    void colourDialog_opensAtTheColourGiven_keepsNoSettings();
};

void UserDialogsTest::ask_enterGivesTheDefault_escapeSaysNo()
{
    QFETCH(int, row);
    const AskCase& c = askCases[row];
    QWidget owner;
    QtUserDialogs dialogs;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton, escapeButton = QMessageBox::NoButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool answer = true;
    const Played played = play([&] { answer = dialogs.ask(&owner, QStringLiteral("置き換えますか?"), c.answer); }, [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        defaultButton = box->standardButton(box->defaultButton());
        escapeButton = box->standardButton(box->escapeButton());
        icon = box->icon();
        if (c.key)
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, static_cast<Qt::Key>(c.key));
        else
            box->button(QMessageBox::Yes)->click();
    });
    QVERIFY(played.acted && !played.timedOut);
    QCOMPARE(answer, c.expected);
    QCOMPARE(defaultButton, c.answer == Yes ? QMessageBox::Yes : QMessageBox::No);
    QCOMPARE(escapeButton, QMessageBox::No);
    QCOMPARE(icon, QMessageBox::Question);
}

// The box starts as asked (off) under a question that defaults to No, and comes back as the
// user left it, whichever the answer.
void UserDialogsTest::askWithCheck_boxStartsAsGivenAndComesBackAsLeft()
{
    QWidget owner;
    QtUserDialogs dialogs;
    for (const bool yes : {false, true}) {
        bool checked = false, answer = !yes;
        QStringList seen;
        const Played played = play([&] { answer = dialogs.askWithCheck(&owner, QStringLiteral("外しますか?"), QStringLiteral("画像も削除する"), checked); },
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (!box || !box->checkBox())
                    return;
                seen << box->checkBox()->text() << QString::number(box->checkBox()->isChecked()) << QString::number(box->standardButton(box->defaultButton()));
                box->checkBox()->setChecked(true);
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            });
        QVERIFY(played.acted && !played.timedOut);
        QCOMPARE(seen, (QStringList{QStringLiteral("画像も削除する"), QStringLiteral("0"), QString::number(QMessageBox::No)}));
        QCOMPARE(answer, yes);
        QVERIFY(checked);
    }
}

void UserDialogsTest::messages_carryTheirIconsAndAlertRole_data()
{
    QTest::addColumn<bool>("warning");
    QTest::addColumn<int>("icon");
    QTest::newRow("inform") << false << int(QMessageBox::Information);
    QTest::newRow("warn") << true << int(QMessageBox::Warning);
}

void UserDialogsTest::messages_carryTheirIconsAndAlertRole()
{
    QFETCH(bool, warning);
    QFETCH(int, icon);
    QWidget owner;
    QtUserDialogs dialogs;
    QMessageBox::Icon shown = QMessageBox::NoIcon;
    QAccessible::Role role = QAccessible::NoRole;
    QString text;
    const Played played = play(
        [&] {
            if (warning)
                dialogs.warn(&owner, QStringLiteral("失敗しました"));
            else
                dialogs.inform(&owner, QStringLiteral("設定しました"));
        },
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return;
            shown = box->icon();
            role = QAccessible::queryAccessibleInterface(box)->role();
            text = box->text();
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
        });
    QVERIFY(played.acted && !played.timedOut);
    QCOMPARE(int(shown), icon);
    QCOMPARE(role, QAccessible::AlertMessage);
    QCOMPARE(text, warning ? QStringLiteral("失敗しました") : QStringLiteral("設定しました"));
}

void UserDialogsTest::colourDialog_opensAtTheColourGiven_keepsNoSettings()
{
    TempHome home;
    QWidget owner;
    QtUserDialogs dialogs;
    os::CustomColours custom = customOf({0x00FF00, 0x123456});
    QColor opened, offered;
    std::optional<os::ColourRef> chosen;
    Played played = play([&] { chosen = dialogs.chooseColour(&owner, 0x0000FF, custom); }, [&](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        if (!dialog)
            return;
        opened = dialog->currentColor();
        offered = QColorDialog::customColor(1);
        QColorDialog::setCustomColor(2, QColor(0, 0, 255)); // the user adds a custom colour
        dialog->setCurrentColor(QColor(0, 255, 0));
        dialog->accept();
    });
    QVERIFY(played.acted && !played.timedOut);
    QCOMPARE(opened, QColor(255, 0, 0));
    QCOMPARE(chosen, std::optional<os::ColourRef>(0x00FF00));
    QCOMPARE(offered, QColor(0x56, 0x34, 0x12));
    QCOMPARE(custom, customOf({0x00FF00, 0x123456, 0xFF0000}));

    // Canceling hands nothing back.
    played = play([&] { chosen = dialogs.chooseColour(&owner, 0, custom); }, [](QWidget* modal) {
        QColorDialog::setCustomColor(0, QColor(9, 9, 9));
        modal->close();
    });
    QVERIFY(played.acted && !played.timedOut);
    QVERIFY(!chosen);
    QCOMPARE(custom, customOf({0x00FF00, 0x123456, 0xFF0000}));

    // Qt would keep the custom colours in ~/.config/QtProject.conf; Tessaro keeps no settings.
    QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QCOMPARE(files.hasNext() ? files.next() : QString(), QString());
}

QTEST_MAIN(UserDialogsTest)
#include "test_user_dialogs.moc"
