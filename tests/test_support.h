#pragma once

// Shared by the tests: a throw-away home folder, files written and read whole, tables.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstddef>

namespace tessaro::test {

// A home folder of its own for one test, with the working directory in its "work" folder, so
// that the program finds the documents and pictures folders the test made.
class TempHome {
public:
    TempHome()
        : m_oldHome(qgetenv("HOME"))
        , m_oldCwd(QDir::currentPath())
    {
        QVERIFY(m_dir.isValid());
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "XDG_PICTURES_DIR"})
            qunsetenv(variable);
        QDir::setCurrent(mkpath(QStringLiteral("work")));
    }
    ~TempHome()
    {
        QDir::setCurrent(m_oldCwd);
        qputenv("HOME", m_oldHome);
    }

    QString path(const QString& relative = {}) const { return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative); }
    QString mkpath(const QString& relative) const { return QDir(m_dir.path()).mkpath(relative) ? path(relative) : QString(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QString m_oldCwd;
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

} // namespace tessaro::test
