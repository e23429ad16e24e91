// How desktop.ini names its picture for a reader on another machine: names Windows can open,
// the numbered names of a copy, and whether a picture lies inside the folder; and the bytes of
// the file, composed for a reader that does not share this machine's code page. The colour's
// value, padded from what was typed, is the colour test's.

#include "decoration/picture_reference.h"
#include "decoration/settings_file.h"
#include "platform/os/os_services.h"

#include "ini_support.h"
#include "test_support.h"

#include <QtTest>

#include <filesystem>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct NameCase { const char* name; const char16_t* given; bool opens; const char16_t* changed; };
const NameCase nameCases[] = {
    {"Japanese and spaces", u"夏 の 海.jpg", true, u"夏 の 海.jpg"},
    {"every forbidden character", u"a<b>c:d\"e|f?g*h\\i.jpg", false, u"a_b_c_d_e_f_g_h_i.jpg"},
    {"dots and spaces at the end", u"sea. . ", false, u"sea"},
    {"a device's name", u"con.jpg", false, u"_con.jpg"},
    {"a device's name and spaces", u"AUX .jpg", false, u"_AUX .jpg"},
    {"longer than a device's name", u"console.jpg", true, u"console.jpg"},
    {"only dots", u"...", false, u"_"},
    {"a dot first", u".sea.jpg", true, u".sea.jpg"},
};

// 255 bytes is the longest name a folder holds: the number takes the stem's place. A
// character beyond the first plane is four bytes where names are bytes, and a pair of UTF-16
// units where they are wide: it goes whole or not at all.
const QString Clef = QString::fromUcs4(U"\U0001D11E", 1);
const qsizetype ClefsThatFit = sizeof(std::filesystem::path::value_type) == 1 ? (255 - 8) / 4 : (255 - 8) / 2;
struct NumberedCase { const char* name; QString given; int n; QString numbered; };
const NumberedCase numberedCases[] = {
    {"the last extension", QStringLiteral("sea.old.jpg"), 12, QStringLiteral("sea.old (12).jpg")},
    {"no extension", QStringLiteral("sea"), 3, QStringLiteral("sea (3)")},
    {"a dot first is no extension", QStringLiteral(".sea"), 2, QStringLiteral(".sea (2)")},
    {"255 bytes: shortened before the number", QString(251, u'a') + QStringLiteral(".jpg"), 2,
     QString(247, u'a') + QStringLiteral(" (2).jpg")},
    {"never half a character", Clef.repeated(124) + QStringLiteral(".jpg"), 2,
     Clef.repeated(ClefsThatFit) + QStringLiteral(" (2).jpg")},
};

// Links resolved on both sides: what counts is where the reader finds the file. `inside`:
// the names joined by '|'; "-" for elsewhere, "?" when it cannot be told.
struct InsideCase { const char* name; const char* picture; const char* folder; const char* inside; };
const InsideCase insideCases[] = {
    {"in the folder", "target/sea.jpg", "target", "sea.jpg"},
    {"below it", "target/写真/夏/sea.jpg", "target", "写真|夏|sea.jpg"},
    {"a folder of the same name's start", "target2/sea.jpg", "target", "-"},
    {"through a link out of the folder", "target/out/sea.jpg", "target", "-"},
    {"a link in the folder to a file in it", "target/alias.jpg", "target", "写真|夏|sea.jpg"},
    {"the folder through a link", "target/sea.jpg", "link-to-target", "sea.jpg"},
    {"the folder by a second path", "target/./写真/../sea.jpg", "target/写真/..", "sea.jpg"},
    {"a missing picture: an error", "target/gone.jpg", "target", "?"},
};

// Not ASCII: UTF-16, unless this machine is the reader (Windows) and its code page holds it.
QByteArray unicode(const QString& lines)
{
    if (os::readerEncodingCertain())
        if (const auto ansi = os::encodeExactly(lines.toStdU16String(), os::readerEncoding()))
            return QByteArray::fromStdString(*ansi);
    return utf16(lines);
}

} // namespace

class PictureReferenceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowsNames_data() { rows(nameCases); }
    void windowsNames()
    {
        const NameCase& c = currentRow(nameCases);
        const QString given = QString::fromUtf16(c.given);
        QCOMPARE(windowsCanOpen(given), c.opens);
        QCOMPARE(windowsName(given), QString::fromUtf16(c.changed));
        QVERIFY(windowsCanOpen(windowsName(given)));
    }

    void numberedName_keepsTheExtension_data() { rows(numberedCases); }
    void numberedName_keepsTheExtension()
    {
        const NumberedCase& c = currentRow(numberedCases);
        QCOMPARE(numberedName(c.given, c.n), c.numbered);
    }

    void pathInside_followsLinks_data() { rows(insideCases); }
    void pathInside_followsLinks()
    {
        const InsideCase& c = currentRow(insideCases);
        const QString inside = QString::fromUtf8(c.inside);
        QTemporaryDir base;
        const auto at = [&base](const char* relative) { return base.filePath(QString::fromUtf8(relative)); };
        QVERIFY(QDir().mkpath(at("target/写真/夏")) && QDir().mkpath(at("elsewhere")) && QDir().mkpath(at("target2")));
        for (const char* file : {"target/sea.jpg", "target/写真/夏/sea.jpg", "elsewhere/sea.jpg", "sea.jpg", "target2/sea.jpg"})
            writeFile(at(file), "picture");
        const bool linked = symlink(at("elsewhere"), at("target/out")) && symlink(at("target/写真/夏/sea.jpg"), at("target/alias.jpg"))
            && symlink(at("target"), at("link-to-target"));
        if (!linked) {
            QVERIFY2(windowsBuild, "no symbolic link made");
            if (QByteArray(QTest::currentDataTag()).contains("link"))
                QSKIP("Windows makes symbolic links only with a privilege, and Wine none at all");
        }

        std::optional<QStringList> names;
        const std::error_code error = pathInside(at(c.picture), at(c.folder), names);
        QCOMPARE(error, inside == u'?' ? std::make_error_code(std::errc::no_such_file_or_directory) : std::error_code());
        QCOMPARE(names ? names->join(QLatin1Char('|')) : error ? QStringLiteral("?") : QStringLiteral("-"), inside);
    }

    // Off Windows the locale is UTF-8, which a Windows reader would read as its ANSI code page.
    void composed_isAsciiOrUtf16_neverTheLocalesEncoding_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII") << "pics\\sea.jpg" << test::lines(QStringLiteral("pics\\sea.jpg"));
        QTest::newRow("Japanese") << "海.jpg" << unicode(test::linesText(QStringLiteral("海.jpg")));
        QTest::newRow("Latin-1") << "café.jpg" << unicode(test::linesText(QStringLiteral("café.jpg")));
    }
    void composed_isAsciiOrUtf16_neverTheLocalesEncoding()
    {
        QFETCH(QString, image);
        QFETCH(QByteArray, bytes);
        const auto file = ini::compose(image.toStdU16String(), u"0x000000FF", readerCodec());
        QVERIFY(file);
        QCOMPARE(QByteArray::fromStdString(file.value->bytes), bytes);
    }

    // A value is read to the end of its line: a line break in the path would add lines of its own.
    void choice_withALineBreakInThePicturesPath_isRefused()
    {
        const auto reason = checkChoice({QStringLiteral("pics"), QStringLiteral("sea\n.jpg"), true, QStringLiteral("FF")});
        QVERIFY(reason && reason->contains(QStringLiteral("改行")));
    }
};

TESSARO_TEST_GUILESS_MAIN(PictureReferenceTest)
#include "test_picture_reference.moc"
