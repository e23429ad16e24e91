// Every failure the program can meet, described in Japanese: the errno values the services
// return, the program's own failures, and an unknown code by its number alone.

#include "platform/widgets/error_text.h"
#include "platform/os/os_services.h"
#include "test_support.h"

#include <QtTest>

#include <cerrno>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// `value`: an errno value, or (negative) the program's own failure -value.
struct ErrnoCase { const char* name; int value; const char* text; };
const ErrnoCase errnoCases[] = {
    // Where the user can do something about it, the message says what.
    {"EACCES", EACCES, "アクセスが拒否されました。\n書き込みが許されているフォルダを選ぶか、フォルダの持ち主に権限をもらってください。"},
    {"EROFS", EROFS, "読み取り専用のドライブです。\n書き込みできるドライブのフォルダを選ぶか、ディスクやカードの書き込み禁止を解除してください。"},
    {"ENOSPC", ENOSPC, "ディスクに空きがありません。\n不要なファイルを削除して空きを作ってから、もう一度お試しください。"},
#ifdef EDQUOT // Windows' C runtime has neither this nor the two marked below
    {"EDQUOT", EDQUOT, "ディスクの使用量の上限に達しています。\n不要なファイルを削除して空きを作ってから、もう一度お試しください。"},
#endif
    {"ENOTSUP", ENOTSUP, "このドライブのファイルシステムはこの操作に対応していません。"},
    {"EIO", EIO, "ディスクの読み書きに失敗しました。"},
    {"EEXIST", EEXIST, "同じ名前のファイルまたはフォルダが既にあります。"},
    {"EINVAL", EINVAL, "この場所またはこのファイルには、この操作を行えません。"},
    {"ENODATA", ENODATA, "ファイルシステムに必要な属性がありません。"},
#ifdef ESTALE
    {"ESTALE", ESTALE, "ネットワークの接続に問題があります。\nネットワークの接続を確かめてから、もう一度お試しください。"},
    {"ENOMEDIUM", ENOMEDIUM, "ドライブにディスクがないか、装置が見つかりません。\nディスクを入れるか装置をつなぎ直してから、もう一度お試しください。"},
#endif
    {"unknown: its number only", 199, "エラー 199"},
    {"no file manager", -int(os::Failure::NoFileManager), "フォルダを開くファイルマネージャが設定されていません。"},
    {"the opener failed", -int(os::Failure::OpenerFailed), "ファイルマネージャがフォルダを開けませんでした。"},
    {"attributes in an unknown form", -int(os::Failure::UnknownAttributeFormat),
     "属性がこのプログラムの知らない形式で記録されているため、変更しませんでした。"},
    {"a failure of the program's unknown", -77, "エラー 77"},
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
        if (c.value < 0) {
            QCOMPARE(describeError(os::make_error_code(static_cast<os::Failure>(-c.value))), QString::fromUtf8(c.text));
            return;
        }
        QCOMPARE(describeError({c.value, std::generic_category()}), QString::fromUtf8(c.text));
        // The system's own numbers are errno values on Linux; Windows' codes are another table.
        if (!windowsBuild)
            QCOMPARE(describeError({c.value, std::system_category()}), QString::fromUtf8(c.text));
    }
};

TESSARO_TEST_GUILESS_MAIN(ErrorTextTest)
#include "test_error_text.moc"
