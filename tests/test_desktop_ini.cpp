// desktop.ini read, merged and taken off as the profile API reads it: every byte outside our
// two values kept, in the file's own encoding. The fuzz harness's seeds, replayed with the
// tests, hold merge, read and take-off to each other on every file.

#include "decoration/desktop_ini.h"
#include "tests/fuzz/toy_codecs.h"

#include "ini_support.h"
#include "test_support.h"

#include <QtTest>

using namespace tessaro;
using test::linesText;
using test::utf16;

namespace {

// The reader's code page: ASCII, or a double-byte page in miniature.
using MakeCodec = ini::Codec (*)();
constexpr MakeCodec Ascii = ini::asciiCodec, DoubleByte = test::doubleByteCodec;

const QByteArray ours = "[{BE098140-A513-11D0-A3A4-00C04FD706EC}]";
const QString oursText = test::Section;

QByteArray decoration(const QByteArray& image, const QByteArray& eol = "\r\n")
{
    return ours + eol + "iconarea_image=" + image + eol + "iconarea_text=0x000000FF" + eol;
}

const QByteArray ourLines = "iconarea_image=sea.jpg\r\niconarea_text=0x000000FF\r\n";

// Into sea.jpg in ASCII, unless a row says otherwise.
struct MergeCase { const char* name; QByteArray existing, expected; MakeCodec codec = Ascii; QString image = QStringLiteral("sea.jpg"); };
const MergeCase mergeCases[] = {
    {"no file: the three lines, CR LF", {}, decoration("sea.jpg")},
    {"values replaced in place, blanks around them kept",
     ours + "\r\nIconArea_Image  =  old.jpg \t\r\nfoo=1\r\n  iconarea_text=0x00FFFFFF\r\n",
     ours + "\r\nIconArea_Image  =  sea.jpg \t\r\nfoo=1\r\n  iconarea_text=0x000000FF\r\n"},
    {"section in another case and in blanks, key added after its last line, LF kept",
     "[ {be098140-a513-11d0-a3a4-00c04fd706ec} ]\nICONAREA_TEXT=1\n\n[next]\na=1\n",
     "[ {be098140-a513-11d0-a3a4-00c04fd706ec} ]\nICONAREA_TEXT=0x000000FF\niconarea_image=sea.jpg\n\n[next]\na=1\n"},
    {"other section kept, ours appended in its LF", "[.ShellClassInfo]\nIconResource=x.ico,0\n",
     "[.ShellClassInfo]\nIconResource=x.ico,0\n" + decoration("sea.jpg", "\n")},
    {"last line without a line end gets one", "[x]\r\na=1", "[x]\r\na=1\r\n" + decoration("sea.jpg")},
    {"key added after a last line without a line end", ours + "\r\niconarea_image=old.jpg", decoration("sea.jpg")},
    {"duplicate key: the first one changes", ours + "\r\niconarea_image=1\r\niconarea_image=2\r\niconarea_text=3\r\n",
     ours + "\r\niconarea_image=sea.jpg\r\niconarea_image=2\r\niconarea_text=0x000000FF\r\n"},
    {"duplicate section: the first one is read, so it gets the keys", ours + "\r\nfoo=1\r\n" + decoration("old.jpg"),
     ours + "\r\nfoo=1\r\n" + ourLines + decoration("old.jpg")},
    {"a key without '=' hides the next one: it gets the value", ours + "\r\niconarea_image\r\niconarea_image=old.jpg\r\niconarea_text=1\r\n",
     ours + "\r\niconarea_image=sea.jpg\r\niconarea_image=old.jpg\r\niconarea_text=0x000000FF\r\n"},
    {"a commented-out key is not ours", ours + "\r\n;iconarea_image=old.jpg\r\n", ours + "\r\n;iconarea_image=old.jpg\r\n" + ourLines},
    {"empty value filled before the blanks", ours + "\r\niconarea_image=  \r\niconarea_text=\r\n",
     ours + "\r\niconarea_image=sea.jpg  \r\niconarea_text=0x000000FF\r\n"},
    {"value the reader would trim goes in quotes", decoration("old.jpg"), decoration("\" sea.jpg\""), Ascii, QStringLiteral(" sea.jpg")},
    {"UTF-16LE: ours replaced, Japanese kept",
     utf16(QStringLiteral("[.ShellClassInfo]\r\nInfoTip=日本語\r\n") + oursText + QStringLiteral("\r\niconarea_image=古.jpg\r\n")),
     utf16(QStringLiteral("[.ShellClassInfo]\r\nInfoTip=日本語\r\n") + oursText
           + QStringLiteral("\r\niconarea_image=写真\\海.jpg\r\niconarea_text=0x000000FF\r\n")),
     Ascii, QStringLiteral("写真\\海.jpg")},
    {"ANSI becomes UTF-16LE for a value outside the codec", "[.ShellClassInfo]\nInfoTip=hi\n",
     utf16(QStringLiteral("[.ShellClassInfo]\nInfoTip=hi\n") + oursText + QStringLiteral("\niconarea_image=海.jpg\niconarea_text=0x000000FF\n")),
     Ascii, QStringLiteral("海.jpg")},
    {"conversion decodes the file's own characters", "InfoTip=\x81\x41\r\n",
     utf16(QStringLiteral("InfoTip=\u4E41\r\n") + linesText(QStringLiteral("海.jpg"))), DoubleByte, QStringLiteral("海.jpg")},
    {"bytes outside the codec kept when the value fits", "[.ShellClassInfo]\r\nInfoTip=\x93\xFA\x96\x7B\r\n",
     "[.ShellClassInfo]\r\nInfoTip=\x93\xFA\x96\x7B\r\n" + decoration("sea.jpg")},
    {"a ']' inside a double-byte character does not end the section name", ours + "\x81]\r\nfoo=1\r\n",
     ours + "\x81]\r\nfoo=1\r\n" + ourLines, DoubleByte},
    // Windows ends a section's name at its first ']' and reads a '[' line without one as a
    // section named by the rest of the line; Wine takes the last ']' and ignores such a line.
    {"the first ']' ends the name: ours, though a note after it holds another", ours + " ; note ] here\r\niconarea_image=old.jpg\r\n",
     ours + " ; note ] here\r\n" + ourLines},
    {"our section without its ']'", "[{BE098140-A513-11D0-A3A4-00C04FD706EC}\r\niconarea_image=old.jpg\r\n",
     "[{BE098140-A513-11D0-A3A4-00C04FD706EC}\r\n" + ourLines},
    // Only what can change the two values refuses a file.
    {"a look-alike section after ours is never read", ours + "\r\n[\x81\x40{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n",
     ours + "\r\n" + ourLines + "[\x81\x40{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n", DoubleByte},
    {"a CR, or a line ending in a lead byte, after our section", ours + "\n[x]\na=\x81\nb=1\r[y]\n",
     ours + "\niconarea_image=sea.jpg\niconarea_text=0x000000FF\n[x]\na=\x81\nb=1\r[y]\n", DoubleByte},
    {"a line ending in a double-byte character whose second byte could lead one", "x=\x81\x81\n" + ours + "\n",
     "x=\x81\x81\n" + ours + "\niconarea_image=sea.jpg\niconarea_text=0x000000FF\n", DoubleByte},
    {"double-byte text in our section and out comes over whole",
     "[\x81\x41]\r\n;\x81\x42\r\n" + ours + "\r\n\x81\x43=\x81\x5D\r\niconarea_image=old.jpg\r\n",
     utf16(QStringLiteral("[\u4E41]\r\n;\u4E42\r\n") + oursText
           + QStringLiteral("\r\n\u4E43=\u4E5D\r\niconarea_image=海.jpg\r\niconarea_text=0x000000FF\r\n")),
     DoubleByte, QStringLiteral("海.jpg")},
};

// `line`: where the refusal says it arises.
struct RefusalCase { const char* name; QByteArray existing; ini::Refusal refusal; int line; MakeCodec codec = Ascii;
                     QString image = QStringLiteral("sea.jpg"); };
const RefusalCase refusalCases[] = {
    {"UTF-16LE of odd length", utf16(QStringLiteral("a=1")) + "\n", ini::Refusal::Utf16OddLength, 0},
    {"UTF-16BE", QByteArray("\xFE\xFF\0a", 4), ini::Refusal::Utf16BigEndian, 0},
    {"UTF-8 byte-order mark", "\xEF\xBB\xBF[x]\r\n", ini::Refusal::Utf8Mark, 0},
    {"NUL in an ANSI file", QByteArray("a=1\r\n\0\r\n", 8), ini::Refusal::NulCharacter, 0},
    {"NUL in a UTF-16LE file", utf16(QStringLiteral("a=1")) + QByteArray(2, '\0'), ini::Refusal::NulCharacter, 0},
    {"CR inside a line of our section", ours + "\r\nfoo=1\riconarea_image=x.jpg\r\n", ini::Refusal::CarriageReturnInLine, 2},
    {"CR before a section, before ours", "a=1\r[x]\r\n" + ours, ini::Refusal::CarriageReturnInLine, 1},
    {"a line before ours ends in a lead byte", "a=1\nb=\x81\n" + ours + "\n", ini::Refusal::SplitCharacter, 2, DoubleByte},
    {"dotted capital I: ours to some readers", utf16(oursText + QStringLiteral("\r\n\u0130conarea_image=x.jpg\r\n")),
     ini::Refusal::AmbiguousName, 2},
    {"ideographic space in a section name: ours to some readers",
     utf16(QStringLiteral("[\u3000{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n")), ini::Refusal::AmbiguousName, 1},
    {"value needs UTF-16LE, a line not in the codec", "[.ShellClassInfo]\r\n\r\nInfoTip=\x93\xFA\r\n", ini::Refusal::NotConvertible, 3,
     Ascii, QStringLiteral("海.jpg")},
    {"line feed in the value", {}, ini::Refusal::ValueHasLineBreak, 0, Ascii, QStringLiteral("sea\n.jpg")},
};

// What a value the reader does not get is shown as.
const QString absent = QStringLiteral("<absent>");
struct ReadCase { const char* name; QByteArray bytes; QString image, text; };
const ReadCase readCases[] = {
    {"quotes dropped, blanks around '=' dropped", ours + "\r\n iconarea_image = \"a b.jpg\" \r\nIconArea_Text='0xFF'\r\n",
     QStringLiteral("a b.jpg"), QStringLiteral("0xFF")},
    {"a key without '=' reads as absent and hides the next", ours + "\r\niconarea_image\r\niconarea_image=a.jpg\r\niconarea_text=\r\n",
     absent, QStringLiteral("")},
    {"a second section of our name is not read", ours + "\r\nfoo=1\r\n" + decoration("a.jpg"), absent, absent},
    {"a key before any section is not ours", "iconarea_image=a.jpg\r\n" + ours + "\r\niconarea_text=1\r\n", absent, QStringLiteral("1")},
};

struct RemoveCase { const char* name; QByteArray bytes, expected; bool nothingLeft; };
const RemoveCase removeCases[] = {
    {"the three lines: nothing left", decoration("a.jpg"), {}, true},
    {"other section kept byte for byte", "[.ShellClassInfo]\nInfoTip=hi\n\n" + decoration("a.jpg"), "[.ShellClassInfo]\nInfoTip=hi\n\n",
     false},
    {"our section kept for its other keys", ours + "\r\nfoo=1\r\nIconArea_Image=a.jpg\r\niconarea_text=1", ours + "\r\nfoo=1\r\n", false},
    {"our section kept for a comment", ours + "\r\n;note\r\niconarea_image=a.jpg\r\n", ours + "\r\n;note\r\n", false},
    {"every duplicate key and section goes", decoration("a.jpg") + "iconarea_image=b.jpg\r\n[x]\r\n" + decoration("c.jpg"), "[x]\r\n",
     false},
    {"a key without '=' goes too", ours + "\r\niconarea_image\r\n\r\n", {}, true},
    {"a '[' line without ']' ends our section", ours + "\r\niconarea_image=a.jpg\r\n[x\r\niconarea_image=b.jpg\r\n",
     "[x\r\niconarea_image=b.jpg\r\n", false},
    {"UTF-16LE: the mark stays, nothing else", utf16(linesText(QStringLiteral("海.jpg"))), "\xFF\xFE", true},
};

} // namespace

class DesktopIniTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void merge_changesOnlyOurValues_data() { test::rows(mergeCases); }
    void merge_changesOnlyOurValues()
    {
        const MergeCase& c = test::currentRow(mergeCases);
        const auto merged = ini::merge(c.existing.toStdString(), c.image.toStdU16String(), u"0x000000FF", c.codec());
        QVERIFY(merged);
        QCOMPARE(QByteArray::fromStdString(merged.value->bytes), c.expected);
        QCOMPARE(merged.value->encoding, c.expected.startsWith("\xFF\xFE") ? ini::Encoding::Utf16le : ini::Encoding::Ansi);
    }

    void merge_refusesWhatItCannotKeepExactly_data() { test::rows(refusalCases); }
    void merge_refusesWhatItCannotKeepExactly()
    {
        const RefusalCase& c = test::currentRow(refusalCases);
        const auto merged = ini::merge(c.existing.toStdString(), c.image.toStdU16String(), u"0x000000FF", c.codec());
        QVERIFY(!merged);
        QCOMPARE(merged.refusal, c.refusal);
        QCOMPARE(merged.line, std::size_t(c.line));
    }

    void read_returnsWhatTheProfileApiReturns_data() { test::rows(readCases); }
    void read_returnsWhatTheProfileApiReturns()
    {
        const ReadCase& c = test::currentRow(readCases);
        const auto values = ini::read(c.bytes.toStdString(), ini::asciiCodec());
        QVERIFY(values);
        QCOMPARE(QString::fromStdU16String(values.value->image.value_or(absent.toStdU16String())), c.image);
        QCOMPARE(QString::fromStdU16String(values.value->text.value_or(absent.toStdU16String())), c.text);
    }

    void remove_takesOffOnlyOurLines_data() { test::rows(removeCases); }
    void remove_takesOffOnlyOurLines()
    {
        const RemoveCase& c = test::currentRow(removeCases);
        const auto removed = ini::remove(c.bytes.toStdString(), ini::asciiCodec());
        QVERIFY(removed);
        QCOMPARE(QByteArray::fromStdString(removed.value->file.bytes), c.expected);
        QCOMPARE(removed.value->nothingLeft, c.nothingLeft);
        QVERIFY(ini::read(removed.value->file.bytes, ini::asciiCodec()).value == ini::Values{});
    }
};

QTEST_APPLESS_MAIN(DesktopIniTest)
#include "test_desktop_ini.moc"
