// The caption colour: the colour dialog's answer reaching the window, and its custom colours.

#include "app/form1.h"
#include "decoration/apply_command.h"
#include "platform/file_list.h"
#include "platform/folder_list.h"
#include "test_support.h"

#include <QApplication>
#include <QColorDialog>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct Window {
    explicit Window(const TempHome& home)
        : form(dialogs, home.path())
        , text1(form.findChild<QLineEdit*>(QStringLiteral("Text1")))
        , swatch(form.findChild<QLabel*>(QStringLiteral("Label2")))
        , sample(form.findChild<QLabel*>(QStringLiteral("Label1")))
    {
    }
    void pressColourButton() { QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton); }
    QColor swatchColour() const { return swatch->palette().color(QPalette::Window); }
    QColor sampleColour() const { return sample->palette().color(QPalette::WindowText); }

    FakeDialogs dialogs;
    Form1 form;
    QLineEdit* text1;
    QLabel* swatch;
    QLabel* sample;
};

os::CustomColours customOf(std::initializer_list<os::ColourRef> colours)
{
    os::CustomColours bytes{};
    std::size_t at = 0;
    for (os::ColourRef colour : colours) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes[at++] = static_cast<std::uint8_t>(colour >> shift);
    }
    return bytes;
}

} // namespace

class ColourTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void chosenColour_showsAsTextSwatchAndSample_data();
    void chosenColour_showsAsTextSwatchAndSample();
    void cancel_changesNothing();
    void customColours_lastForTheRunOnly();
    void chosenColour_isWhatApplyWrites();
    void realDialog_answersAndLeavesNoSettings();
};

void ColourTest::chosenColour_showsAsTextSwatchAndSample_data()
{
    QTest::addColumn<uint>("colourRef");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("red") << 0x0000FFu << "FF" << QColor(255, 0, 0);
    QTest::newRow("blue") << 0xFF0000u << "FF0000" << QColor(0, 0, 255);
    QTest::newRow("black") << 0x000000u << "0" << QColor(0, 0, 0);
    QTest::newRow("white") << 0xFFFFFFu << "FFFFFF" << QColor(255, 255, 255);
    QTest::newRow("teal") << 0x80800Au << "80800A" << QColor(10, 128, 128);
}

void ColourTest::chosenColour_showsAsTextSwatchAndSample()
{
    QFETCH(uint, colourRef);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    TempHome home;
    Window w(home);
    w.dialogs.colourAnswer = colourRef;
    w.pressColourButton();
    QCOMPARE(w.dialogs.colourDialogs, 1);
    QCOMPARE(w.text1->text(), text);
    QCOMPARE(w.swatchColour(), colour);
    QCOMPARE(w.sampleColour(), colour);
}

void ColourTest::cancel_changesNothing()
{
    TempHome home;
    Window w(home);
    w.dialogs.colourAnswer = 0x00FF00;
    w.dialogs.customAnswer = customOf({0x112233, 0x445566});
    w.pressColourButton();
    const QString text = w.text1->text();
    const QColor swatch = w.swatchColour();
    const QColor sample = w.sampleColour();
    const os::CustomColours custom = w.form.customColors();

    // The user edits the custom colours in the dialog, then cancels.
    w.dialogs.colourAnswer.reset();
    w.dialogs.customAnswer = customOf({0xABCDEF});
    w.pressColourButton();
    QCOMPARE(w.text1->text(), text);
    QCOMPARE(w.swatchColour(), swatch);
    QCOMPARE(w.sampleColour(), sample);
    QCOMPARE(w.form.customColors(), custom);
}

void ColourTest::customColours_lastForTheRunOnly()
{
    TempHome home;
    {
        Window w(home);
        w.dialogs.colourAnswer = 0xFF;
        w.dialogs.customAnswer = customOf({0x010203, 0, 0xFFFFFF});
        w.pressColourButton();
        QCOMPARE(w.dialogs.offeredCustom, os::CustomColours{});
        QCOMPARE(w.form.customColors(), w.dialogs.customAnswer);

        w.dialogs.customAnswer = customOf({0x0A0B0C});
        w.pressColourButton();
        QCOMPARE(w.dialogs.offeredCustom, customOf({0x010203, 0, 0xFFFFFF}));
        QCOMPARE(w.form.customColors(), customOf({0x0A0B0C}));
    }
    Window fresh(home);
    QCOMPARE(fresh.form.customColors(), os::CustomColours{});
    fresh.dialogs.colourAnswer = 0;
    fresh.pressColourButton();
    QCOMPARE(fresh.dialogs.offeredCustom, os::CustomColours{});
}

void ColourTest::chosenColour_isWhatApplyWrites()
{
    TempHome home;
    const QString pictures = home.mkpath(QStringLiteral("Documents/My Pictures"));
    writeFile(pictures + QStringLiteral("/sea.jpg"), "x");
    const QString target = home.mkpath(QStringLiteral("target"));
    Window w(home);
    QVERIFY(w.form.findChild<FolderList*>(QStringLiteral("Dir2"))->setPath(target));
    w.form.findChild<FileList*>(QStringLiteral("File1"))->setListIndex(0);
    w.dialogs.messages.clear(); // "sea.jpg" is no picture; only the settings file matters here

    w.dialogs.colourAnswer = 0x0000FF;
    w.pressColourButton();
    QTest::mouseClick(w.form.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QVERIFY(readFile(target + QStringLiteral("/desktop.ini")).endsWith("\r\niconarea_text=0x000000FF\r\n"));
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
    const std::optional<os::ColourRef> chosen = dialogs.chooseColour(&owner, custom);
    QCOMPARE(offered, QColor(0x56, 0x34, 0x12));
    QCOMPARE(chosen, std::optional<os::ColourRef>(0x0000FF));
    QCOMPARE(custom, customOf({0x00FF00, 0x123456, 0xFF0000}));

    // Canceling hands nothing back.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QColorDialog::setCustomColor(0, QColor(9, 9, 9));
        dialog->reject();
    });
    QVERIFY(!dialogs.chooseColour(&owner, custom));
    QCOMPARE(custom, customOf({0x00FF00, 0x123456, 0xFF0000}));

    // Qt would keep the custom colours in ~/.config/QtProject.conf; Tessaro keeps no settings.
    QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList written;
    while (files.hasNext())
        written << files.next();
    QCOMPARE(written, QStringList());
}

QTEST_MAIN(ColourTest)
#include "test_colour.moc"
