// The settings file's bytes, composed for a reader that does not share this machine's code
// page. The colour's value, padded from what was typed, is the colour test's.

#include "decoration/settings_file.h"
#include "platform/os/os_services.h"

#include "ini_support.h"
#include "test_support.h"

#include <QtTest>

using namespace tessaro;
using test::utf16;

namespace {

// Not ASCII: UTF-16, unless this machine is the reader (Windows) and its code page holds it.
QByteArray unicode(const QString& lines)
{
    if (os::readerEncodingCertain())
        if (const auto ansi = os::encodeExactly(lines.toStdU16String(), os::readerEncoding()))
            return QByteArray::fromStdString(*ansi);
    return utf16(lines);
}

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

TESSARO_TEST_GUILESS_MAIN(SettingsFileTest)
#include "test_settings_file.moc"
