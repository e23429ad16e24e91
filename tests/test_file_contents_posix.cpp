// What stands at a path, looked at on Linux without following a link at its end or waiting on
// a pipe, and whether two files hold the same bytes.

#include "platform/os/os_services.h"
#include "posix_support.h"
#include "test_support.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <string>
#include <string_view>

// Another program's move, at the worst moment: a name ending in "/swapped" becomes the link
// "swapped-link" right after it was looked at, before it is opened.
extern "C" int lstat(const char* path, struct stat* info) noexcept
{
    using Lstat = int (*)(const char*, struct stat*);
    static const auto real = reinterpret_cast<Lstat>(::dlsym(RTLD_NEXT, "lstat"));
    const int result = real(path, info);
    if (result == 0 && std::string_view(path).ends_with("/swapped"))
        ::rename((std::string(path) + "-link").c_str(), path);
    return result;
}

using namespace tessaro;
using namespace tessaro::test;
using Kind = os::Entry::Kind;

namespace {

// The folder each case looks in holds: file (4 bytes), empty, big (2 MiB), folder/, link ->
// file, pipe, swapped (a file that becomes a link to file), and the case
// looks at `name`.
struct InspectCase { const char* name; const char* path; Kind kind; const char* bytes; int error = 0; std::size_t limit = 1 << 20; };
const InspectCase inspectCases[] = {
    {"absent", "missing", Kind::Absent, ""},
    {"a regular file, read", "file", Kind::RegularFile, "mine"},
    {"exactly the limit", "file", Kind::RegularFile, "mine", 0, 4},
    {"beyond the limit", "big", Kind::RegularFile, "", EFBIG},
    {"a folder", "folder", Kind::Folder, ""},
    {"a link to a file: not followed", "link", Kind::Other, ""},
    {"a pipe: not waited on", "pipe", Kind::Other, ""},
    {"a file that becomes a link once looked at: not followed", "swapped", Kind::Other, ""},
    {"below a file", "file/desktop.ini", Kind::Absent, "", ENOTDIR},
};

struct SameCase { const char* name; const char* file; const char* source; bool same; int error = 0; };
const SameCase sameCases[] = {
    {"the same bytes", "copy", "file", true},
    {"the same size, other bytes", "other", "file", false},
    {"another size", "empty", "file", false},
    {"a link to the same bytes is not the file", "link", "file", false},
    {"nothing there", "missing", "file", false},
    {"a pipe there is not waited on", "pipe", "file", false},
    {"the source gone", "file", "missing", false, ENOENT},
};

class Files {
public:
    Files()
    {
        writeFile(at("file"), "mine");
        writeFile(at("copy"), "mine");
        writeFile(at("other"), "mini");
        writeFile(at("empty"), "");
        writeFile(at("big"), QByteArray(2 << 20, 'x'));
        QVERIFY(QDir().mkdir(at("folder")));
        QVERIFY(QFile::link(at("file"), at("link")));
        QCOMPARE(::mkfifo(QFile::encodeName(at("pipe")), 0600), 0);
        writeFile(at("swapped"), "ours");
        QVERIFY(QFile::link(at("file"), at("swapped-link")));
    }
    QString at(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

private:
    QTemporaryDir m_dir;
};

} // namespace

class FileContentsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void inspect_neverFollowsALink_data() { rows(inspectCases); }
    void inspect_neverFollowsALink()
    {
        const InspectCase& c = currentRow(inspectCases);
        const Files files;
        os::Entry entry{Kind::Folder, "stale"};
        const auto error = os::inspect(files.at(c.path).toStdString(), true, c.limit, entry);
        QCOMPARE(describe(error), errnoText(c.error));
        if (c.error)
            return;
        QCOMPARE(entry.kind, c.kind);
        QCOMPARE(QByteArray::fromStdString(entry.bytes), QByteArray(c.bytes));
        os::Entry unread;
        QVERIFY(!os::inspect(files.at(c.path).toStdString(), false, c.limit, unread));
        QCOMPARE(unread, (os::Entry{c.kind, {}}));
    }

    void sameContents_onlyARegularFile_data() { rows(sameCases); }
    void sameContents_onlyARegularFile()
    {
        const SameCase& c = currentRow(sameCases);
        const Files files;
        bool same = !c.same;
        const auto error = os::sameContents(files.at(c.file).toStdString(), files.at(c.source).toStdString(), same);
        QCOMPARE(describe(error), errnoText(c.error));
        QCOMPARE(same, c.same);
    }
};

TESSARO_TEST_GUILESS_MAIN(FileContentsTest)
#include "test_file_contents_posix.moc"
