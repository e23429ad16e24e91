// Failures described in Japanese: the errno values the services return, the program's own
// failures, and an unknown code by its number alone.

#include "platform/widgets/error_text.h"
#include "platform/os/os_services.h"
#include "test_support.h"

#include <QtTest>

#include <cerrno>

using namespace tessaro;
using namespace tessaro::test;

namespace {

struct ErrnoCase { const char* name; std::error_code error; const char* text; };
// One row for each way to a text: a reason with what to do about it, a reason alone, an errno
// without Japanese, the program's own failure, and one of the program's unknown.
const ErrnoCase errnoCases[] = {
    {"EACCES", {EACCES, std::generic_category()},
     "アクセスが拒否されました。\n書き込みが許されているフォルダを選ぶか、フォルダの持ち主に権限をもらってください。"},
    {"EIO", {EIO, std::generic_category()}, "ディスクの読み書きに失敗しました。"},
    {"unknown: its number only", {199, std::generic_category()}, "エラー 199"},
    {"no file manager", os::make_error_code(os::Failure::NoFileManager), "フォルダを開くファイルマネージャが設定されていません。"},
    {"a failure of the program's unknown", os::make_error_code(static_cast<os::Failure>(77)), "エラー 77"},
};

} // namespace

class ErrorTextTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void error_isJapanese_data() { rows(errnoCases); }
    void error_isJapanese()
    {
        QFETCH(int, row);
        const ErrnoCase& c = errnoCases[row];
        QCOMPARE(describeError(c.error), QString::fromUtf8(c.text));
        // The system's own numbers are errno values on Linux; Windows' codes are another table.
        if (!windowsBuild && c.error.category() == std::generic_category())
            QCOMPARE(describeError({c.error.value(), std::system_category()}), QString::fromUtf8(c.text));
    }
};

TESSARO_TEST_GUILESS_MAIN(ErrorTextTest)
#include "test_error_text.moc"
