// How desktop.ini names its picture for a reader on another machine: names Windows can open,
// the numbered names of a copy, and whether a picture lies inside the folder.

#include "decoration/picture_reference.h"
#include "test_support.h"

#include <QtTest>

#include <filesystem>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct NameCase { const char* name; const char16_t* given; bool opens; const char16_t* changed; };
const NameCase nameCases[] = {
    {"plain", u"sea.jpg", true, u"sea.jpg"},
    {"Japanese and spaces", u"夏 の 海.jpg", true, u"夏 の 海.jpg"},
    {"a colon", u"12:30.jpg", false, u"12_30.jpg"},
    {"every forbidden character", u"a<b>c:d\"e|f?g*h\\i.jpg", false, u"a_b_c_d_e_f_g_h_i.jpg"},
    {"a dot at the end", u"sea.jpg.", false, u"sea.jpg"},
    {"dots and spaces at the end", u"sea. . ", false, u"sea"},
    {"a device's name", u"con.jpg", false, u"_con.jpg"},
    {"a device's name and spaces", u"AUX .jpg", false, u"_AUX .jpg"},
    {"longer than a device's name", u"console.jpg", true, u"console.jpg"},
    {"only dots", u"...", false, u"_"},
    {"a dot first", u".sea.jpg", true, u".sea.jpg"},
};

} // namespace

class PictureReferenceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowsNames_data() { rows(nameCases); }
    void windowsNames()
    {
        QFETCH(int, row);
        const NameCase& c = nameCases[row];
        const QString given = QString::fromUtf16(c.given);
        QCOMPARE(windowsCanOpen(given), c.opens);
        QCOMPARE(windowsName(given), QString::fromUtf16(c.changed));
        QVERIFY(windowsCanOpen(windowsName(given)));
    }

    void numberedName_keepsTheExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("numbered");
        QTest::newRow("the last extension") << "sea.old.jpg" << 12 << "sea.old (12).jpg";
        QTest::newRow("no extension") << "sea" << 3 << "sea (3)";
        QTest::newRow("a dot first is no extension") << ".sea" << 2 << ".sea (2)";
        // 255 bytes is the longest name a folder holds: the number takes the stem's place.
        QTest::newRow("255 bytes: shortened before the number") << QString(251, u'a') + QStringLiteral(".jpg") << 2
                                                                << QString(247, u'a') + QStringLiteral(" (2).jpg");
        // A character beyond the first plane is four bytes where names are bytes, and a pair of
        // UTF-16 units where they are wide: it goes whole or not at all.
        const QString clef = QString::fromUcs4(U"\U0001D11E", 1);
        const qsizetype fits = sizeof(std::filesystem::path::value_type) == 1 ? (255 - 8) / 4 : (255 - 8) / 2;
        QTest::newRow("never half a character") << clef.repeated(124) + QStringLiteral(".jpg") << 2
                                                 << clef.repeated(fits) + QStringLiteral(" (2).jpg");
    }
    void numberedName_keepsTheExtension()
    {
        QFETCH(QString, name);
        QFETCH(int, n);
        QFETCH(QString, numbered);
        QCOMPARE(numberedName(name, n), numbered);
    }

    // Links resolved on both sides: what counts is where the reader finds the file.
    void pathInside_followsLinks_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("inside"); // the names joined by '|'; "-" for elsewhere, "?" when it cannot be told
        QTest::newRow("in the folder") << "target/sea.jpg" << "target" << "sea.jpg";
        QTest::newRow("below it") << "target/写真/夏/sea.jpg" << "target" << "写真|夏|sea.jpg";
        QTest::newRow("beside it") << "elsewhere/sea.jpg" << "target" << "-";
        QTest::newRow("a folder of the same name's start") << "target2/sea.jpg" << "target" << "-";
        QTest::newRow("through a link out of the folder") << "target/out/sea.jpg" << "target" << "-";
        QTest::newRow("a link in the folder to a file in it") << "target/alias.jpg" << "target" << "写真|夏|sea.jpg";
        QTest::newRow("a link to a file elsewhere") << "target/far.jpg" << "target" << "-";
        QTest::newRow("the folder through a link") << "target/sea.jpg" << "link-to-target" << "sea.jpg";
        QTest::newRow("the folder by a second path") << "target/./写真/../sea.jpg" << "target/写真/.." << "sea.jpg";
        QTest::newRow("a missing picture: an error") << "target/gone.jpg" << "target" << "?";
    }
    void pathInside_followsLinks()
    {
        QFETCH(QString, picture);
        QFETCH(QString, folder);
        QFETCH(QString, inside);
        QTemporaryDir base;
        const auto at = [&base](const char* relative) { return base.filePath(QString::fromUtf8(relative)); };
        QVERIFY(QDir().mkpath(at("target/写真/夏")) && QDir().mkpath(at("elsewhere")) && QDir().mkpath(at("target2")));
        for (const char* file : {"target/sea.jpg", "target/写真/夏/sea.jpg", "elsewhere/sea.jpg", "sea.jpg", "target2/sea.jpg"})
            writeFile(at(file), "picture");
        const bool linked = symlink(at("elsewhere"), at("target/out")) && symlink(at("target/写真/夏/sea.jpg"), at("target/alias.jpg"))
            && symlink(at("elsewhere/sea.jpg"), at("target/far.jpg")) && symlink(at("target"), at("link-to-target"));
        if (!linked) {
            QVERIFY2(windowsBuild, "no symbolic link made");
            if (QByteArray(QTest::currentDataTag()).contains("link"))
                QSKIP("Windows makes symbolic links only with a privilege, and Wine none at all");
        }

        std::optional<QStringList> names;
        const std::error_code error = pathInside(base.filePath(picture), base.filePath(folder), names);
        QCOMPARE(error, inside == u'?' ? std::make_error_code(std::errc::no_such_file_or_directory) : std::error_code());
        QCOMPARE(names ? names->join(QLatin1Char('|')) : error ? QStringLiteral("?") : QStringLiteral("-"), inside);
    }
};

TESSARO_TEST_GUILESS_MAIN(PictureReferenceTest)
#include "test_picture_reference.moc"
