#pragma once

// Shared by the tests: a throw-away home folder, files written and read whole, tables.

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"
#include "platform/widgets/known_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstddef>
#include <filesystem>
#include <system_error>
#include <type_traits>

namespace tessaro::test {

// Built for Windows: names are UTF-16, errors come as Windows' codes, dialogs are the system's.
inline constexpr bool windowsBuild = std::is_same_v<std::filesystem::path::value_type, wchar_t>;

// A home folder of its own for one test, with the working directory in its "work" folder, so
// that the window finds the documents ("Documents") and pictures ("Pictures") folders the
// test made. Paths in the system's own form.
class TempHome {
public:
    TempHome()
        : m_oldCwd(QDir::currentPath())
    {
        QVERIFY(m_dir.isValid());
        m_folders = {toPath(path(QStringLiteral("Documents"))), toPath(path(QStringLiteral("Pictures"))), toPath(path())};
        m_replaced = replaceKnownFolders(&m_folders);
        QDir::setCurrent(mkpath(QStringLiteral("work")));
    }
    ~TempHome()
    {
        QDir::setCurrent(m_oldCwd);
        replaceKnownFolders(m_replaced);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path(const QString& relative = {}) const
    {
        return QDir::toNativeSeparators(relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative));
    }
    QString mkpath(const QString& relative) const { return QDir(m_dir.path()).mkpath(relative) ? path(relative) : QString(); }

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
    KnownFolders m_folders;
    const KnownFolders* m_replaced = nullptr;
};

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A symbolic link at `link` to `target`, a folder's or a file's as `target` is. QFile::link
// makes a shortcut on Windows, which no file function follows.
inline bool symlink(const QString& target, const QString& link)
{
    std::error_code error;
    if (QFileInfo(target).isDir())
        std::filesystem::create_directory_symlink(toPath(target), toPath(link), error);
    else
        std::filesystem::create_symlink(toPath(target), toPath(link), error);
    return !error;
}

// `text` in UTF-16LE after its byte-order mark, as desktop.ini is written when ANSI will not do.
inline QByteArray utf16(const QString& text)
{
    return "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// One row per case of a table, named after it; the test looks the case up by its index.
template <typename Case, std::size_t N>
void rows(const Case (&cases)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(cases[i].name) << static_cast<int>(i);
}

// The case of the row the test runs, of a table given to rows().
template <typename Case, std::size_t N>
const Case& currentRow(const Case (&cases)[N])
{
    return cases[*static_cast<int*>(QTest::qData("row", qMetaTypeId<int>()))];
}

} // namespace tessaro::test

// Qt Test's main, ending with the program's own end: under Wine a test program whose workers
// the system stopped at exit could otherwise wait forever in process teardown, as Tessaro could.
// The results are written and their files closed before the process ends.
#define TESSARO_TEST_MAIN_WRAPPER(TestObject, ...)                                                 \
    static int runTests(int argc, char* argv[])                                                    \
    {                                                                                              \
        QTest::Internal::callInitMain<TestObject>();                                               \
        __VA_ARGS__                                                                                \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }                                                                                              \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        tessaro::os::endProgram(runTests(argc, argv));                                             \
    }
#define TESSARO_TEST_MAIN(TestObject) TESSARO_TEST_MAIN_WRAPPER(TestObject, QTEST_MAIN_SETUP())
#define TESSARO_TEST_GUILESS_MAIN(TestObject)                                                     \
    TESSARO_TEST_MAIN_WRAPPER(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
