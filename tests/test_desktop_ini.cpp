// desktop.ini read, merged and taken off as the profile API reads it: every byte outside our
// two values kept, in the file's own encoding. The fuzz harness's seeds, replayed with the
// tests, hold merge, read and take-off to each other on every file.

#include "decoration/desktop_ini.h"
#include "tests/fuzz/toy_codecs.h"

#include "test_support.h"

#include <QtTest>

using namespace tessaro;
using test::utf16;

namespace {

QByteArray bytesOf(const std::string& bytes)
{
    return QByteArray::fromStdString(bytes);
}

std::string_view viewOf(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

std::u16string_view viewOf(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

// A value as the reader gets it, or "<absent>" when it gets its default.
QString shown(const std::optional<std::u16string>& value)
{
    return value ? QString::fromStdU16String(*value) : QStringLiteral("<absent>");
}

enum CodecId { Ascii, DoubleByte };

ini::Codec codec(int id)
{
    return id == DoubleByte ? test::doubleByteCodec() : ini::asciiCodec();
}

const QByteArray ours = "[{BE098140-A513-11D0-A3A4-00C04FD706EC}]";
const QString oursText = QString::fromLatin1(ours);

QByteArray decoration(const QByteArray& image, const QByteArray& eol = "\r\n")
{
    return ours + eol + "iconarea_image=" + image + eol + "iconarea_text=0x000000FF" + eol;
}

QString decorationText(const QString& image)
{
    return oursText + QStringLiteral("\r\niconarea_image=%1\r\niconarea_text=0x000000FF\r\n").arg(image);
}

} // namespace

class DesktopIniTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void merge_changesOnlyOurValues_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<int>("codecId");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QByteArray>("expected");
        // Into sea.jpg in ASCII, unless a row says otherwise.
        const auto row = [](const char* name, const QByteArray& existing, const QByteArray& expected, int codecId = Ascii,
                            const QString& image = QStringLiteral("sea.jpg")) { QTest::newRow(name) << existing << codecId << image << expected; };
        const QByteArray ourLines = "iconarea_image=sea.jpg\r\niconarea_text=0x000000FF\r\n";

        row("no file: the three lines, CR LF", {}, decoration("sea.jpg"));
        row("values replaced in place, blanks around them kept",
            ours + "\r\nIconArea_Image  =  old.jpg \t\r\nfoo=1\r\n  iconarea_text=0x00FFFFFF\r\n",
            ours + "\r\nIconArea_Image  =  sea.jpg \t\r\nfoo=1\r\n  iconarea_text=0x000000FF\r\n");
        row("section in another case and in blanks, key added after its last line, LF kept",
            "[ {be098140-a513-11d0-a3a4-00c04fd706ec} ]\nICONAREA_TEXT=1\n\n[next]\na=1\n",
            "[ {be098140-a513-11d0-a3a4-00c04fd706ec} ]\nICONAREA_TEXT=0x000000FF\niconarea_image=sea.jpg\n\n[next]\na=1\n");
        row("other section kept, ours appended in its LF", "[.ShellClassInfo]\nIconResource=x.ico,0\n",
            "[.ShellClassInfo]\nIconResource=x.ico,0\n" + decoration("sea.jpg", "\n"));
        row("last line without a line end gets one", "[x]\r\na=1", "[x]\r\na=1\r\n" + decoration("sea.jpg"));
        row("key added after a last line without a line end", ours + "\r\niconarea_image=old.jpg", decoration("sea.jpg"));
        row("duplicate key: the first one changes", ours + "\r\niconarea_image=1\r\niconarea_image=2\r\niconarea_text=3\r\n",
            ours + "\r\niconarea_image=sea.jpg\r\niconarea_image=2\r\niconarea_text=0x000000FF\r\n");
        row("duplicate section: the first one is read, so it gets the keys", ours + "\r\nfoo=1\r\n" + decoration("old.jpg"),
            ours + "\r\nfoo=1\r\n" + ourLines + decoration("old.jpg"));
        row("a key without '=' hides the next one: it gets the value", ours + "\r\niconarea_image\r\niconarea_image=old.jpg\r\niconarea_text=1\r\n",
            ours + "\r\niconarea_image=sea.jpg\r\niconarea_image=old.jpg\r\niconarea_text=0x000000FF\r\n");
        row("a commented-out key is not ours", ours + "\r\n;iconarea_image=old.jpg\r\n", ours + "\r\n;iconarea_image=old.jpg\r\n" + ourLines);
        row("empty value filled before the blanks", ours + "\r\niconarea_image=  \r\niconarea_text=\r\n",
            ours + "\r\niconarea_image=sea.jpg  \r\niconarea_text=0x000000FF\r\n");
        row("value the reader would trim goes in quotes", decoration("old.jpg"), decoration("\" sea.jpg\""), Ascii, QStringLiteral(" sea.jpg"));
        row("UTF-16LE: ours replaced, Japanese kept",
            utf16(QStringLiteral("[.ShellClassInfo]\r\nInfoTip=日本語\r\n") + oursText + QStringLiteral("\r\niconarea_image=古.jpg\r\n")),
            utf16(QStringLiteral("[.ShellClassInfo]\r\nInfoTip=日本語\r\n") + oursText
                  + QStringLiteral("\r\niconarea_image=写真\\海.jpg\r\niconarea_text=0x000000FF\r\n")),
            Ascii, QStringLiteral("写真\\海.jpg"));
        row("ANSI becomes UTF-16LE for a value outside the codec", "[.ShellClassInfo]\nInfoTip=hi\n",
            utf16(QStringLiteral("[.ShellClassInfo]\nInfoTip=hi\n") + oursText + QStringLiteral("\niconarea_image=海.jpg\niconarea_text=0x000000FF\n")),
            Ascii, QStringLiteral("海.jpg"));
        row("conversion decodes the file's own characters", "InfoTip=\x81\x41\r\n",
            utf16(QStringLiteral("InfoTip=\u4E41\r\n") + decorationText(QStringLiteral("海.jpg"))), DoubleByte, QStringLiteral("海.jpg"));
        row("an old value outside the codec need not come over", ours + "\r\niconarea_image=\x93\xFA.jpg\r\n",
            utf16(decorationText(QStringLiteral("海.jpg"))), Ascii, QStringLiteral("海.jpg"));
        row("bytes outside the codec kept when the value fits", "[.ShellClassInfo]\r\nInfoTip=\x93\xFA\x96\x7B\r\n",
            "[.ShellClassInfo]\r\nInfoTip=\x93\xFA\x96\x7B\r\n" + decoration("sea.jpg"));
        row("a ']' inside a double-byte character does not end the section name", ours + "\x81]\r\nfoo=1\r\n",
            ours + "\x81]\r\nfoo=1\r\n" + ourLines, DoubleByte);
        // Windows ends a section's name at its first ']' and reads a '[' line without one as a
        // section named by the rest of the line; Wine takes the last ']' and ignores such a line.
        row("the first ']' ends the name: ours, though a note after it holds another", ours + " ; note ] here\r\niconarea_image=old.jpg\r\n",
            ours + " ; note ] here\r\n" + ourLines);
        row("our section without its ']'", "[{BE098140-A513-11D0-A3A4-00C04FD706EC}\r\niconarea_image=old.jpg\r\n",
            "[{BE098140-A513-11D0-A3A4-00C04FD706EC}\r\n" + ourLines);
        // Only what can change the two values refuses a file.
        row("names outside the codec are not ours: a section, a comment, a key in our section",
            "[\x93\xFA]\r\n;\x93\xFA\r\n" + ours + "\r\n\x93\xFA=1\r\n", "[\x93\xFA]\r\n;\x93\xFA\r\n" + ours + "\r\n\x93\xFA=1\r\n" + ourLines);
        row("a look-alike section after ours is never read", ours + "\r\n[\x81\x40{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n",
            ours + "\r\n" + ourLines + "[\x81\x40{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n", DoubleByte);
        row("a CR, or a line ending in a lead byte, after our section", ours + "\n[x]\na=\x81\nb=1\r[y]\n",
            ours + "\niconarea_image=sea.jpg\niconarea_text=0x000000FF\n[x]\na=\x81\nb=1\r[y]\n", DoubleByte);
        row("a line ending in a double-byte character whose second byte could lead one", "x=\x81\x81\n" + ours + "\n",
            "x=\x81\x81\n" + ours + "\niconarea_image=sea.jpg\niconarea_text=0x000000FF\n", DoubleByte);
        row("a CR before our section in a line that holds no section", "a=1\rb=2\r\n", "a=1\rb=2\r\n" + decoration("sea.jpg"));
        row("double-byte text in our section and out comes over whole",
            "[\x81\x41]\r\n;\x81\x42\r\n" + ours + "\r\n\x81\x43=\x81\x5D\r\niconarea_image=old.jpg\r\n",
            utf16(QStringLiteral("[\u4E41]\r\n;\u4E42\r\n") + oursText
                  + QStringLiteral("\r\n\u4E43=\u4E5D\r\niconarea_image=海.jpg\r\niconarea_text=0x000000FF\r\n")),
            DoubleByte, QStringLiteral("海.jpg"));
    }

    void merge_changesOnlyOurValues()
    {
        QFETCH(QByteArray, existing);
        QFETCH(int, codecId);
        QFETCH(QString, image);
        QFETCH(QByteArray, expected);
        const auto merged = ini::merge(viewOf(existing), viewOf(image), u"0x000000FF", codec(codecId));
        QVERIFY(merged);
        QCOMPARE(bytesOf(merged.value->bytes), expected);
        QCOMPARE(merged.value->encoding, expected.startsWith("\xFF\xFE") ? ini::Encoding::Utf16le : ini::Encoding::Ansi);
    }

    void merge_refusesWhatItCannotKeepExactly_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<int>("codecId");
        QTest::addColumn<QString>("image");
        QTest::addColumn<ini::Refusal>("refusal");
        QTest::addColumn<int>("line"); // where the refusal says it arises

        const QString sea = QStringLiteral("sea.jpg");
        QTest::newRow("UTF-16LE of odd length") << utf16(QStringLiteral("a=1")) + "\n" << int(Ascii) << sea << ini::Refusal::Utf16OddLength << 0;
        QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF\0a", 4) << int(Ascii) << sea << ini::Refusal::Utf16BigEndian << 0;
        QTest::newRow("UTF-8 byte-order mark") << QByteArray("\xEF\xBB\xBF[x]\r\n") << int(Ascii) << sea << ini::Refusal::Utf8Mark << 0;
        QTest::newRow("NUL in an ANSI file") << QByteArray("a=1\r\n\0\r\n", 8) << int(Ascii) << sea << ini::Refusal::NulCharacter << 0;
        QTest::newRow("NUL in a UTF-16LE file") << utf16(QStringLiteral("a=1")) + QByteArray(2, '\0') << int(Ascii) << sea
                                                << ini::Refusal::NulCharacter << 0;
        QTest::newRow("CR inside a line of our section") << ours + "\r\nfoo=1\riconarea_image=x.jpg\r\n" << int(Ascii) << sea
                                                         << ini::Refusal::CarriageReturnInLine << 2;
        QTest::newRow("CR before a section, before ours") << QByteArray("a=1\r[x]\r\n") + ours << int(Ascii) << sea
                                                         << ini::Refusal::CarriageReturnInLine << 1;
        QTest::newRow("a line before ours ends in a lead byte") << "a=1\nb=\x81\n" + ours + "\n" << int(DoubleByte) << sea
                                                                << ini::Refusal::SplitCharacter << 2;
        QTest::newRow("dotted capital I: ours to some readers")
            << utf16(oursText + QStringLiteral("\r\n\u0130conarea_image=x.jpg\r\n")) << int(Ascii) << sea << ini::Refusal::AmbiguousName << 2;
        QTest::newRow("ideographic space in a section name: ours to some readers")
            << utf16(QStringLiteral("[\u3000{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n")) << int(Ascii) << sea << ini::Refusal::AmbiguousName << 1;
        QTest::newRow("the same in a double-byte file, before ours")
            << "[x]\r\n[ \x81\x40{be098140-a513-11d0-a3a4-00c04fd706ec}\x81\x40]\r\n" + ours << int(DoubleByte) << sea
            << ini::Refusal::AmbiguousName << 2;
        QTest::newRow("value needs UTF-16LE, a line not in the codec") << QByteArray("[.ShellClassInfo]\r\n\r\nInfoTip=\x93\xFA\r\n") << int(Ascii)
                                                                      << QStringLiteral("海.jpg") << ini::Refusal::NotConvertible << 3;
        QTest::newRow("line feed in the value") << QByteArray() << int(Ascii) << QStringLiteral("sea\n.jpg") << ini::Refusal::ValueHasLineBreak << 0;
    }

    void merge_refusesWhatItCannotKeepExactly()
    {
        QFETCH(QByteArray, existing);
        QFETCH(int, codecId);
        QFETCH(QString, image);
        QFETCH(ini::Refusal, refusal);
        QFETCH(int, line);
        const auto merged = ini::merge(viewOf(existing), viewOf(image), u"0x000000FF", codec(codecId));
        QVERIFY(!merged);
        QCOMPARE(merged.refusal, refusal);
        QCOMPARE(merged.line, std::size_t(line));
    }

    void read_returnsWhatTheProfileApiReturns_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("text");
        const QString absent = QStringLiteral("<absent>");

        QTest::newRow("quotes dropped, blanks around '=' dropped") << ours + "\r\n iconarea_image = \"a b.jpg\" \r\nIconArea_Text='0xFF'\r\n"
                                                                   << QStringLiteral("a b.jpg") << QStringLiteral("0xFF");
        QTest::newRow("a key without '=' reads as absent and hides the next")
            << ours + "\r\niconarea_image\r\niconarea_image=a.jpg\r\niconarea_text=\r\n" << absent << QStringLiteral("");
        QTest::newRow("a second section of our name is not read") << ours + "\r\nfoo=1\r\n" + decoration("a.jpg") << absent << absent;
        QTest::newRow("a key before any section is not ours") << "iconarea_image=a.jpg\r\n" + ours + "\r\niconarea_text=1\r\n" << absent
                                                              << QStringLiteral("1");
        // Windows' rules for section lines; Wine reads a.jpg in both.
        QTest::newRow("a '[' line without ']' is a section: ours ends there") << ours + "\r\n[x\r\niconarea_image=a.jpg\r\n" << absent << absent;
        QTest::newRow("the first ']' ends the name") << ours + "]\r\niconarea_image=a.jpg\r\n" + ours + "\r\niconarea_image=b.jpg\r\n"
                                                     << QStringLiteral("a.jpg") << absent;
        QTest::newRow("a value of 65,535 characters is read, one longer reads as nothing")
            << ours + "\r\niconarea_image=" + QByteArray(65535, 'x') + "\r\niconarea_text=" + QByteArray(65536, '1') << QString(65535, u'x')
            << QStringLiteral("");
    }

    void read_returnsWhatTheProfileApiReturns()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, image);
        QFETCH(QString, text);
        const auto values = ini::read(viewOf(bytes), ini::asciiCodec());
        QVERIFY(values);
        QCOMPARE(shown(values.value->image), image);
        QCOMPARE(shown(values.value->text), text);
    }

    void remove_takesOffOnlyOurLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<bool>("nothingLeft");

        QTest::newRow("the three lines: nothing left") << decoration("a.jpg") << QByteArray() << true;
        QTest::newRow("other section kept byte for byte") << "[.ShellClassInfo]\nInfoTip=hi\n\n" + decoration("a.jpg")
                                                          << QByteArray("[.ShellClassInfo]\nInfoTip=hi\n\n") << false;
        QTest::newRow("our section kept for its other keys") << ours + "\r\nfoo=1\r\nIconArea_Image=a.jpg\r\niconarea_text=1"
                                                             << ours + "\r\nfoo=1\r\n" << false;
        QTest::newRow("our section kept for a comment") << ours + "\r\n;note\r\niconarea_image=a.jpg\r\n" << ours + "\r\n;note\r\n" << false;
        QTest::newRow("every duplicate key and section goes") << decoration("a.jpg") + "iconarea_image=b.jpg\r\n[x]\r\n" + decoration("c.jpg")
                                                              << QByteArray("[x]\r\n") << false;
        QTest::newRow("a key without '=' goes too") << ours + "\r\niconarea_image\r\n\r\n" << QByteArray() << true;
        QTest::newRow("a '[' line without ']' ends our section") << ours + "\r\niconarea_image=a.jpg\r\n[x\r\niconarea_image=b.jpg\r\n"
                                                               << QByteArray("[x\r\niconarea_image=b.jpg\r\n") << false;
        QTest::newRow("UTF-16LE: the mark stays, nothing else") << utf16(decorationText(QStringLiteral("海.jpg"))) << QByteArray("\xFF\xFE")
                                                                << true;
    }

    void remove_takesOffOnlyOurLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QFETCH(bool, nothingLeft);
        const auto removed = ini::remove(viewOf(bytes), ini::asciiCodec());
        QVERIFY(removed);
        QCOMPARE(bytesOf(removed.value->file.bytes), expected);
        QCOMPARE(removed.value->nothingLeft, nothingLeft);
        QVERIFY(ini::read(removed.value->file.bytes, ini::asciiCodec()).value == ini::Values{});
    }
};

QTEST_APPLESS_MAIN(DesktopIniTest)
#include "test_desktop_ini.moc"
