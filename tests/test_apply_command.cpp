// What pressing apply does on Linux, where the folder's reader is another machine: the
// questions, all asked before anything changes; the picture referred to or copied in; the
// merge into a desktop.ini already there; the staging; the marks; and the one message.

#include "app/form1.h"
#include "decoration/apply_command.h"
#include "decoration/desktop_ini.h"
#include "gui_support.h"
#include "ini_support.h"
#include "platform/os/dos_attributes.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/picture_box.h"
#include "platform/widgets/shown_name.h"
#include "posix_support.h"

#include <QtTest>

#include <latch>
#include <thread>

#include <sys/stat.h>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Each question asked, by what it is about, with the answer it offers first: "copy/Y merge/N".
QString asked(const FakeDialogs& dialogs)
{
    static const std::pair<const char*, const char*> marks[] = {{"コピーしますか", "copy"}, {"読み取り専用です", "merge-read-only"},
        {"ほかの設定はそのまま残し", "merge"}, {"ふつうのファイルではありません", "replace"}, {"は既にあります。\n置き換えますか", "appeared"}};
    QStringList result;
    for (qsizetype i = 0; i < dialogs.questions.size(); ++i) {
        const QString& q = dialogs.questions[i];
        const auto* mark = std::ranges::find_if(marks, [&q](const auto& m) { return q.contains(QString::fromUtf8(m.first)); });
        result << (mark == std::end(marks) ? q : QString::fromLatin1(mark->second))
                + (dialogs.defaults.value(i) == UserDialogs::Default::Yes ? QStringLiteral("/Y") : QStringLiteral("/N"));
    }
    return result.join(QLatin1Char(' '));
}

// A target folder, a folder of pictures elsewhere and a staging place, all on a filesystem
// that keeps the user.* attributes where the marks go.
class Folders {
public:
    Folders()
        : m_base(userXattrTemplate().isEmpty() ? QDir::tempPath() + QStringLiteral("/t-XXXXXX") : userXattrTemplate())
    {
        QVERIFY(m_base.isValid());
        QVERIFY(QDir().mkpath(target) && QDir().mkpath(pictures) && QDir().mkpath(staging));
        writeFile(pictures + QStringLiteral("/sea.jpg"), Picture);
    }
    bool marksKept() const { return keepsUserXattrs(m_base.path()); }
    QString path(const QString& relative) const { return m_base.filePath(relative); }

private:
    QTemporaryDir m_base;

public:
    static inline const QByteArray Picture = "the sea, as a picture";
    const QString target = m_base.filePath(QStringLiteral("対象 target"));
    const QString pictures = m_base.filePath(QStringLiteral("写真 pictures"));
    const QString staging = m_base.filePath(QStringLiteral("staging"));
    const QString ini = target + QStringLiteral("/desktop.ini");
};

bool apply(FakeDialogs& dialogs, const Folders& folders, const QString& pictureFolder, const QString& name)
{
    return ApplyCommand(dialogs, nullptr, folders.staging).run({pictureFolder, name, true, QStringLiteral("FF")}, folders.target);
}

QString imageOf(const QString& ini)
{
    const auto values = ini::read(readFile(ini).toStdString(), ini::asciiCodec());
    return values && values.value->image ? QString::fromStdU16String(*values.value->image) : QStringLiteral("<none>");
}

// Hidden and System on desktop.ini, System on the folder.
void verifyMarked(const Folders& folders)
{
    const auto file = dos::attributesOf(dosAttrib(folders.ini).value_or(std::string()));
    const auto folder = dos::attributesOf(dosAttrib(folders.target).value_or(std::string()));
    QVERIFY(file && (*file & (dos::Hidden | dos::System)) == (dos::Hidden | dos::System));
    QVERIFY(folder && (*folder & dos::System));
}

enum class Setup { Nothing, OldFile, LinkToNotes, ReadOnlyMark, ReadOnlyFile, SameDecoration };
enum class Meanwhile { Nothing, IniAppears, IniChanges, IniNamingTheCopyAppears };

// `answers`: the user's, in turn. `asked`: the questions, in order, as asked() says them.
struct NoCase { const char* name; bool elsewhere; Setup setup; Meanwhile meanwhile; QList<bool> answers; const char* asked;
                int messages; bool stagingInTarget = false; bool applied = false; };
const NoCase noCases[] = {
    // Applying again what the folder has asks nothing (not even about the desktop.ini there),
    // writes nothing, and says so.
    {"the same decoration again", true, Setup::SameDecoration, Meanwhile::Nothing, {}, "", 1, false, true},
    {"copy declined", true, Setup::Nothing, Meanwhile::Nothing, {false}, "copy/Y", 1},
    {"merge declined", false, Setup::OldFile, Meanwhile::Nothing, {false}, "merge/N", 0},
    // Where the program once staged: a No must keep the old desktop.ini there too.
    {"merge declined, staging below the target", true, Setup::OldFile, Meanwhile::Nothing, {true, false}, "copy/Y merge/N", 0, true},
    {"a link in desktop.ini's place kept", false, Setup::LinkToNotes, Meanwhile::Nothing, {false}, "replace/N", 0},
    {"desktop.ini marked Read-only: said so, declined", false, Setup::ReadOnlyMark, Meanwhile::Nothing, {false}, "merge-read-only/N", 0},
    {"desktop.ini the user may not write: said so, declined", false, Setup::ReadOnlyFile, Meanwhile::Nothing, {false}, "merge-read-only/N", 0},
    {"desktop.ini appears while asking, declined: the copied picture goes again", true, Setup::Nothing, Meanwhile::IniAppears,
     {true, false}, "copy/Y appeared/N", 0},
    {"desktop.ini changes after the merge was agreed, declined", false, Setup::OldFile, Meanwhile::IniChanges, {true, false},
     "merge/N appeared/N", 0},
    // Another run has found the copy and named it: it is no longer this run's to take back.
    {"desktop.ini naming the copy appears, declined: the copy stays", true, Setup::Nothing, Meanwhile::IniNamingTheCopyAppears,
     {true, false}, "copy/Y appeared/N", 0},
};

struct MergeCase { const char* name; QByteArray existing; const char16_t* picture; QByteArray merged; const char* refusal = nullptr; };
const QByteArray TipSjis = "[.ShellClassInfo]\r\nInfoTip=\x93\xfa\x96\x7b\r\nIconResource=C:\\x.dll,3\r\n";
// "; 背景の設定" and "[日本語]" as Japanese Windows writes them.
const QByteArray Sjis932 = "; \x94\x77\x8c\x69\x82\xcc\x90\xdd\x92\xe8\r\n[\x93\xfa\x96\x7b\x8c\xea]\r\nk=v\r\n";
const MergeCase mergeCases[] = {
    {"code page 932 text in our section and out: every byte kept", Sjis932 + lines(QStringLiteral("old.jpg")).replace("}]\r\n", "}]\r\n\x83\x81\x83\x82=\x8a\x43\r\n"),
     u"sea.jpg", Sjis932 + lines(QStringLiteral("sea.jpg")).replace("}]\r\n", "}]\r\n\x83\x81\x83\x82=\x8a\x43\r\n")},
    {"code page 932, a Japanese picture: the whole file becomes UTF-16LE, its text identical", TipSjis, u"海.jpg",
     utf16(QStringLiteral("[.ShellClassInfo]\r\nInfoTip=日本\r\nIconResource=C:\\x.dll,3\r\n") + linesText(QStringLiteral("海.jpg")))},
    {"a byte that is no code page 932 text: refused, naming its line, in plain words", "[.ShellClassInfo]\r\nInfoTip=\xff\r\n", u"海.jpg",
     "[.ShellClassInfo]\r\nInfoTip=\xff\r\n", "2 行目 (InfoTip) の文字を正確に移せません。\n画像のファイル名を半角の英数字だけにすれば"},
    {"UTF-8 mark: refused", "\xEF\xBB\xBF[.ShellClassInfo]\r\n", u"sea.jpg", "\xEF\xBB\xBF[.ShellClassInfo]\r\n", "UTF-8"},
};

// `there`: files in the target before (name and whether it holds the picture's bytes).
struct NameCase { const char* name; const char16_t* picture; bool elsewhere; QList<std::pair<const char16_t*, bool>> there;
                  const char16_t* written; bool asked; bool copied; bool takenWhileAsking = false;
                  QSize size = {}; bool corner = false; }; // a BMP of that size; only its top-left corner shows
const NameCase nameCases[] = {
    {"inside: a relative path", u"写真/海.jpg", false, {}, u"写真\\海.jpg", false, false},
    {"elsewhere: copied under its name", u"sea.jpg", true, {}, u"sea.jpg", true, true},
    {"the name taken by another file: numbered", u"sea.jpg", true, {{u"sea.jpg", false}}, u"sea (2).jpg", true, true},
    {"taken in another case: Windows does not tell them apart", u"sea.jpg", true, {{u"SEA.JPG", false}}, u"sea (2).jpg", true, true},
    {"the same bytes already there: used without asking", u"sea.jpg", true, {{u"sea.jpg", true}}, u"sea.jpg", false, false},
    {"a name Windows cannot open: copied under one it can", u"12:30?.jpg", true, {}, u"12_30_.jpg", true, true},
    {"inside under such a name: copied to the folder itself", u"写真/a|b.jpg", false, {}, u"a_b.jpg", true, true},
    {"the name taken while asking: the next one", u"sea.jpg", true, {}, u"sea (2).jpg", true, true, true},
    {"wider than 1600: said to show only its corner", u"big.bmp", false, {}, u"big.bmp", false, false, false, {1601, 8}, true},
    {"1600 × 1200 fits", u"big.bmp", false, {}, u"big.bmp", false, false, false, {1600, 1200}, false},
};

// desktop.ini names `named` (relative to the folder) and the user applies forest.jpg from
// elsewhere; `offered`: the earlier picture is offered for deletion; `gone`: it is deleted.
struct EarlierCase { const char* name; const char* named; QByteArray more; bool tick; bool declineAgain; bool offered; bool gone; };
const EarlierCase earlierCases[] = {
    {"an earlier copy, ticked: deleted", "sea.jpg", {}, true, false, true, true},
    {"an earlier copy, left off: kept", "sea.jpg", {}, false, false, true, false},
    {"ticked, but the new decoration never goes in: kept", "sea.jpg", {}, true, true, true, false},
    {"named elsewhere in desktop.ini: not offered", "sea.jpg", "[.ShellClassInfo]\r\nIconResource=SEA.JPG,0\r\n", true, false, false, false},
    {"outside the folder: not offered", "..\\sea.jpg", {}, true, false, false, false},
};

enum class Fault { TargetPathTooLong, IniIsAFolder, MergedTooBig, ReadOnlyTarget, NowhereToStage, PictureIsAPipe, UnknownAttributeFormat };
struct FailureCase { const char* name; Fault fault; const char* reason; bool changes = false; };
const FailureCase failureCases[] = {
    {"target path too long", Fault::TargetPathTooLong, "長すぎます"},
    {"desktop.ini is a folder", Fault::IniIsAFolder, "同じ名前のフォルダがあります"},
    // Within the limit before, over it once merged: refused before anything is written.
    {"desktop.ini one byte over the limit once merged", Fault::MergedTooBig, "1,048,577 バイトになり"},
    {"read-only folder", Fault::ReadOnlyTarget, "アクセスが拒否されました"},
    {"nowhere to stage", Fault::NowhereToStage, "一時フォルダを作れません"},
    {"the picture a pipe inside the folder", Fault::PictureIsAPipe, "ふつうのファイルではありません"},
    {"the folder's attributes in a form unknown here", Fault::UnknownAttributeFormat, "知らない形式", true},
};

} // namespace

class ApplyCommandTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void no_leavesEverythingAsItWas_data() { rows(noCases); }

    void no_leavesEverythingAsItWas()
    {
        QFETCH(int, row);
        const NoCase& c = noCases[row];
        const Folders folders;
        const QString notes = folders.path(QStringLiteral("notes.txt"));
        writeFile(notes, "my notes");
        QVERIFY(QDir(folders.target).mkdir(QStringLiteral("写真")));
        writeFile(folders.target + QStringLiteral("/写真/sea.jpg"), Folders::Picture);
        if (c.setup == Setup::OldFile || c.setup == Setup::ReadOnlyMark || c.setup == Setup::ReadOnlyFile) {
            writeFile(folders.ini, "[.ShellClassInfo]\r\nInfoTip=mine\r\n");
            if (!folders.marksKept() && c.setup != Setup::ReadOnlyFile)
                QSKIP("this filesystem keeps no user.* attributes");
            QVERIFY(setDosAttrib(folders.ini, c.setup == Setup::ReadOnlyMark ? "0x21" : "0x26"));
        }
        if (c.setup == Setup::SameDecoration) {
            FakeDialogs first;
            first.answers = {true};
            QVERIFY(apply(first, folders, folders.pictures, QStringLiteral("sea.jpg")));
        }
        if (c.setup == Setup::LinkToNotes)
            QVERIFY(QFile::link(notes, folders.ini));
        std::optional<ReadOnlyFolder> locked;
        if (c.setup == Setup::ReadOnlyFile && !locked.emplace(folders.ini).active())
            QSKIP("this filesystem cannot make a file unchangeable");

        QStringList before = snapshot(folders.path(QString()));
        FakeDialogs dialogs;
        dialogs.answers = c.answers;
        dialogs.whileAsking = [&](const QString&) {
            if (c.meanwhile != Meanwhile::Nothing && dialogs.questions.size() == 1) {
                writeFile(folders.ini, "theirs");
                before = snapshot(folders.path(QString()));
            }
            if (c.meanwhile == Meanwhile::IniNamingTheCopyAppears && dialogs.questions.size() == 2) {
                writeFile(folders.ini, lines(QStringLiteral("sea.jpg")));
                // All but the run's own staging folder, which goes with the run.
                before = snapshot(folders.path(QString()));
                before.removeIf([](const QString& entry) { return entry.startsWith(QLatin1String("/staging/tessaro-")); });
            }
        };
        const QString pictures = c.elsewhere ? folders.pictures : folders.target + QStringLiteral("/写真");
        QCOMPARE(ApplyCommand(dialogs, nullptr, c.stagingInTarget ? folders.target : folders.staging)
                     .run({pictures, QStringLiteral("sea.jpg"), true, QStringLiteral("FF")}, folders.target),
                 c.applied);

        QCOMPARE(asked(dialogs), QString::fromLatin1(c.asked));
        QCOMPARE(dialogs.messages.size(), c.messages);
        QCOMPARE(snapshot(folders.path(QString())), before);
        if (c.applied)
            QVERIFY2(dialogs.messages.front().contains(QStringLiteral("必要はありませんでした")), qPrintable(dialogs.messages.front()));
    }

    void merge_keepsEveryOtherByte_data() { rows(mergeCases); }

    void merge_keepsEveryOtherByte()
    {
        QFETCH(int, row);
        const MergeCase& c = mergeCases[row];
        const Folders folders;
        const QString picture = QString::fromUtf16(c.picture);
        writeFile(folders.target + QLatin1Char('/') + picture, Folders::Picture);
        writeFile(folders.ini, c.existing);
        // The replaced file's Archive mark and permissions go to the new one.
        QCOMPARE(::chmod(QFile::encodeName(folders.ini), 0640), 0);
        const bool marks = folders.marksKept() && setDosAttrib(folders.ini, "0x20");
        FakeDialogs dialogs;
        dialogs.answers = {true};
        const bool applied = apply(dialogs, folders, folders.target, picture);

        QCOMPARE(readFile(folders.ini).toHex(' '), c.merged.toHex(' '));
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(applied, !c.refusal);
        if (c.refusal) {
            QCOMPARE(dialogs.questions.size(), 0); // refused before asking
            QVERIFY2(dialogs.messages.front().contains(QString::fromUtf8(c.refusal)), qPrintable(dialogs.messages.front()));
            QCOMPARE(dosAttrib(folders.ini), marks ? std::optional<std::string>("0x20") : std::nullopt);
            QVERIFY(!dosAttrib(folders.target));
            return;
        }
        QCOMPARE(asked(dialogs), QStringLiteral("merge/N"));
        QCOMPARE(QFileInfo(folders.ini).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
        if (!marks)
            QSKIP("this filesystem keeps no user.* attributes");
        verifyMarked(folders);
        QVERIFY(*dos::attributesOf(*dosAttrib(folders.ini)) & dos::Archive);
    }

    void picture_referredToOrCopiedIn_data() { rows(nameCases); }

    void picture_referredToOrCopiedIn()
    {
        QFETCH(int, row);
        const NameCase& c = nameCases[row];
        const Folders folders;
        const QString picture = (c.elsewhere ? folders.pictures : folders.target) + QLatin1Char('/') + QString::fromUtf16(c.picture);
        QVERIFY(QDir().mkpath(QFileInfo(picture).path()));
        const QByteArray bytes = c.size.isValid() ? encoded(twoColourImage(c.size, Qt::red, Qt::blue), "BMP") : Folders::Picture;
        writeFile(picture, bytes);
        for (const auto& [name, same] : c.there)
            writeFile(folders.target + QLatin1Char('/') + QString::fromUtf16(name), same ? Folders::Picture : QByteArray("another picture"));
        const QStringList before = QDir(folders.target).entryList(QDir::Files);
        FakeDialogs dialogs;
        dialogs.answers = {true};
        dialogs.whileAsking = [&](const QString&) {
            if (c.takenWhileAsking)
                writeFile(folders.target + QStringLiteral("/sea.jpg"), "theirs");
        };
        QVERIFY(apply(dialogs, folders, QFileInfo(picture).path(), QFileInfo(picture).fileName()));

        const QString written = QString::fromUtf16(c.written);
        QCOMPARE(imageOf(folders.ini), written);
        QCOMPARE(asked(dialogs), c.asked ? QStringLiteral("copy/Y") : QString());
        if (c.asked)
            QVERIFY(dialogs.questions.front().contains(c.takenWhileAsking ? QStringLiteral("sea.jpg") : written));
        const QString copy = folders.target + QLatin1Char('/') + written;
        QCOMPARE(QDir(folders.target).entryList(QDir::Files).contains(written) && !before.contains(written), c.copied);
        if (c.copied)
            QCOMPARE(readFile(copy), bytes);
        QCOMPARE(readFile(picture), bytes);
        if (c.takenWhileAsking)
            QCOMPARE(readFile(folders.target + QStringLiteral("/sea.jpg")), QByteArray("theirs"));

        // What the folder now holds, said once, and not as a failure.
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.warnings.isEmpty());
        const QString message = dialogs.messages.front();
        const QString shown = QDir(folders.target).filePath(written.contains(QLatin1Char('\\')) ? QString::fromUtf16(c.picture) : written);
        // The colour in both notations; on Linux the reader is Windows elsewhere, not this machine.
        for (const QString& part : {folders.target, shown, QStringLiteral("0x000000FF = 赤 255、緑 0、青 0 (#FF0000)"),
                                    QStringLiteral("Windows のファイルマネージャ")})
            QVERIFY2(message.contains(part), qPrintable(message + QStringLiteral(" lacks ") + part));
        QCOMPARE(message.contains(QStringLiteral("という名前でこのフォルダにコピーしました")), c.copied);
        QCOMPARE(message.contains(QStringLiteral("%1 × %2 の画像は左上だけが表示されます").arg(c.size.width()).arg(c.size.height())), c.corner);
        if (folders.marksKept())
            verifyMarked(folders);
    }

    void earlierPicture_offeredAndDeletedOnlyWhenTickedOnceTheNewIsIn_data() { rows(earlierCases); }

    void earlierPicture_offeredAndDeletedOnlyWhenTickedOnceTheNewIsIn()
    {
        QFETCH(int, row);
        const EarlierCase& c = earlierCases[row];
        const Folders folders;
        const QString earlier = QDir::cleanPath(folders.target + QLatin1Char('/') + QString::fromLatin1(c.named).replace(QLatin1Char('\\'), QLatin1Char('/')));
        QVERIFY(QDir().mkpath(QFileInfo(earlier).path()));
        writeFile(earlier, "the earlier picture");
        writeFile(folders.pictures + QStringLiteral("/forest.jpg"), "the forest");
        writeFile(folders.ini, c.more + lines(QString::fromLatin1(c.named)));
        FakeDialogs dialogs;
        dialogs.answers = {true, true, false};
        dialogs.checkAnswer = c.tick;
        dialogs.whileAsking = [&](const QString& question) {
            if (c.declineAgain && question.contains(QStringLiteral("ほかの設定はそのまま残し")))
                writeFile(folders.ini, "theirs");
        };
        QCOMPARE(apply(dialogs, folders, folders.pictures, QStringLiteral("forest.jpg")), !c.declineAgain);

        QCOMPARE(dialogs.offeredChecked, c.offered ? QList{false} : QList<bool>());
        if (c.offered)
            QVERIFY2(dialogs.checks.front().contains(QFileInfo(earlier).fileName()), qPrintable(dialogs.checks.front()));
        QCOMPARE(QFileInfo::exists(earlier), !c.gone);
        QCOMPARE(imageOf(folders.ini), c.declineAgain ? QStringLiteral("<none>") : QStringLiteral("forest.jpg"));
        if (c.gone)
            QVERIFY2(dialogs.messages.back().contains(QStringLiteral("以前の背景画像")), qPrintable(dialogs.messages.back()));
    }

    void failure_oneJapaneseMessageNamingTheFolder_data() { rows(failureCases); }

    void failure_oneJapaneseMessageNamingTheFolder()
    {
        QFETCH(int, row);
        const FailureCase& c = failureCases[row];
        const Folders folders;
        QString target = folders.target, pictures = folders.pictures, staging = folders.staging;
        switch (c.fault) {
        case Fault::TargetPathTooLong: target += QStringLiteral("/a").repeated(2600); break;
        case Fault::IniIsAFolder: QVERIFY(QDir().mkdir(folders.ini)); break;
        // Merging sea.jpg and FF adds 94 bytes to a file of one line.
        case Fault::MergedTooBig: writeFile(folders.ini, QByteArray((1 << 20) - 93, ';')); break;
        case Fault::ReadOnlyTarget: break;
        case Fault::NowhereToStage: staging = pictures + QStringLiteral("/sea.jpg"); break;
        case Fault::PictureIsAPipe:
            pictures = target;
            QCOMPARE(::mkfifo(QFile::encodeName(pictures + QStringLiteral("/pipe.jpg")), 0600), 0);
            break;
        case Fault::UnknownAttributeFormat:
            if (!folders.marksKept())
                QSKIP("this filesystem keeps no user.* attributes");
            QVERIFY(setDosAttrib(target, "0xzz"));
            break;
        }
        const QString name = c.fault == Fault::PictureIsAPipe ? QStringLiteral("pipe.jpg") : QStringLiteral("sea.jpg");
        const QStringList before = snapshot(folders.path(QString()));
        FakeDialogs dialogs;
        dialogs.answers = {true, true};
        std::optional<ReadOnlyFolder> locked;
        if (c.fault == Fault::ReadOnlyTarget && !locked.emplace(target).active())
            QSKIP("this filesystem cannot make a folder unchangeable");
        QVERIFY(!ApplyCommand(dialogs, nullptr, staging).run({pictures, name, true, QStringLiteral("FF")}, target));
        locked.reset();

        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.warnings, dialogs.messages);
        const QString message = dialogs.messages.front();
        // A path too long for a message is shown elided in the middle.
        const QString shownTarget = shownName(QDir::toNativeSeparators(target));
        QVERIFY2(message.contains(shownTarget) && message.size() < 1000, qPrintable(message));
        QVERIFY2(message.contains(QString::fromUtf8(c.reason)), qPrintable(message));
        if (!c.changes)
            QCOMPARE(snapshot(folders.path(QString())), before);
        QCOMPARE(QDir(folders.staging).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // Without a temporary folder to write in (TMPDIR names a file), desktop.ini is staged in the
    // program's own data folder.
    void staging_withoutATemporaryFolder_inTheDataFolder()
    {
        const Folders folders;
        const QByteArray tmp = qgetenv("TMPDIR"), data = qgetenv("XDG_DATA_HOME");
        qputenv("TMPDIR", QFile::encodeName(folders.pictures + QStringLiteral("/sea.jpg")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(folders.path(QStringLiteral("data"))));
        FakeDialogs dialogs;
        dialogs.answers = {true};
        const bool applied = ApplyCommand(dialogs, nullptr, QString()).run({folders.pictures, QStringLiteral("sea.jpg"), true, QStringLiteral("FF")}, folders.target);
        for (const auto& [name, value] : {std::pair{"TMPDIR", tmp}, std::pair{"XDG_DATA_HOME", data}})
            value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
        QVERIFY2(applied, qPrintable(dialogs.messages.join(u'\n')));
        QCOMPARE(imageOf(folders.ini), QStringLiteral("sea.jpg"));
    }

    // Two applies of the same picture to one folder at once (two windows, or two programs),
    // 200 times: one decoration ends whole, each run shows one message, and a success is true.
    void twoRunsAtOnce_endWithOneWholeDecoration()
    {
        const Folders folders;
        for (int round = 0; round < 200; ++round) {
            QDir(folders.target).removeRecursively();
            QVERIFY(QDir().mkpath(folders.target));
            // Every other round the colours differ, so that the second to write asks to replace.
            const QString colours[] = {QStringLiteral("FF"), round % 2 ? QStringLiteral("FF00") : QStringLiteral("FF")};
            bool applied[2] = {false, false};
            QStringList messages[2];
            std::latch start(2);
            const auto run = [&](int i) {
                FakeDialogs dialogs;
                dialogs.answers = QList<bool>(8, true);
                start.arrive_and_wait();
                applied[i] = ApplyCommand(dialogs, nullptr, folders.staging).run({folders.pictures, QStringLiteral("sea.jpg"), true, colours[i]}, folders.target);
                messages[i] = dialogs.messages;
            };
            std::thread first(run, 0), second(run, 1);
            first.join();
            second.join();

            const QByteArray ini = readFile(folders.ini);
            for (int i : {0, 1}) {
                QVERIFY2(messages[i].size() == 1, qPrintable(QStringLiteral("round %1: %2").arg(round).arg(messages[i].join(QLatin1Char('|')))));
                // The second of two alike may find the first's decoration already there.
                const QString& said = messages[i].front();
                QCOMPARE(said.contains(QStringLiteral("背景を設定しました")) || said.contains(QStringLiteral("必要はありませんでした")), applied[i]);
            }
            // Neither has cause to fail: the copy the other made is the same picture, and the
            // second to write is asked, and agrees, to replace the first's desktop.ini.
            QVERIFY2(applied[0] && applied[1], qPrintable(QStringLiteral("round %1: %2").arg(round).arg(messages[0].join(QLatin1Char('|')) + QLatin1Char('|') + messages[1].join(QLatin1Char('|')))));
            const QString image = imageOf(folders.ini);
            QCOMPARE(readFile(folders.target + QLatin1Char('/') + image), Folders::Picture);
            // The file of a run that said so.
            QVERIFY((ini == lines(image, QStringLiteral("0x000000FF")) && (applied[0] || colours[1] == colours[0]))
                    || (ini == lines(image, QStringLiteral("0x0000FF00")) && applied[1]));
            QCOMPARE(entriesOf(folders.target).filter(QStringLiteral(".tessaro-")), QStringList());
        }
    }

    // Closing the window while apply runs lets it run to its end, as a question still to come is
    // answered No: the desktop.ini there stays as it was, and nothing more shows.
    void window_closedBeforeTheMergeQuestion_answersNo()
    {
        TempHome home;
        const QString ini = home.path(QStringLiteral("work/desktop.ini"));
        const QByteArray picture = encoded(twoColourImage(QSize(40, 30), Qt::red, Qt::blue), "JPG");
        const QByteArray mine = "[.ShellClassInfo]\r\nInfoTip=mine\r\n";
        writeFile(home.mkpath(QStringLiteral("pics")) + QStringLiteral("/sea.jpg"), picture);
        writeFile(ini, mine);
        FakeDialogs dialogs;
        dialogs.answers = {true, true};
        Form1 form(dialogs);
        form.show();
        QVERIFY(form.findChild<FolderList*>(QStringLiteral("Dir1"))->setPath(home.path(QStringLiteral("pics"))));
        form.findChild<FileList*>(QStringLiteral("File1"))->setListIndex(0);
        QTRY_VERIFY(!form.findChild<PictureBox*>(QStringLiteral("Image1"))->loading());
        dialogs.whileAsking = [&](const QString&) { form.close(); };
        QVERIFY(press(form, "Command1"));

        QVERIFY(!form.isVisible());
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(readFile(ini), mine);
        QCOMPARE(readFile(home.path(QStringLiteral("work/sea.jpg"))), QByteArray());
    }
};

TESSARO_TEST_MAIN(ApplyCommandTest)
#include "test_apply_command.moc"
