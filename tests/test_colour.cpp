// The caption colour: the colour dialog's answer reaching the window, and its custom colours.

#include "app/form1.h"
#include "gui_support.h"
#include "platform/widgets/file_list.h"

#include <QApplication>
#include <QColorDialog>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct Window {
    explicit Window(const TempHome& home) : form(dialogs, home.path()) {}
    template <typename T>
    T* find(const char* name) const { return form.findChild<T*>(QLatin1String(name)); }
    void press(const char* button) const { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    // The colour as the text box, the swatch and the sample caption show it.
    QStringList shown() const
    {
        return {find<QLineEdit>("Text1")->text(), find<QLabel>("Label2")->palette().color(QPalette::Window).name(),
                find<QLabel>("Label1")->palette().color(QPalette::WindowText).name()};
    }

    FakeDialogs dialogs;
    Form1 form;
};

os::CustomColours customOf(std::initializer_list<os::ColourRef> colours)
{
    os::CustomColours bytes{};
    for (std::size_t i = 0; i < colours.size(); ++i)
        qToLittleEndian<quint32>(colours.begin()[i], bytes.data() + 4 * i);
    return bytes;
}

} // namespace

class ColourTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void chosenColour_reachesWindowAndApply_cancelChangesNothing_data();
    void chosenColour_reachesWindowAndApply_cancelChangesNothing();
    void realDialog_answersAndLeavesNoSettings();
};

void ColourTest::chosenColour_reachesWindowAndApply_cancelChangesNothing_data()
{
    QTest::addColumn<uint>("colourRef");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("red") << 0x0000FFu << "FF" << "#ff0000" << QByteArray("000000FF");
    QTest::newRow("blue") << 0xFF0000u << "FF0000" << "#0000ff" << QByteArray("00FF0000");
    QTest::newRow("black") << 0x000000u << "0" << "#000000" << QByteArray("00000000");
    QTest::newRow("white") << 0xFFFFFFu << "FFFFFF" << "#ffffff" << QByteArray("00FFFFFF");
}

void ColourTest::chosenColour_reachesWindowAndApply_cancelChangesNothing()
{
    QFETCH(uint, colourRef);
    QFETCH(QString, text);
    QFETCH(QString, colour);
    QFETCH(QByteArray, written);
    TempHome home;
    QVERIFY(twoColourImage(QSize(4, 4), Qt::red, Qt::red).save(home.mkpath(QStringLiteral("Documents/My Pictures")) + QStringLiteral("/sea.bmp")));
    Window w(home);
    w.dialogs.colourAnswer = colourRef;
    w.dialogs.customAnswer = customOf({0x010203, 0, colourRef});
    w.press("Command3");
    QCOMPARE(w.dialogs.offeredCustom, os::CustomColours{});
    QCOMPARE(w.shown(), (QStringList{text, colour, colour}));

    // The user edits the custom colours in the dialog, then cancels.
    const os::CustomColours kept = w.dialogs.customAnswer;
    w.dialogs.colourAnswer.reset();
    w.dialogs.customAnswer = customOf({0xABCDEF});
    w.press("Command3");
    QCOMPARE(w.dialogs.offeredCustom, kept);
    QCOMPARE(w.shown(), (QStringList{text, colour, colour}));
    QCOMPARE(w.form.customColors(), kept);

    // Apply writes the colour chosen (into the working directory, where the target pane starts,
    // after the question whether to copy the picture there).
    w.find<FileList>("File1")->setListIndex(0);
    w.dialogs.answers = {true};
    w.press("Command1");
    QVERIFY(readFile(home.path(QStringLiteral("work/desktop.ini"))).endsWith("\r\niconarea_text=0x" + written + "\r\n"));

    // The custom colours last for one run: a new window starts without them.
    Window fresh(home);
    fresh.press("Command3");
    QCOMPARE(fresh.dialogs.offeredCustom, os::CustomColours{});
}

void ColourTest::realDialog_answersAndLeavesNoSettings()
{
    TempHome home;
    QWidget owner;
    os::CustomColours custom = customOf({0x00FF00, 0x123456});
    QColor offered;
    QTimer::singleShot(0, [&offered] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        offered = QColorDialog::customColor(1);
        QColorDialog::setCustomColor(2, QColor(0, 0, 255)); // the user adds a custom colour
        dialog->setCurrentColor(QColor(255, 0, 0));
        dialog->accept();
    });
    QtUserDialogs dialogs;
    QCOMPARE(dialogs.chooseColour(&owner, custom), std::optional<os::ColourRef>(0x0000FF));
    QCOMPARE(offered, QColor(0x56, 0x34, 0x12));
    QCOMPARE(custom, customOf({0x00FF00, 0x123456, 0xFF0000}));

    // Canceling hands nothing back.
    QTimer::singleShot(0, [] {
        QColorDialog::setCustomColor(0, QColor(9, 9, 9));
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    QVERIFY(!dialogs.chooseColour(&owner, custom));
    QCOMPARE(custom, customOf({0x00FF00, 0x123456, 0xFF0000}));

    // Qt would keep the custom colours in ~/.config/QtProject.conf; Tessaro keeps no settings.
    QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QCOMPARE(files.hasNext() ? files.next() : QString(), QString());
}

QTEST_MAIN(ColourTest)
#include "test_colour.moc"
