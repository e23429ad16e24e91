// The caption colour: the colour dialog's answer and the typed text reaching the swatch, the
// sample and apply alike, and the dialog's custom colours.

#include "app/form1.h"
#include "gui_support.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_window.h"
#include "platform/widgets/picture_box.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

void addPicture(const TempHome& home)
{
    QVERIFY(twoColourImage(QSize(4, 4), Qt::red, Qt::red).save(home.mkpath(QStringLiteral("Documents/My Pictures")) + QStringLiteral("/sea.bmp")));
}

// A window opened on a red picture, selected and its preview read, so that apply goes as far
// as the colour.
struct Window : WindowOf<Form1> {
    explicit Window(const TempHome& home) : WindowOf((addPicture(home), home))
    {
        find<FileList>("File1")->setListIndex(0);
        QVERIFY(QTest::qWaitFor([this] { return !find<PictureBox>("Image1")->loading(); }));
    }
    // The colour as the text box, the swatch ("none" when it shows no colour) and the sample
    // caption show it.
    QStringList shown() const
    {
        const QBrush swatch = find<QLabel>("Label2")->palette().brush(QPalette::Window);
        return {find<QLineEdit>("Text1")->text(), swatch.style() == Qt::SolidPattern ? swatch.color().name() : QStringLiteral("none"),
                find<QLabel>("Label1")->palette().color(QPalette::WindowText).name()};
    }
};

// A colour the dialog answers with: the text box, the swatch and the sample show it, apply writes it.
struct ChosenCase { const char* name; os::ColourRef colourRef; const char* text; const char* colour; const char* written; };
const ChosenCase chosenCases[] = {
    {"blue", 0xFF0000, "FF0000", "#0000ff", "00FF0000"},
    {"black: no leading zeros", 0x000000, "0", "#000000", "00000000"},
};

struct TypedCase {
    const char* name;
    const char16_t* text;
    const char* shown;    // the swatch and sample; none when the text is no colour
    const char* written;  // the colour apply writes; none when it refuses
    const char16_t* why = nullptr;  // what the box's tooltip says of a text that is no colour, in part
};
// Blue and green captions read poorly over the red picture (below 4.5 : 1): hard to read is the
// user's choice to make, and apply goes ahead all the same.
const TypedCase typedCases[] = {
    {"blue is the high byte, lower case", u"ff0000", "#0000ff", "00ff0000"},
    {"full-width lower case and space", u"ｆｆ００\u3000", "#00ff00", "0000ff00"},
    {"eight digits, the top byte unused", u"FF0000FF", "#ff0000", "FF0000FF"},
    {"prefixed", u"0xFF", nullptr, nullptr, u"「x」は16進数の数字ではありません"},
    {"nine digits: the first eight are no colour either", u"123456789", nullptr, nullptr, u"8 桁まで"},
    {"empty", u"", nullptr, nullptr, u"入力されていません"},
};

} // namespace

class ColourTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void typedText_swatchDialogAndApplyAgree_data() { rows(typedCases); }
    void chosenColour_reachesWindowAndApply_cancelDropsTheDialogsEdits_data() { rows(chosenCases); }
    void chosenColour_reachesWindowAndApply_cancelDropsTheDialogsEdits()
    {
        QFETCH(int, row);
        const ChosenCase& c = chosenCases[row];
        const QString text = QLatin1String(c.text), colour = QLatin1String(c.colour);
        TempHome home;
        Window w(home);
        w.dialogs.colourAnswer = c.colourRef;
        w.dialogs.customEdit = customColours({0x010203, 0, c.colourRef});
        w.press("Command3");
        QCOMPARE(w.dialogs.offeredCustom, os::CustomColours{});
        QCOMPARE(w.shown(), (QStringList{text, colour, colour}));
        QCOMPARE(w.form.customColors(), *w.dialogs.customEdit);

        // The user edits the custom colours in the dialog, then cancels.
        const os::CustomColours kept = *w.dialogs.customEdit;
        w.dialogs.colourAnswer.reset();
        w.dialogs.customEdit = customColours({0xABCDEF});
        w.press("Command3");
        QCOMPARE(w.dialogs.offeredCustom, kept);
        QCOMPARE(w.shown(), (QStringList{text, colour, colour}));
        QCOMPARE(w.form.customColors(), kept);

        // Apply writes the colour chosen (into the working directory, where the target pane starts,
        // after the question whether to copy the picture there).
        w.dialogs.answers = {true};
        w.press("Command1");
        QVERIFY(readFile(home.path(QStringLiteral("work/desktop.ini"))).endsWith("\r\niconarea_text=0x" + QByteArray(c.written) + "\r\n"));
    }

    void legibility_followsTheColourToldToScreenReadersAndWarns()
    {
        TempHome home;
        Window w(home); // red: 5.25 : 1 with black captions, 4.00 : 1 with white ones
        auto* text1 = w.find<QLineEdit>("Text1");
        auto* figure = w.find<QLabel>("Label5");
        const auto description = [&] { return QAccessible::queryAccessibleInterface(text1)->text(QAccessible::Description); };
        QCOMPARE(figure->text(), QStringLiteral("読みやすさ 5.2 : 1"));
        QVERIFY(!description().contains(legibilityWarning()));

        text1->setText(QStringLiteral("FFFFFF"));
        QCOMPARE(figure->text(), QStringLiteral("読みやすさ 3.9 : 1"));
        for (const QString& told : {description(), w.find<QLabel>("Label1")->toolTip(), figure->toolTip()})
            QVERIFY2(told.contains(QStringLiteral("3.9 : 1")) && told.contains(legibilityWarning()), qPrintable(told));
        text1->setText(QStringLiteral("zz"));
        QCOMPARE(figure->text(), QString());
    }

    void typedText_swatchDialogAndApplyAgree()
    {
        QFETCH(int, row);
        const TypedCase& c = typedCases[row];
        TempHome home;
        Window w(home);
        auto* text1 = w.find<QLineEdit>("Text1");
        text1->setText(QString::fromUtf16(c.text));
        const QString shownColour = c.shown ? QLatin1String(c.shown) : QStringLiteral("none");
        const QString sample = c.shown ? QLatin1String(c.shown) : w.form.palette().color(QPalette::WindowText).name();
        QCOMPARE(w.shown(), (QStringList{QString::fromUtf16(c.text), shownColour, sample}));
        // A text that is no colour is marked where it is typed, and the box says why.
        QCOMPARE(text1->actions().value(0)->isVisible(), !c.shown);
        if (c.why)
            QVERIFY2(text1->toolTip().contains(QString::fromUtf16(c.why)), qPrintable(text1->toolTip()));
        // A screen reader hears the same, then how well the colour reads.
        QVERIFY2(text1->accessibleDescription().startsWith(text1->toolTip()), qPrintable(text1->accessibleDescription()));
        // The colour dialog opens at the colour shown, black for none.
        w.press("Command3");
        const QColor shown(c.shown ? shownColour : QStringLiteral("#000000"));
        QCOMPARE(w.dialogs.offeredColour, std::optional<os::ColourRef>(shown.red() | shown.green() << 8 | shown.blue() << 16));

        w.dialogs.answers = {true}; // copy the picture into the target folder
        w.press("Command1");
        const QByteArray settings = readFile(home.path(QStringLiteral("work/desktop.ini")));
        QCOMPARE(w.dialogs.messages.size(), 1); // the success message, or the refusal
        if (c.written) {
            QVERIFY(w.dialogs.messages.front().contains(QStringLiteral("背景を設定しました")));
            QVERIFY(settings.endsWith("\r\niconarea_text=0x" + QByteArray(c.written) + "\r\n"));
            return;
        }
        QCOMPARE(settings, QByteArray());
        // The message gives the order of the bytes and an example.
        for (const QString& part : {QStringLiteral("青・緑・赤"), QStringLiteral("0x00BBGGRR"), QStringLiteral("赤は FF")})
            QVERIFY2(w.dialogs.messages.front().contains(part), qPrintable(w.dialogs.messages.front()));
    }
};

TESSARO_TEST_MAIN(ColourTest)
#include "test_colour.moc"
