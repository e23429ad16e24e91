// Opening a folder on Linux goes through xdg-open; here a script of the test's stands in
// for it on PATH, recording what it was asked to open and answering as xdg-open would.

#include "platform/os/os_services.h"

#include "posix_support.h"
#include "test_support.h"

#include <QtTest>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// `opener`: the script's body, none for no xdg-open on PATH; `opened`: whether it was run,
// with the folder as its one argument.
struct OpenCase { const char* name; const char* opener; bool folderExists; std::error_code expected; bool opened; };
const OpenCase openCases[] = {
    {"missing folder, opener not run", "exit 0", false, std::error_code(ENOENT, std::system_category()), false},
    {"opener without a file manager", "exit 3", true, make_error_code(os::Failure::NoFileManager), true},
    {"no opener installed", nullptr, true, make_error_code(os::Failure::NoFileManager), false},
};

} // namespace

class OpenFolderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void openFolder_runsTheOpenerAndReportsItsAnswer_data() { rows(openCases); }
    void openFolder_runsTheOpenerAndReportsItsAnswer()
    {
        const OpenCase& c = currentRow(openCases);
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("bin")), log = dir.filePath(QStringLiteral("asked"));
        const QString folder = dir.filePath(QStringLiteral("Summer Trip"));
        QVERIFY(QDir().mkpath(bin));
        if (c.folderExists)
            QVERIFY(QDir().mkpath(folder));
        if (c.opener) {
            const QString script = bin + QStringLiteral("/xdg-open");
            writeFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" > '" + log.toUtf8() + "'\n" + c.opener + "\n");
            QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.toUtf8());
        const std::error_code error = os::openFolder(folder.toStdString(), 0);
        qputenv("PATH", path);

        QCOMPARE(describe(error), describe(c.expected));
        QCOMPARE(readFile(log), c.opened ? folder.toUtf8() + '|' : QByteArray());
    }
};

TESSARO_TEST_GUILESS_MAIN(OpenFolderTest)
#include "test_open_folder_posix.moc"
