// The settings file's bytes, composed from what the window holds.

#include "decoration/settings_file.h"

#include <QDir>
#include <QtTest>

#include <filesystem>
#include <type_traits>

using namespace tessaro;

namespace {

QByteArray settings(const QByteArray& picture, const QByteArray& colour)
{
    return "[{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\niconarea_image=" + picture + "\r\niconarea_text=0x" + colour + "\r\n";
}

// The system's names for the two code pages the table uses: their numbers on Windows,
// iconv's codesets elsewhere.
QByteArray encoding(int codePage)
{
    if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>)
        return QByteArray::number(codePage);
    return codePage == 932 ? "SHIFT_JIS" : "UTF-8";
}

// The system's root folder and separator, so that the table reads the same everywhere.
const QString Root = QDir::toNativeSeparators(QDir::rootPath());
const QByteArray RootBytes = Root.toLatin1();
const QByteArray Sep = QByteArray(1, QDir::separator().toLatin1());

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void settingsFile_isExactBytes_data();
    void settingsFile_isExactBytes();
};

void SettingsFileTest::settingsFile_isExactBytes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("root folder, start-up colour") << Root << "sea.jpg" << "000000" << encoding(65001) << settings(RootBytes + "sea.jpg", "00000000");
    QTest::newRow("spaces stay unquoted, padded") << Root + QStringLiteral("My Pics") << "a b.bmp" << "FF0000" << encoding(65001) << settings(RootBytes + "My Pics" + Sep + "a b.bmp", "00FF0000");
    QTest::newRow("case kept, spaces trimmed") << Root + QStringLiteral("p") << "x.gif" << " c0ffee " << encoding(65001) << settings(RootBytes + "p" + Sep + "x.gif", "00c0ffee");
    QTest::newRow("eight digits") << Root + QStringLiteral("p") << "x.gif" << "12345678" << encoding(65001) << settings(RootBytes + "p" + Sep + "x.gif", "12345678");
    QTest::newRow("japanese in Shift_JIS") << Root + QStringLiteral("写真") << QStringLiteral("海.jpg") << "FF" << encoding(932)
                                           << settings(RootBytes + "\x8E\xCA\x90\x5E" + Sep + "\x8A\x43.jpg", "000000FF");
    // A character the code page lacks turns the whole file into UTF-16LE with a byte-order mark.
    const QString accented = QString::fromLatin1(settings(RootBytes + "caf\xE9" + Sep + "x.jpg", "000000FF"));
    QTest::newRow("accent missing from Shift_JIS") << Root + QStringLiteral("caf\u00e9") << "x.jpg" << "FF" << encoding(932)
                                                   << "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(accented.utf16()), accented.size() * 2);
}

void SettingsFileTest::settingsFile_isExactBytes()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, colour);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, expected);
    const DecorationChoice choice{folder, name, true, colour};
    QVERIFY(!checkChoice(choice));
    QCOMPARE(settingsBytes(settingsText(choice), encoding.toStdString()), expected);
}

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "test_settings_file.moc"
